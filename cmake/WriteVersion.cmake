# Writes the version source of the programs: the project's version and, in a git checkout, the
# commit the build comes from (with "-modified" when the working tree differs from it). Run at
# every build; the file is rewritten only when its text changes, so nothing relinks otherwise.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P WriteVersion.cmake
set(commit "")
find_program(GIT git)
if(GIT AND EXISTS ${SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT} rev-parse --short=10 HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE commit RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(commit "")
  else()
    execute_process(COMMAND ${GIT} diff-index --quiet HEAD -- WORKING_DIRECTORY ${SOURCE_DIR}
                    RESULT_VARIABLE dirty ERROR_QUIET)
    if(NOT dirty EQUAL 0)
      string(APPEND commit "-modified")
    endif()
  endif()
endif()

set(text "// Written by cmake/WriteVersion.cmake at build time.
#include \"core/version.h\"

namespace zrd {

std::string_view projectVersion() {
    return \"${VERSION}\";
}

std::string_view buildCommit() {
    return \"${commit}\";
}

}  // namespace zrd
")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${text}")
