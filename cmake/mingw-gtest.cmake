# GoogleTest for the cross build. Debian ships its sources but no Windows libraries, so the first
# configure of a build directory builds them with this same toolchain into the build directory and
# points find_package(GTest) there. Skipped for try_compile projects, for the nested build itself,
# and when the tests are switched off.
get_property(_tessaly_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
get_property(_tessaly_gtest_done GLOBAL PROPERTY TESSALY_MINGW_GTEST_DONE)
if(_tessaly_in_try_compile OR _tessaly_gtest_done OR GTest_DIR
   OR (DEFINED TESSALY_GTEST_BOOTSTRAP AND NOT TESSALY_GTEST_BOOTSTRAP)
   OR (DEFINED TESSALY_BUILD_TESTS AND NOT TESSALY_BUILD_TESTS))
  return()
endif()
set_property(GLOBAL PROPERTY TESSALY_MINGW_GTEST_DONE TRUE)

set(TESSALY_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
set(_tessaly_gtest_build ${CMAKE_BINARY_DIR}/_deps/googletest-mingw-build)
set(_tessaly_gtest_prefix ${CMAKE_BINARY_DIR}/_deps/googletest-mingw)
set(_tessaly_gtest_config ${_tessaly_gtest_prefix}/lib/cmake/GTest/GTestConfig.cmake)

if(NOT EXISTS ${_tessaly_gtest_config})
  if(NOT EXISTS ${TESSALY_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${TESSALY_GTEST_SOURCE_DIR} (Debian package "
                        "googletest), or configure with -DTESSALY_BUILD_TESTS=OFF")
  endif()
  message(STATUS "Cross-building GoogleTest from ${TESSALY_GTEST_SOURCE_DIR}")
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/_deps)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${TESSALY_GTEST_SOURCE_DIR} -B ${_tessaly_gtest_build} -G Ninja
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-${CMAKE_SYSTEM_PROCESSOR}.cmake
            -DTESSALY_GTEST_BOOTSTRAP=OFF -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_INSTALL_PREFIX=${_tessaly_gtest_prefix} -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
            -Dgtest_disable_pthreads=ON
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/_deps/googletest-mingw-configure.log
    ERROR_FILE ${CMAKE_BINARY_DIR}/_deps/googletest-mingw-configure.log
    RESULT_VARIABLE _tessaly_gtest_result)
  if(_tessaly_gtest_result EQUAL 0)
    execute_process(
      COMMAND ${CMAKE_COMMAND} --build ${_tessaly_gtest_build} --target install
      OUTPUT_FILE ${CMAKE_BINARY_DIR}/_deps/googletest-mingw-build.log
      ERROR_FILE ${CMAKE_BINARY_DIR}/_deps/googletest-mingw-build.log
      RESULT_VARIABLE _tessaly_gtest_result)
  endif()
  if(NOT _tessaly_gtest_result EQUAL 0)
    message(FATAL_ERROR "Cross-building GoogleTest failed; see ${CMAKE_BINARY_DIR}/_deps/*.log")
  endif()
endif()

set(GTest_DIR ${_tessaly_gtest_prefix}/lib/cmake/GTest CACHE PATH "Cross-built GoogleTest")
