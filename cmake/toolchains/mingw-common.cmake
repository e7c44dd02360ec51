# Cross-compiles for Windows with Debian's mingw-w64 GCC, posix thread model
# (the win32 model of GCC 12 has no std::mutex), for the processor that
# mingw-x86_64.cmake or mingw-i686.cmake set. CTest runs the programs under
# Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(ZK_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZK_MINGW_TRIPLET}-windres)
get_filename_component(ZK_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZK_WINE_RUN} CACHE FILEPATH "Runs the Windows programs of the tests")
set(CMAKE_FIND_ROOT_PATH /usr/${ZK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cross-built dependencies (scripts/windows.sh): expat, Lua, GoogleTest.
if(ZK_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ZK_WINDOWS_DEPS})
endif()
