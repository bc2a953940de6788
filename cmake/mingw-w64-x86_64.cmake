# Cross-compiles the Windows build on Linux with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64). The posix threads variant, because GoogleTest needs
# std::mutex, which the win32 variant's library lacks; its winpthread runtime
# is linked in statically like the rest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes: the .exe runs where nothing is installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine where it is installed; the build itself never
# runs them, so it needs no wine.
find_program(MINGW_WINE_PROGRAM NAMES wine wine64)
if(MINGW_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MINGW_WINE_PROGRAM})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
