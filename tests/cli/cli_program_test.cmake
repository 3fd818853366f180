# Runs melvane-cli as a user would: exit statuses, one-line errors, the byte-exact text filter.
# Variables: CLI (the program), EMULATOR (empty, or the runner for a cross-built program), WORK,
# WINDOWS (true for the Windows program, which hands Word documents to a Word the prefix lacks).
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

# Documents: a song sheet built here, transposed beside itself, read back.
set(DOCS "${WORK}/documents")
file(REMOVE_RECURSE "${DOCS}")
file(MAKE_DIRECTORY "${DOCS}/sheet")
set(namespaces "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"")
function(content_xml body out_var)
    set(${out_var} "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content ${namespaces}><office:body><office:text>${body}</office:text></office:body></office:document-content>" PARENT_SCOPE)
endfunction()
content_xml("<text:p>Am<text:tab/>F<text:tab/>C<text:tab/>G</text:p><text:p>Über den Fluss, <text:span>Em</text:span></text:p>" source_xml)
content_xml("<text:p>Hm<text:tab/>G<text:tab/>D<text:tab/>A</text:p><text:p>Über den Fluss, <text:span>F#m</text:span></text:p>" expected_xml)
file(WRITE "${DOCS}/sheet/mimetype" "application/vnd.oasis.opendocument.text")
file(WRITE "${DOCS}/sheet/content.xml" "${source_xml}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ../Song.odt --format=zip mimetype content.xml
                WORKING_DIRECTORY "${DOCS}/sheet" RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
    message(FATAL_ERROR "could not build the test document")
endif()

# Relative names, run in the documents folder: the same under an emulator's path mapping.
function(run_in_docs expected_status)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL= LC_MESSAGES= LANG=C ${ARGN}
                    WORKING_DIRECTORY "${DOCS}"
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    if(NOT status EQUAL expected_status)
        message(FATAL_ERROR "${ARGN}: status ${status}, expected ${expected_status}\n${out}\n${err}")
    endif()
    set(last_stdout "${out}" PARENT_SCOPE)
    set(last_stderr "${err}" PARENT_SCOPE)
endfunction()

run_in_docs(0 ${EMULATOR} "${CLI}" --steps 2 Song.odt)
if(NOT last_stdout STREQUAL "Song.odt -> Song+2.odt: 5 text pieces changed\n")
    message(FATAL_ERROR "unexpected summary: '${last_stdout}'")
endif()
file(MAKE_DIRECTORY "${DOCS}/out")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ../Song+2.odt WORKING_DIRECTORY "${DOCS}/out")
file(READ "${DOCS}/out/content.xml" got_xml)
if(NOT got_xml STREQUAL expected_xml)
    message(FATAL_ERROR "transposed content.xml differs:\n got ${got_xml}\nwant ${expected_xml}")
endif()

run_in_docs(0 ${EMULATOR} "${CLI}" --print Song+2.odt)
if(NOT last_stdout STREQUAL "Hm\tG\tD\tA\nÜber den Fluss, F#m\n")
    message(FATAL_ERROR "unexpected --print output: '${last_stdout}'")
endif()

# -o, flats and a negative step.
run_in_docs(0 ${EMULATOR} "${CLI}" --steps -1 --flats -o Flat.odt Song.odt)
if(NOT last_stdout STREQUAL "Song.odt -> Flat.odt: 5 text pieces changed\n")
    message(FATAL_ERROR "unexpected summary: '${last_stdout}'")
endif()

# Failures: one line each, status 1, the message on stderr; the language from the locale.
file(WRITE "${DOCS}/Broken.odt" "Am G C, but not a zip")
file(WRITE "${DOCS}/Song.doc" "x")
run_in_docs(1 ${EMULATOR} "${CLI}" --steps 2 Broken.odt Song.doc Song.odt)
if(WINDOWS)
    set(word_line "Song.doc: not transposed: Microsoft Word could not be started")
else()
    set(word_line "Song.doc: Word documents need Microsoft Word on Windows[^\n]*")
endif()
if(NOT last_stdout MATCHES "^Broken.odt: not transposed: [^\n]*\n${word_line}\nSong.odt -> Song\\+2.odt: 5 text pieces changed\n$")
    message(FATAL_ERROR "unexpected summary: '${last_stdout}'")
endif()
if(WINDOWS AND NOT last_stderr MATCHES "Could not initialize the word object! Please make sure")
    message(FATAL_ERROR "expected Word's start-up message, got: '${last_stderr}'")
endif()
if(NOT last_stderr MATCHES "The source file \\[Broken.odt\\] could not be read!")
    message(FATAL_ERROR "expected the read message, got: '${last_stderr}'")
endif()
if(EXISTS "${DOCS}/Broken+2.odt")
    message(FATAL_ERROR "a failed document left an output")
endif()
run_in_docs(1 ${CMAKE_COMMAND} -E env LANG=de_DE.UTF-8 ${EMULATOR} "${CLI}" --steps 2 Broken.odt)
if(NOT last_stderr MATCHES "Die Quelldatei \\[Broken.odt\\] konnte nicht gelesen werden!")
    message(FATAL_ERROR "expected the German read message, got: '${last_stderr}'")
endif()
run_in_docs(1 ${EMULATOR} "${CLI}" --lang de --steps 2 -o Song.odt Song.odt)
if(NOT last_stderr MATCHES "Die Zieldatei muss sich von der Quelldatei unterscheiden!")
    message(FATAL_ERROR "expected the same-file message, got: '${last_stderr}'")
endif()

# Usage errors.
run_in_docs(2 ${EMULATOR} "${CLI}" --steps 2 -o X.odt Song.odt Flat.odt)
run_in_docs(2 ${EMULATOR} "${CLI}" Song.odt)
