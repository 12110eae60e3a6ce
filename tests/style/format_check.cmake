# Every C++ file of the repository is as clang-format (with the repository's .clang-format)
# would write it.
execute_process(COMMAND git ls-files "*.cpp" "*.h" WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE files RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(STATUS "not a git checkout: nothing to check")
  return()
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} WORKING_DIRECTORY ${SOURCE_DIR}
                ERROR_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "clang-format would change these files (run clang-format -i on them):\n${out}")
endif()
