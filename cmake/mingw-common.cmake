# What both MinGW-w64 toolchains share. The including file sets TESSALY_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: std::thread and std::mutex need the winpthreads threading model.
set(CMAKE_C_COMPILER ${TESSALY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained file per program: no MinGW run-time DLLs to ship beside it, and none for Wine
# to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The release program ships without its symbol tables (they more than double its size); the
# builds that are debugged keep them.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-gtest.cmake)
