# Writes the program's version source (OUT) from VERSION and, when the source tree is a git
# checkout, `git describe`. Run at every build; the file is rewritten only when its text changes,
# so an unchanged version rebuilds nothing.
set(describe "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty --tags
    OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(describe "")
  endif()
endif()
set(version "${VERSION}")
if(describe)
  set(version "${VERSION} (git ${describe})")
endif()
set(text "// Generated at build time by cmake/WriteVersion.cmake; do not edit.
#include \"support/uVersion.h\"

namespace vantrel {
const char* ProgramVersion() { return \"${version}\"; }
}  // namespace vantrel
")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()
