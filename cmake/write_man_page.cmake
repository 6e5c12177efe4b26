# cmake -DPROGRAM=<built program> -DNAME=<program name> -DSUMMARY=<one line> -DSEE_ALSO=<roff>
#       -DGZIP=<gzip> -DOUTPUT=<page>.1.gz [-DSUBCOMMANDS=ON] -P write_man_page.cmake
# A manual page made by help2man from the program's own --help and --version, so the page can
# never drift from the options. With SUBCOMMANDS the help of every subcommand listed under
# "Subcommands:" becomes a section of its own.
find_program(HELP2MAN help2man REQUIRED)
get_filename_component(dir "${OUTPUT}" DIRECTORY)
set(page "${dir}/${NAME}.1")
set(include "${dir}/${NAME}.h2m")

# roff-safe preformatted text: backslashes escaped, no line taken for a request.
function(preformatted text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

set(extra "[SEE ALSO]\n${SEE_ALSO}\n")
if(SUBCOMMANDS)
  execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed")
  endif()
  string(REGEX REPLACE ".*\nSubcommands:\n" "" listed "${help}")
  string(REGEX MATCHALL "(^|\n)  [a-z][a-z0-9-]*" names "${listed}")
  string(APPEND extra "[COMMANDS]\n")
  foreach(name ${names})
    string(STRIP "${name}" name)
    execute_process(COMMAND ${PROGRAM} ${name} --help OUTPUT_VARIABLE sub RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} ${name} --help failed")
    endif()
    preformatted("${sub}" body)
    string(APPEND extra ".SS \"${NAME} ${name}\"\n${body}")
  endforeach()
endif()
file(WRITE "${include}" "${extra}")

execute_process(COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${SUMMARY}
                  --include=${include} --output=${page} ${PROGRAM}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
# -n: no name or time stamp in the archive, so the same page gives the same bytes.
execute_process(COMMAND ${GZIP} -9nf "${page}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
