# What a release holds, and the archives CPack makes of it (`make dist`).
#   Windows: melvane-<version>-win64.zip with Melvane.exe, melvane-cli.exe, README.txt,
#            LICENSE.txt, CHANGELOG.txt and the example song sheets, all in one folder.
#   Linux:   melvane-cli-<version>-linux-<arch>.tar.gz with bin/melvane-cli and its documents.

# `cpack` installs the programs only, without building every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Every sheet README's demo names; the scripts that make them stay in the source tree.
file(GLOB examples ${CMAKE_SOURCE_DIR}/examples/*.odt ${CMAKE_SOURCE_DIR}/examples/*.docx
     ${CMAKE_SOURCE_DIR}/examples/*.txt)
if(WIN32)
    # Windows users open .txt files with a double click; Markdown they may not.
    install(TARGETS Melvane melvane-cli RUNTIME DESTINATION .)
    install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
    install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
    install(FILES ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION . RENAME CHANGELOG.txt)
    install(FILES ${examples} DESTINATION examples)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME melvane-${PROJECT_VERSION}-win64)
else()
    install(TARGETS melvane-cli RUNTIME DESTINATION bin)
    install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
                  ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION share/doc/melvane)
    install(FILES ${examples} DESTINATION share/doc/melvane/examples)
    set(CPACK_GENERATOR TGZ)
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
    set(CPACK_PACKAGE_FILE_NAME melvane-cli-${PROJECT_VERSION}-${platform})
endif()

set(CPACK_PACKAGE_NAME Melvane)
set(CPACK_PACKAGE_VENDOR "The Melvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves the chords of a song sheet up or down")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
# The archives have the same bytes for the same programs: no time of packing in them.
set(CPACK_ARCHIVE_THREADS 1)
include(CPack)
