# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVIX_MINGW_PREFIX x86_64-w64-mingw32)
# The posix flavour: std::thread and std::mutex need winpthreads.
set(CMAKE_C_COMPILER ${TARVIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVIX_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${TARVIX_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${TARVIX_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 APIs (GetDpiForWindow, SetThreadDescription) are declared only
# for this target version.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000006
                        WIN32_LEAN_AND_MEAN NOMINMAX)

# The compiler's runtime (libgcc, libstdc++, winpthreads) is linked in, so the
# outputs import only system DLLs and the NDI runtime: a Node host has no
# mingw DLLs next to it.
set(tarvix_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${tarvix_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${tarvix_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${tarvix_static_runtime}")
