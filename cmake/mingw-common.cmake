# The part of the mingw-w64 toolchain that both Windows trees share; the including file sets
# CMAKE_SYSTEM_PROCESSOR and VELKOR_MINGW_PREFIX first. The -posix compilers give std::thread
# and std::mutex, which GoogleTest and the station's worker need. Programs built here run
# under wine, which ctest uses as the emulator (Debian's wine launcher picks the 64-bit loader
# for a 64-bit executable; the prefix is set by scripts/wine-session.sh).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELKOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELKOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELKOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELKOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VELKOR_WINE wine)
if(VELKOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKOR_WINE})
endif()
