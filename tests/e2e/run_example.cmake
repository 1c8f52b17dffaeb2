# Runs varnel-batch on one example data file in a fresh folder and compares every file it
# writes with the golden files, byte for byte.
#
#   cmake -DBATCH=<varnel-batch> -DDATA=<example data file> -DEXPECTED_DIR=<golden folder>
#         -DWORK_DIR=<scratch folder> "-DARGS=<varnel-batch options>" -P run_example.cmake
#
# The folder must afterwards hold exactly the data file (unchanged), a bystander file
# (unchanged) and the golden files' names. On a mismatch the written file is kept as
# <name>.actual beside the golden file, so that a reviewed change can copy it over.
cmake_minimum_required(VERSION 3.22)

foreach(var BATCH DATA EXPECTED_DIR WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_example.cmake needs -D${var}=...")
  endif()
endforeach()

get_filename_component(data_name "${DATA}" NAME)
# The name base is the data file's name less its last three characters; "<base>txt" is a
# neighbour that shares it but is none of the run's names.
string(LENGTH "${data_name}" name_length)
math(EXPR base_length "${name_length} - 3")
string(SUBSTRING "${data_name}" 0 ${base_length} name_base)
set(bystander_name "${name_base}txt")
set(bystander_text "not part of any run\n")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${DATA}" DESTINATION "${WORK_DIR}")
file(WRITE "${WORK_DIR}/${bystander_name}" "${bystander_text}")

separate_arguments(batch_args UNIX_COMMAND "${ARGS}")
execute_process(
  COMMAND "${BATCH}" --quiet ${batch_args} "${WORK_DIR}/${data_name}"
  RESULT_VARIABLE batch_result
  OUTPUT_VARIABLE batch_out
  ERROR_VARIABLE batch_err)
if(NOT batch_result STREQUAL "0")
  message(FATAL_ERROR "varnel-batch ${ARGS} ${data_name} exited with ${batch_result}:\n"
    "${batch_out}${batch_err}")
endif()

set(failures "")

# Every golden file, and nothing else, must have appeared.
file(GLOB golden_names RELATIVE "${EXPECTED_DIR}" "${EXPECTED_DIR}/*")
list(FILTER golden_names EXCLUDE REGEX "\\.actual$")
list(FILTER golden_names EXCLUDE REGEX "^\\.")
if(NOT golden_names)
  message(FATAL_ERROR "no golden files in ${EXPECTED_DIR}")
endif()
set(expected_names ${golden_names} "${data_name}" "${bystander_name}")
list(SORT expected_names)
file(GLOB present_names LIST_DIRECTORIES true RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
list(SORT present_names)
if(NOT present_names STREQUAL expected_names)
  list(APPEND failures "the folder holds [${present_names}], expected [${expected_names}]")
endif()

find_program(DIFF_PROGRAM diff)
foreach(name IN LISTS golden_names)
  set(expected "${EXPECTED_DIR}/${name}")
  set(actual "${WORK_DIR}/${name}")
  if(NOT EXISTS "${actual}")
    list(APPEND failures "${name} was not written")
    continue()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected}" "${actual}"
    RESULT_VARIABLE differs)
  if(differs)
    file(COPY_FILE "${actual}" "${expected}.actual")
    list(APPEND failures "${name} differs from the golden file; written to ${expected}.actual")
    if(DIFF_PROGRAM)
      execute_process(COMMAND "${DIFF_PROGRAM}" -u --text "${expected}" "${expected}.actual"
        OUTPUT_VARIABLE diff_text)
      message("${diff_text}")
    endif()
  else()
    file(REMOVE "${expected}.actual")
  endif()
endforeach()

# The user's data file is read, never written; a neighbour is never touched.
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${DATA}" "${WORK_DIR}/${data_name}"
  RESULT_VARIABLE data_changed)
if(data_changed)
  list(APPEND failures "the data file ${data_name} was changed")
endif()
if(EXISTS "${WORK_DIR}/${bystander_name}")
  file(READ "${WORK_DIR}/${bystander_name}" bystander_now)
  if(NOT bystander_now STREQUAL bystander_text)
    list(APPEND failures "the neighbouring file ${bystander_name} was changed")
  endif()
endif()

if(failures)
  list(JOIN failures "\n  " failure_text)
  message(FATAL_ERROR "${data_name} with '${ARGS}':\n  ${failure_text}")
endif()
