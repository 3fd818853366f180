# The project version (project() in CMakeLists.txt) is the only place it is written: a generated
# header carries it into the code, and each Windows program gets a resource script with it.

configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/melvane_version.h.in
               ${CMAKE_BINARY_DIR}/generated/melvane_version.h @ONLY)
add_library(melvane_version INTERFACE)
target_include_directories(melvane_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# Icon, VERSIONINFO and application manifest for a Windows program.
#   melvane_windows_resources(target DESCRIPTION text MANIFEST window|console)
function(melvane_windows_resources target)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(ARG "" "DESCRIPTION;MANIFEST" "" ${ARGN})
    set(RC_DESCRIPTION "${ARG_DESCRIPTION}")
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    set(RC_FILE_NAME ${output_name}.exe)
    set(RC_INTERNAL_NAME ${output_name})
    set(RC_ICON ${CMAKE_SOURCE_DIR}/resources/melvane.ico)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
    set(RC_MANIFEST ${folder}/${output_name}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/templates/${ARG_MANIFEST}.manifest.in
                   ${RC_MANIFEST} @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/templates/program.rc.in ${folder}/${output_name}.rc
                   @ONLY)
    target_sources(${target} PRIVATE ${folder}/${output_name}.rc)
    set_source_files_properties(${folder}/${output_name}.rc PROPERTIES
        OBJECT_DEPENDS "${RC_ICON};${RC_MANIFEST}")
endfunction()
