# Runs melvane-cli as a user would: exit statuses, one-line errors, the byte-exact text filter.
# Variables: CLI (the program), EMULATOR (empty, or the runner for a cross-built program), WORK.
file(MAKE_DIRECTORY "${WORK}")

function(run_cli expected_status)
    cmake_parse_arguments(ARG "" "INPUT;OUTPUT" "ARGS" ${ARGN})
    set(input_option)
    if(ARG_INPUT)
        set(input_option INPUT_FILE "${ARG_INPUT}")
    endif()
    execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARG_ARGS}
                    ${input_option}
                    OUTPUT_FILE "${WORK}/stdout" ERROR_VARIABLE err RESULT_VARIABLE status)
    if(NOT status EQUAL expected_status)
        message(FATAL_ERROR "melvane-cli ${ARG_ARGS}: status ${status}, expected ${expected_status}\n${err}")
    endif()
    set(last_stderr "${err}" PARENT_SCOPE)
endfunction()

run_cli(0 ARGS --version)
run_cli(0 ARGS --help)
run_cli(2 ARGS --text --steps 13)
string(REGEX MATCHALL "\n" lines "${last_stderr}")
list(LENGTH lines line_count)
if(NOT line_count EQUAL 1 OR NOT last_stderr MATCHES "13")
    message(FATAL_ERROR "expected one line naming the bad value, got: ${last_stderr}")
endif()
run_cli(2 ARGS --frobnicate)
run_cli(2 ARGS)

# Arguments arrive whole and as UTF-8 (on Windows too, where the program gets them in UTF-16).
run_cli(2 ARGS --text --steps 2 "Lieder/Bär 𝄞.txt")
if(NOT last_stderr MATCHES "'Lieder/Bär 𝄞.txt'")
    message(FATAL_ERROR "expected the argument named as given, got: ${last_stderr}")
endif()

# Bytes in, bytes out: CRLF and bare LF, umlauts, a malformed byte and ^Z (which a console in
# text mode takes for the end of input) survive, chords move.
string(ASCII 195 164 ae)
string(ASCII 255 ff)
string(ASCII 26 ctrl_z)
file(WRITE "${WORK}/in.txt" "Am  G  C\r\nA little bird\nB${ae}r ${ff} Bb\r\n${ctrl_z}\r\nF")
run_cli(0 ARGS --text --steps 2 INPUT "${WORK}/in.txt")
file(READ "${WORK}/stdout" got HEX)
file(WRITE "${WORK}/expected.txt" "Hm  A  D\r\nA little bird\nB${ae}r ${ff} C\r\n${ctrl_z}\r\nG")
file(READ "${WORK}/expected.txt" want HEX)
if(NOT got STREQUAL want)
    message(FATAL_ERROR "text filter output differs:\n got ${got}\nwant ${want}")
endif()
