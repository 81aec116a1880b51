# Cross build for 64-bit Windows with Debian's mingw-w64 compilers (the posix
# thread model, which std::thread and std::mutex need), run under wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
# `make windows` does this. Programs link their C and C++ runtime and
# winpthread statically, so an .exe runs without any DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TONEFIELD_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TONEFIELD_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TONEFIELD_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TONEFIELD_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's tree only; programs (the
# assembler, windres, icotool, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TONEFIELD_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Header-only libraries of the build machine (readerwriterqueue) serve the
# target too; their folder is searched after the target's own.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)

# pkg-config sees the target's .pc files only: the build machine's would
# hand Linux libraries (libsmf, GLib) to the Windows link.
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig:${CMAKE_FIND_ROOT_PATH}/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# No DLL beside the programs: libgcc, libstdc++ and winpthread go into each.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (tests, build-time tools) run through wine in a
# prefix of the build folder's own (scripts/wine-run makes it at first use).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run ${CMAKE_BINARY_DIR}/wine)
