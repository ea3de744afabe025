# GoogleTest: the system package natively, built from /usr/src/googletest for
# the mingw builds. Test executables of a Windows build run under Wine.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(GV_GTEST_LIBS GTest::gtest GTest::gtest_main)
else()
  find_package(GTest REQUIRED)
  set(GV_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

set(GV_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)

# gv_add_test(NAME target [LABELS ...] [TIMEOUT seconds]): one ctest entry per
# test executable; under Wine for Windows builds, natively otherwise.
function(gv_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()  # 32-bit Windows programs are built and linked, but our Wine runs only 64-bit ones
  elseif(WIN32)
    add_test(NAME ${name} COMMAND ${GV_WINE_RUN} ${CMAKE_BINARY_DIR} ${T_TIMEOUT} $<TARGET_FILE:${name}>
             WORKING_DIRECTORY $<TARGET_FILE_DIR:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS "wine;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  else()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
    set_tests_properties(${name} PROPERTIES LABELS "native;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
