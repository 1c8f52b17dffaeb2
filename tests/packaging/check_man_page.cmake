# Formats the man page and fails on any warning of the formatter.
execute_process(COMMAND ${MAN} --warnings -l ${PAGE}
  RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man ${PAGE} exited with ${result}:\n${warnings}")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS")
  string(FIND "${text}" "${section}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the man page has no ${section} section")
  endif()
endforeach()
