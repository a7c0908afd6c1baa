# Cross-compiles the Windows build with mingw-w64 (posix thread model) on Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Self-contained programs: no libgcc/libstdc++/winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Our programs enter through wWinMain or wmain; the project adds this to each of them.
set(WIDE_ENTRY_LINK_OPTIONS -municode)
# Programs whose bytes must not depend on the time of the build (the package set).
set(REPRODUCIBLE_LINK_OPTIONS -Wl,--no-insert-timestamp)

# Test programs of this build run under Wine in the project's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh")

# The binutils that make delay-import libraries (src/CMakeLists.txt).
set(MINGW_NM x86_64-w64-mingw32-nm)
set(MINGW_WINDMC x86_64-w64-mingw32-windmc)
set(MINGW_DLLTOOL x86_64-w64-mingw32-dlltool)
set(MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
