# cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=... -DSUMMARY=... -DOUTPUT=x.1.gz -P ZarnManPage.cmake
# Makes a man page from the program's own --help and --version, so the two
# cannot drift apart. A program that does not answer them gets no page and a
# warning instead of breaking the build.
get_filename_component(dir ${OUTPUT} DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" page ${OUTPUT})
file(MAKE_DIRECTORY ${dir})
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 "--name=${SUMMARY}"
                        --output=${page} ${PROGRAM}
                RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed)
  file(REMOVE ${page} ${OUTPUT})
  message(WARNING "No man page for ${PROGRAM}: help2man failed: ${errors}")
  return()
endif()
# -n keeps the time stamp out, so an unchanged page gives the same bytes.
execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${page} ${OUTPUT})
  message(WARNING "No man page for ${PROGRAM}: gzip failed")
endif()
