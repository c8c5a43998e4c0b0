# Cross-compiles for 64-bit Windows (x64) with mingw-w64: the program, the command line and
# Tarnel.sys for amd64, since a 64-bit Windows loads only 64-bit kernel drivers.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VELKOR_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
