# Windows (x86_64) programs from Linux, with Debian's mingw-w64 and its POSIX
# thread model (Debian: g++-mingw-w64-x86-64-posix; `./setup.sh --windows`
# installs it with wine):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-windows -j2
#
# gives static KINEX.exe and kinex.exe that need no DLL beyond Windows' own.
# Where wine is installed, CTest runs the Windows test programs through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KINEX_MINGW_TRIPLE x86_64-w64-mingw32)
# The POSIX thread model: std::thread, std::mutex and their kin.
find_program(CMAKE_C_COMPILER NAMES ${KINEX_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KINEX_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KINEX_MINGW_TRIPLE}-windres)

# Libraries and headers of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KINEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static programs: the C++ runtime, winpthreads and libgcc inside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests of the Windows build run under wine (Debian: wine64).
# Its own wine prefix in the build folder, made when the tests are
# configured; wine's own messages silenced; a UTF-8 locale, so that wine
# hands non-ASCII arguments to the programs as they are.
find_program(KINEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KINEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine
                                    LC_ALL=C.UTF-8 ${KINEX_WINE})
endif()
