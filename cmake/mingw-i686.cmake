# Cross-compiles for 32-bit Windows with mingw-w64: the program, the command line and
# Tarnel.sys for x86. A 32-bit build also catches integer-width slips that a 64-bit host build
# cannot.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELKOR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
