# varnel-batch --cycles as a user runs it: the three tables beside each finished run, none beside
# a failed one, the options it refuses, the sign check, and the names it never writes through.
#
#   cmake -DBATCH=<varnel-batch> -DEXAMPLES_DIR=<examples> -DWORK_DIR=<scratch> -P cycle_tables.cmake
cmake_minimum_required(VERSION 3.22)

function(batch expected_result)
  execute_process(COMMAND "${BATCH}" ${ARGN}
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result STREQUAL "${expected_result}")
    message(FATAL_ERROR "varnel-batch ${ARGN} exited with ${result}, not ${expected_result}:\n${out}${err}")
  endif()
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_in text part)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing '${part}' in\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${EXAMPLES_DIR}/cyclic_wall.prn" "${EXAMPLES_DIR}/brace.dat" DESTINATION "${WORK_DIR}")
set(options --skip-lines 2 --x-column 2 --y-column 3)

# The example's 6 levels of 3 cycles, each cycle 0 -> +A -> -A -> 0, give 18 peaks: 17 cycles
# from peak to peak. brace.dat has two columns, not three: its run fails and writes no table.
batch(1 --cycles ${options} cyclic_wall.prn brace.dat)
expect_in("${err}" "cyclic_wall.prn: cycle tables cyclic_wall.cycles.csv, cyclic_wall.envelope.csv and cyclic_wall.backbone.csv")
file(READ "${WORK_DIR}/cyclic_wall.cycles.csv" cycles)
file(READ "${WORK_DIR}/cyclic_wall.envelope.csv" envelope)
file(READ "${WORK_DIR}/cyclic_wall.backbone.csv" backbone)
# Counts the line ends, in hex since CMake's strings lose the CRs: every one a CR LF.
file(READ "${WORK_DIR}/cyclic_wall.cycles.csv" hex HEX)
string(REGEX MATCHALL "0d0a" crlf "${hex}")
string(REGEX MATCHALL "0a" lf "${hex}")
list(LENGTH crlf crlf_count)
list(LENGTH lf lf_count)
if(NOT crlf_count EQUAL 18 OR NOT lf_count EQUAL 18)
  message(FATAL_ERROR "cyclic_wall.cycles.csv has ${crlf_count} CR LF of ${lf_count} lines, not 18:\n${cycles}")
endif()
string(FIND "${cycles}" "cycle,level,cycle_in_level,first_line,last_line,u_pos,F_u_pos,u_neg,F_u_neg,F_max,u_F_max,F_min,u_F_min,stiffness,energy,cumulative_energy,damping,residual_pos,residual_neg,retention_pos,retention_neg\n1,1,1,24,107," at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "cyclic_wall.cycles.csv does not begin with its header and cycle 1:\n${cycles}")
endif()
# Six levels on each side, the positive ones first.
string(REPEAT "positive,[1-6],[23],[-0-9.e,]+\n" 6 positive_rows)
string(REPEAT "negative,[1-6],[23],[-0-9.e,]+\n" 6 negative_rows)
if(NOT envelope MATCHES "^side,level,cycles,u_first,F_first,u_last,F_last\n${positive_rows}${negative_rows}$")
  message(FATAL_ERROR "cyclic_wall.envelope.csv is not a header and six rows a side:\n${envelope}")
endif()
if(NOT backbone MATCHES "^side,peak_load,peak_deformation,elastic_stiffness,yield_load,yield_deformation,ultimate_deformation,energy_to_ultimate,ductility\npositive(,[-0-9.e]+)+\nnegative(,[-0-9.e]+)+\n$")
  message(FATAL_ERROR "cyclic_wall.backbone.csv is not a header and two full rows:\n${backbone}")
endif()
if(err MATCHES "wrong way round")
  message(FATAL_ERROR "the wall's loops were taken to run the wrong way round:\n${err}")
endif()
file(GLOB brace_tables "${WORK_DIR}/brace.*.csv")
if(brace_tables)
  message(FATAL_ERROR "a failed run wrote ${brace_tables}")
endif()

# --summary: one row a data file in the order of the command line, the same bytes with one job
# or two, a failed run's row empty but for its code, a finished run's figures those of its
# backbone table.
file(COPY_FILE "${WORK_DIR}/cyclic_wall.prn" "${WORK_DIR}/second_wall.prn")
batch(1 --quiet --cycles ${options} --summary one.csv cyclic_wall.prn brace.dat second_wall.prn)
batch(1 --quiet --cycles ${options} --jobs 2 --summary two.csv cyclic_wall.prn brace.dat
  second_wall.prn)
file(READ "${WORK_DIR}/one.csv" one_job)
file(READ "${WORK_DIR}/two.csv" two_jobs)
if(NOT one_job STREQUAL two_jobs)
  message(FATAL_ERROR "the summary differs between one job and two:
${one_job}
${two_jobs}")
endif()
string(REGEX MATCHALL "[^
]+" lines "${one_job}")
list(LENGTH lines count)
list(GET lines 2 brace_row)
list(GET lines 1 wall_row)
list(GET lines 3 second_row)
string(REGEX MATCHALL "[^
]+" backbone_lines "${backbone}")
list(GET backbone_lines 1 positive)
list(GET backbone_lines 2 negative)
# The backbone row less its side and its energy to the ultimate deformation.
function(summary_fields row out)
  string(REPLACE "," ";" fields "${row}")
  list(REMOVE_AT fields 7)
  list(REMOVE_AT fields 0)
  set(${out} "${fields}" PARENT_SCOPE)
endfunction()
summary_fields("${positive}" positive_fields)
summary_fields("${negative}" negative_fields)
string(REPLACE ";" "," expected_sides "${positive_fields};${negative_fields}")
if(NOT count EQUAL 4 OR NOT brace_row STREQUAL "brace.dat,failed,9,,,,,,,,,,,,,,,,,,"
    OR NOT wall_row MATCHES "^cyclic_wall.prn,finished,,1500,17,6,[0-9.e+]+,${expected_sides}$"
    OR NOT second_row MATCHES "^second_wall.prn,finished,")
  message(FATAL_ERROR "the summary is not the backbone tables' figures:
${one_job}")
endif()

# A reversed load turns every loop round: one line says so, also with --quiet, and the tables
# are written with the exit status of a run that finished. Every option takes a signed number
# as the coefficients do, and the envelope kind changes the envelope.
batch(0 --quiet --cycles ${options} --y-coefficient -1 --cycle-tolerance +0.01 --turn-back-ratio +0.25
  --level-tolerance 5e-2 --envelope deformation cyclic_wall.prn)
string(STRIP "${err}" err)
if(NOT err STREQUAL "cyclic_wall.prn: the loops run the wrong way round (negative total energy and stiffness): is the load's sign reversed? A negative Y coefficient turns it")
  message(FATAL_ERROR "not the sign check's line alone:\n${err}")
endif()
file(READ "${WORK_DIR}/cyclic_wall.envelope.csv" reversed)
if(reversed STREQUAL envelope OR NOT EXISTS "${WORK_DIR}/cyclic_wall.cycles.csv")
  message(FATAL_ERROR "--envelope deformation and a reversed load left the envelope as it was:\n${reversed}")
endif()
batch(0 --cycles ${options} cyclic_wall.prn)

# One combined curve file gives the same tables as two.
file(RENAME "${WORK_DIR}/cyclic_wall.cycles.csv" "${WORK_DIR}/two_files.csv")
batch(0 --quiet --cycles --one-file ${options} cyclic_wall.prn)
file(READ "${WORK_DIR}/cyclic_wall.cycles.csv" one_file)
if(NOT one_file STREQUAL cycles)
  message(FATAL_ERROR "--one-file changed the cycle table:\n${one_file}")
endif()

# Tolerances out of range or not numbers, or without --cycles: a usage error naming the option,
# and nothing written.
file(REMOVE_RECURSE "${WORK_DIR}/refused")
file(MAKE_DIRECTORY "${WORK_DIR}/refused")
file(COPY "${EXAMPLES_DIR}/cyclic_wall.prn" DESTINATION "${WORK_DIR}/refused")
foreach(case "--cycle-tolerance|0.5" "--cycle-tolerance|-0.01" "--cycle-tolerance|abc"
    "--cycle-tolerance|nan" "--cycle-tolerance|0.1x" "--turn-back-ratio|1" "--turn-back-ratio|-0.1"
    "--turn-back-ratio|0.25e" "--level-tolerance|-1" "--level-tolerance|inf" "--level-tolerance|1e999"
    "--level-tolerance|" "--envelope|peak")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 option)
  list(LENGTH case n)
  set(value "")
  if(n GREATER 1)
    list(GET case 1 value)
  endif()
  batch(2 --cycles ${options} ${option} "${value}" refused/cyclic_wall.prn)
  expect_in("${err}" "${option}")
endforeach()
foreach(case "--cycle-tolerance|0.1" "--turn-back-ratio|0.5" "--level-tolerance|0.1" "--envelope|load")
  string(REPLACE "|" ";" case "${case}")
  batch(2 ${options} ${case} refused/cyclic_wall.prn)
  list(GET case 0 option)
  expect_in("${err}" "${option} needs --cycles")
endforeach()
file(GLOB written "${WORK_DIR}/refused/*.csv" "${WORK_DIR}/refused/*.vn?")
if(written)
  message(FATAL_ERROR "a refused command line wrote ${written}")
endif()

# A table's name that is a symbolic link is refused, the file it points to untouched; a table
# that would replace another data file of the batch is refused before any table is written.
file(WRITE "${WORK_DIR}/refused/keep.txt" "kept")
file(CREATE_LINK "keep.txt" "${WORK_DIR}/refused/cyclic_wall.envelope.csv" SYMBOLIC)
batch(1 --cycles ${options} refused/cyclic_wall.prn)
expect_in("${err}" "symbolic link")
file(READ "${WORK_DIR}/refused/keep.txt" kept)
if(NOT kept STREQUAL "kept" OR NOT IS_SYMLINK "${WORK_DIR}/refused/cyclic_wall.envelope.csv"
    OR EXISTS "${WORK_DIR}/refused/cyclic_wall.cycles.csv")
  message(FATAL_ERROR "a table was written through a symbolic link, or without the others")
endif()
file(REMOVE "${WORK_DIR}/refused/cyclic_wall.backbone.csv" "${WORK_DIR}/refused/cyclic_wall.cycles.csv"
  "${WORK_DIR}/refused/cyclic_wall.envelope.csv")
file(COPY_FILE "${WORK_DIR}/cyclic_wall.prn" "${WORK_DIR}/refused/cyclic_wall.cycles.csv")
file(READ "${WORK_DIR}/refused/cyclic_wall.cycles.csv" before HEX)
execute_process(COMMAND "${BATCH}" --cycles ${options} cyclic_wall.prn cyclic_wall.cycles.csv
  WORKING_DIRECTORY "${WORK_DIR}/refused" RESULT_VARIABLE result ERROR_VARIABLE err)
file(READ "${WORK_DIR}/refused/cyclic_wall.cycles.csv" after HEX)
if(result EQUAL 0 OR NOT before STREQUAL after OR EXISTS "${WORK_DIR}/refused/cyclic_wall.backbone.csv"
    OR EXISTS "${WORK_DIR}/refused/cyclic_wall.envelope.csv")
  message(FATAL_ERROR "a table replaced the data file cyclic_wall.cycles.csv (exit ${result}):\n${err}")
endif()
expect_in("${err}" "data file")
file(GLOB leftovers "${WORK_DIR}/.varnel-*" "${WORK_DIR}/refused/.varnel-*")
if(leftovers)
  message(FATAL_ERROR "left behind ${leftovers}")
endif()
