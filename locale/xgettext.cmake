# Extracts the message ids of every source file under SRC into OUT.
file(GLOB_RECURSE sources RELATIVE ${SRC} ${SRC}/*.cpp ${SRC}/*.h)
list(SORT sources)
execute_process(
  COMMAND ${XGETTEXT} --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_
          --package-name=Corvane --no-wrap --sort-by-file -o ${OUT} ${sources}
  WORKING_DIRECTORY ${SRC}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "xgettext failed")
endif()
