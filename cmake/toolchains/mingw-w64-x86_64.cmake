# Cross-compiles Pellicor for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#
# Inputs (cache variable, or environment variable of the same name):
#   PELLICOR_WINDOWS_DEPS   prefix holding the static libxml2, libzip and GoogleTest
#                           built for this target; scripts/build-windows-deps.sh
#                           prints it as its last line. Optional only for building
#                           those libraries themselves.
# Cache variables you may override:
#   CMAKE_CROSSCOMPILING_EMULATOR   runs target programs (tests, test discovery);
#                                   defaults to `wine` found on the host PATH.
#   PELLICOR_WINDOWS_STATIC         ON (default): every program and DLL links libgcc,
#                                   libstdc++, winpthread and zlib statically.
#
#   cmake -G Ninja -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
#         -DPELLICOR_WINDOWS_DEPS="$(scripts/build-windows-deps.sh)"

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_pellicor_triplet x86_64-w64-mingw32)
# The -posix variants: the -win32 ones lack std::thread and std::mutex.
set(CMAKE_C_COMPILER   ${_pellicor_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_pellicor_triplet}-g++-posix)
set(CMAKE_RC_COMPILER  ${_pellicor_triplet}-windres)

if(NOT PELLICOR_WINDOWS_DEPS AND DEFINED ENV{PELLICOR_WINDOWS_DEPS})
    set(PELLICOR_WINDOWS_DEPS "$ENV{PELLICOR_WINDOWS_DEPS}")
endif()
set(PELLICOR_WINDOWS_DEPS "${PELLICOR_WINDOWS_DEPS}" CACHE PATH
    "Prefix with the static Windows builds of libxml2, libzip and GoogleTest")
if(PELLICOR_WINDOWS_DEPS AND NOT IS_DIRECTORY "${PELLICOR_WINDOWS_DEPS}")
    message(FATAL_ERROR "PELLICOR_WINDOWS_DEPS=${PELLICOR_WINDOWS_DEPS} is not a directory; "
                        "run scripts/build-windows-deps.sh and pass the path it prints.")
endif()
# try_compile projects read this file again without our cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PELLICOR_WINDOWS_DEPS PELLICOR_WINDOWS_STATIC)

set(CMAKE_FIND_ROOT_PATH /usr/${_pellicor_triplet})
if(PELLICOR_WINDOWS_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH "${PELLICOR_WINDOWS_DEPS}")
endif()
# Libraries, headers and packages come only from the target roots, so a host
# libxml2-dev can never leak in; programs are host tools and come from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CMake's FindLibXml2 gives LibXml2::LibXml2 without LIBXML_STATIC, so code built
# against the static library would call __imp_ (DLL) symbols; libxml2's own package
# config carries the define and ws2_32. GTest and libzip ship configs too.
set(CMAKE_FIND_PACKAGE_PREFER_CONFIG ON)

# FindPkgConfig runs the host pkg-config, which would otherwise describe host libraries.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${_pellicor_triplet}/lib/pkgconfig")
if(PELLICOR_WINDOWS_DEPS)
    set(ENV{PKG_CONFIG_LIBDIR} "${PELLICOR_WINDOWS_DEPS}/lib/pkgconfig:$ENV{PKG_CONFIG_LIBDIR}")
endif()
unset(ENV{PKG_CONFIG_PATH})

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(PELLICOR_WINE_EXECUTABLE wine)
    if(PELLICOR_WINE_EXECUTABLE)
        set(CMAKE_CROSSCOMPILING_EMULATOR "${PELLICOR_WINE_EXECUTABLE}" CACHE STRING
            "Runs Windows programs on the build host")
    else()
        # Once per configure: this file is read again for the system and each try_compile.
        get_property(_pellicor_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
        get_property(_pellicor_wine_warned GLOBAL PROPERTY PELLICOR_WINE_WARNED)
        if(NOT _pellicor_in_try_compile AND NOT _pellicor_wine_warned)
            set_property(GLOBAL PROPERTY PELLICOR_WINE_WARNED TRUE)
            message(WARNING "wine not found: Windows tests will build but cannot run here "
                            "(install wine and wine64, or set CMAKE_CROSSCOMPILING_EMULATOR).")
        endif()
    endif()
endif()

option(PELLICOR_WINDOWS_STATIC "Link the MinGW runtime and zlib statically" ON)
if(PELLICOR_WINDOWS_STATIC)
    # A self-contained .exe runs under Wine and on a user's machine without
    # libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll or zlib1.dll beside it.
    # set(), not string(APPEND): CMake reads this file more than once.
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
    set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
    set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
    # The sysroot has both libz.a and libz.dll.a, and FindZLIB prefers the import library.
    set(ZLIB_USE_STATIC_LIBS ON)
endif()
