# Cross-builds the 64-bit Windows program with MinGW-w64; ctest runs its test programs under wine64.
set(TESSALY_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs share one Wine prefix below the build directory; the wrapper keeps Wine's own
# services away from ctest's output pipe.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env TESSALY_WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
    /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
