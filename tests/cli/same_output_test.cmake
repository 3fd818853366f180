# Every build writes the same bytes: the bundled song sheet, copied under a name with spaces and
# an umlaut and given to melvane-cli as a full path (on Windows with its drive letter and
# backslashes), must come out with exactly the content.xml kept in golden/.
# Variables: CLI, EMULATOR (empty, or the runner for a cross-built program), WORK, EXAMPLE, GOLDEN,
# MODE (melvane-cli's recognition option, e.g. --classic; may be empty).
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/Lieder" "${WORK}/unpacked")
file(COPY_FILE "${EXAMPLE}" "${WORK}/Lieder/Lieder für Chor.odt")

set(source "${WORK}/Lieder/Lieder für Chor.odt")
if(EMULATOR)
    # Wine shows the Linux file system as drive Z:.
    string(REPLACE "/" "\\" source "Z:${source}")
endif()

execute_process(COMMAND ${EMULATOR} "${CLI}" ${MODE} --lang de --steps 2 "${source}"
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "melvane-cli failed (${status}):\n${out}\n${err}")
endif()
set(output "${WORK}/Lieder/Lieder für Chor+2.odt")
if(NOT EXISTS "${output}")
    message(FATAL_ERROR "no output beside the source; the program said:\n${out}\n${err}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${output}" content.xml
                WORKING_DIRECTORY "${WORK}/unpacked" RESULT_VARIABLE unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/unpacked/content.xml" "${GOLDEN}"
                RESULT_VARIABLE different)
if(NOT unpacked EQUAL 0 OR different)
    message(FATAL_ERROR "content.xml differs from ${GOLDEN}")
endif()
