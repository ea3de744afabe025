# Regenerates the code page 932 tables and compares them with the committed file.
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/scripts/gen_cp932.py ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gen_cp932.py failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${SOURCE_DIR}/src/charcode/cp932_tables.cpp
                RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "src/charcode/cp932_tables.cpp differs from what scripts/gen_cp932.py makes: regenerate it")
endif()
