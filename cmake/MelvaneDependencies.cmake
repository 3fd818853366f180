# Third-party libraries. On Linux they come from Debian's -dev packages (scripts/setup-deps);
# the Windows build finds static copies through CMAKE_PREFIX_PATH (scripts/build-windows-deps).
find_package(PkgConfig REQUIRED)

pkg_check_modules(PCRE2_16 REQUIRED IMPORTED_TARGET libpcre2-16)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)

if(MELVANE_BUILD_TESTS AND NOT TARGET gtest)
    # Built from source so that the same GoogleTest serves every compiler, MinGW included.
    set(MELVANE_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${MELVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
    include(GoogleTest)
endif()

if(MELVANE_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
