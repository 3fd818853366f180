# Third-party libraries. On Linux they come from Debian's -dev packages (scripts/setup-deps);
# the Windows build finds static copies through CMAKE_PREFIX_PATH (scripts/build-windows-deps),
# the page's build WebAssembly ones (scripts/build-web-deps).

# Another cache folder of libraries (new versions): every library is looked up again there.
function(melvane_look_up_libraries_in folder)
    if(NOT "${MELVANE_DEPS_LOOKED_UP}" STREQUAL "${folder}")
        get_cmake_property(cached CACHE_VARIABLES)
        foreach(name IN LISTS cached)
            if(name MATCHES "^(__pkg_config_checked_|pkgcfg_lib_)")
                unset(${name} CACHE)
            endif()
        endforeach()
    endif()
    set(MELVANE_DEPS_LOOKED_UP "${folder}" CACHE INTERNAL "")
endfunction()

if(WIN32)
    if(CMAKE_CROSSCOMPILING AND NOT IS_DIRECTORY "${MELVANE_WINDOWS_DEPS}")
        message(FATAL_ERROR "MELVANE_WINDOWS_DEPS ('${MELVANE_WINDOWS_DEPS}') is not a folder: "
                            "configure with -DMELVANE_WINDOWS_DEPS=$(scripts/build-windows-deps)")
    endif()
    # Windows programs link every library statically, with its private dependencies.
    set(PKG_CONFIG_ARGN --static CACHE STRING "Arguments for pkg-config")
    melvane_look_up_libraries_in("${MELVANE_WINDOWS_DEPS}")
endif()
if(EMSCRIPTEN)
    if(NOT IS_DIRECTORY "${MELVANE_WEB_DEPS}")
        message(FATAL_ERROR "MELVANE_WEB_DEPS ('${MELVANE_WEB_DEPS}') is not a folder: "
                            "configure with -DMELVANE_WEB_DEPS=$(scripts/build-web-deps)")
    endif()
    # Only the cache's WebAssembly libraries, found where they are (the toolchain would look
    # for them inside emscripten's own system root).
    set(ENV{PKG_CONFIG_LIBDIR} "${MELVANE_WEB_DEPS}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_PATH} "")
    set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
    set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
    melvane_look_up_libraries_in("${MELVANE_WEB_DEPS}")
endif()
find_package(PkgConfig REQUIRED)

pkg_check_modules(PCRE2_16 REQUIRED IMPORTED_TARGET libpcre2-16)
if(WIN32)
    # Without it pcre2.h declares the functions as DLL imports.
    target_compile_definitions(PkgConfig::PCRE2_16 INTERFACE PCRE2_STATIC)
endif()
if(NOT EMSCRIPTEN)
    pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng16)  # the window's pictures
endif()
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)

if(MELVANE_BUILD_TESTS AND NOT TARGET gtest)
    # Built from source so that the same GoogleTest serves every compiler, MinGW included.
    set(MELVANE_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
    if(EXISTS "${MELVANE_GTEST_SOURCE}/CMakeLists.txt")
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        add_subdirectory(${MELVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
    else()
        # No source tree (MSYS2 on Windows): an installed GoogleTest serves as well.
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endif()

if(MELVANE_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
