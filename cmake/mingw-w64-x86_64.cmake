# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads variant).
#
# MELVANE_WINDOWS_DEPS (cache or environment): prefix of the static libraries built by
# scripts/build-windows-deps, which prints it.
# Tests run under Wine through cmake/wine-run.sh, with a Wine prefix of their own in the build
# tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MELVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MELVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MELVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MELVANE_MINGW_TRIPLET}-windres)

if(NOT MELVANE_WINDOWS_DEPS AND DEFINED ENV{MELVANE_WINDOWS_DEPS})
    set(MELVANE_WINDOWS_DEPS "$ENV{MELVANE_WINDOWS_DEPS}")
endif()
set(MELVANE_WINDOWS_DEPS "${MELVANE_WINDOWS_DEPS}" CACHE PATH
    "Prefix of the cross-built libraries (the output of scripts/build-windows-deps)")

set(CMAKE_FIND_ROOT_PATH ${MELVANE_WINDOWS_DEPS} /usr/${MELVANE_MINGW_TRIPLET})
set(CMAKE_PREFIX_PATH ${MELVANE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cross-built libraries, never the build machine's own.
set(ENV{PKG_CONFIG_LIBDIR} "${MELVANE_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wineprefix"
        CACHE STRING "Runs a cross-built program (tests) under Wine")
endif()
