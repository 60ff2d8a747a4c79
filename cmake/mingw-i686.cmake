# Cross-builds the 32-bit Windows program, the release build, with MinGW-w64. This machine runs no
# 32-bit code, so there is no emulator: configure it with -DTESSALY_BUILD_TESTS=OFF.
set(TESSALY_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
