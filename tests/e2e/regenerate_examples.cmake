# The example data files must be exactly what varnel-generate makes from the commands in
# examples/README.md: a change of the generator that alters them shows up here, before the
# examples and their golden files drift apart from their documented origin.
#
#   cmake -DGENERATE=<varnel-generate> -DEXAMPLES_DIR=<examples> -DWORK_DIR=<scratch> -P ...
cmake_minimum_required(VERSION 3.22)

set(commands
  "cyclic_wall.prn|--samples 1500 --columns 3 --header-lines 2 --separator space --line-end lf --seed 7 --noise 0.001"
  "beam_column.csv|--samples 800 --columns 4 --header-lines 1 --separator comma --line-end crlf --levels 4 --cycles 2 --max-deformation 40 --max-load 120 --seed 3 --noise 0.002"
  "brace.dat|--samples 400 --columns 2 --separator tab --levels 3 --cycles 2 --max-deformation 12 --max-load 30 --seed 11 --noise 0.004")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(failures "")
foreach(entry IN LISTS commands)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 options)
  separate_arguments(args UNIX_COMMAND "${options}")
  execute_process(COMMAND "${GENERATE}" ${args} -o "${WORK_DIR}/${name}"
    RESULT_VARIABLE result ERROR_VARIABLE err)
  if(NOT result STREQUAL "0")
    list(APPEND failures "varnel-generate ${options} failed (${result}): ${err}")
    continue()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
    "${EXAMPLES_DIR}/${name}" "${WORK_DIR}/${name}" RESULT_VARIABLE differs)
  if(differs)
    list(APPEND failures "${name} differs from varnel-generate ${options}")
  endif()
endforeach()

# The same options written to standard output give the same bytes as with -o.
list(GET commands 0 first)
string(REPLACE "|" ";" fields "${first}")
list(GET fields 1 options)
separate_arguments(args UNIX_COMMAND "${options}")
execute_process(COMMAND "${GENERATE}" ${args} OUTPUT_FILE "${WORK_DIR}/stdout.prn")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
  "${EXAMPLES_DIR}/cyclic_wall.prn" "${WORK_DIR}/stdout.prn" RESULT_VARIABLE differs)
if(differs)
  list(APPEND failures "standard output differs from the file written with -o")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "  ${text}")
endif()
