# cmake -DSOURCE_DIR=... -DOUTPUT=... -P ZarnRevision.cmake
# Writes the short commit (with "-dirty" for local changes) or an empty text
# when the sources are not a git checkout or git is missing.
set(revision "")
find_program(GIT git)
if(GIT AND EXISTS ${SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} describe --always --dirty --abbrev=12
                  OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    set(revision "")
  endif()
endif()
set(content "#pragma once\n#define ZARN_SOURCE_REVISION \"${revision}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
