# varnel-batch as a user runs it on several files: pictures beside each data file, several jobs
# at once with the messages of a one-job batch, and the names it refuses.
#
#   cmake -DBATCH=<varnel-batch> -DEXAMPLES_DIR=<examples> -DWORK_DIR=<scratch> -P plot_and_jobs.cmake
cmake_minimum_required(VERSION 3.22)

# No display: pictures are drawn off screen.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})

function(batch folder expected_result out_var)
  execute_process(COMMAND "${BATCH}" ${ARGN}
    WORKING_DIRECTORY "${folder}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result STREQUAL "${expected_result}")
    message(FATAL_ERROR "varnel-batch ${ARGN} exited with ${result}, not ${expected_result}:\n${out}${err}")
  endif()
  set(${out_var} "${err}" PARENT_SCOPE)
endfunction()

function(fresh folder)
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY "${EXAMPLES_DIR}/cyclic_wall.prn" "${EXAMPLES_DIR}/brace.dat" DESTINATION "${folder}")
  # Shares the name base "cyclic_wall." with cyclic_wall.prn: the two runs write the same files.
  file(COPY_FILE "${EXAMPLES_DIR}/cyclic_wall.prn" "${folder}/cyclic_wall.txt")
endfunction()

function(expect_picture path magic)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "no picture ${path}")
  endif()
  file(READ "${path}" head LIMIT 4 HEX)
  if(NOT head STREQUAL "${magic}")
    message(FATAL_ERROR "${path} starts with the bytes ${head}, not ${magic}")
  endif()
endfunction()

set(files cyclic_wall.prn brace.dat cyclic_wall.txt)
set(options --skip-lines 2 --x-column 2 --y-column 3)

# One job, then four: the same files and the same messages, in the same order.
fresh("${WORK_DIR}/serial")
batch("${WORK_DIR}/serial" 1 serial_err ${options} --plot png ${files})
fresh("${WORK_DIR}/parallel")
batch("${WORK_DIR}/parallel" 1 parallel_err ${options} --plot png --jobs 4 ${files})
if(NOT serial_err STREQUAL parallel_err)
  message(FATAL_ERROR "--jobs 4 said\n${parallel_err}\nwhere one job said\n${serial_err}")
endif()
# brace.dat has two columns, not three: its run fails, draws no picture, and the runs after it
# still go on.
foreach(line "cyclic_wall.prn: Finish" "cyclic_wall.prn: picture cyclic_wall.png"
    "cyclic_wall.txt: Finish" "brace.dat: This file includes error data or you may mistake column or skip indication. (9)")
  string(FIND "${serial_err}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing '${line}' in\n${serial_err}")
  endif()
endforeach()
if(EXISTS "${WORK_DIR}/serial/brace.png" OR EXISTS "${WORK_DIR}/parallel/brace.png")
  message(FATAL_ERROR "a failed run drew a picture")
endif()
foreach(name cyclic_wall.vnp cyclic_wall.vnn cyclic_wall.png)
  file(READ "${WORK_DIR}/serial/${name}" a HEX)
  file(READ "${WORK_DIR}/parallel/${name}" b HEX)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${name} differs between one job and four")
  endif()
endforeach()
expect_picture("${WORK_DIR}/serial/cyclic_wall.png" "89504e47")  # \x89 P N G

# One named SVG picture for one data file.
fresh("${WORK_DIR}/svg")
batch("${WORK_DIR}/svg" 0 err --quiet ${options} --plot figures.svg cyclic_wall.prn)
expect_picture("${WORK_DIR}/svg/figures.svg" "3c3f786d")  # < ? x m
if(NOT err STREQUAL "")
  message(FATAL_ERROR "--quiet printed:\n${err}")
endif()

# One picture name for several files is a usage error, and nothing is written.
fresh("${WORK_DIR}/refused")
batch("${WORK_DIR}/refused" 2 err --plot figure.png cyclic_wall.prn brace.dat)
batch("${WORK_DIR}/refused" 2 err --plot figure.jpg cyclic_wall.prn)
file(GLOB written "${WORK_DIR}/refused/*.vn?" "${WORK_DIR}/refused/*.png")
if(written)
  message(FATAL_ERROR "a refused command line wrote ${written}")
endif()

# A picture that would replace the data file is not written; the run's own files are.
file(COPY_FILE "${EXAMPLES_DIR}/brace.dat" "${WORK_DIR}/refused/trial.png")
file(READ "${WORK_DIR}/refused/trial.png" before HEX)
batch("${WORK_DIR}/refused" 1 err --plot png trial.png)
file(READ "${WORK_DIR}/refused/trial.png" after HEX)
if(NOT before STREQUAL after OR NOT EXISTS "${WORK_DIR}/refused/trial.vnp")
  message(FATAL_ERROR "the data file trial.png was changed or the run did not finish:\n${err}")
endif()
string(FIND "${err}" "would replace the data file" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no word of the refused picture:\n${err}")
endif()

# The report picture (the default) and the picture box's drawing, each at its own size: the PNG's
# width and height in its header, two device pixels for each logical one.
function(expect_png_size path size_hex)
  file(READ "${path}" size LIMIT 8 OFFSET 16 HEX)
  if(NOT size STREQUAL "${size_hex}")
    message(FATAL_ERROR "${path} is ${size} (width and height in hex), not ${size_hex}")
  endif()
endfunction()
fresh("${WORK_DIR}/styles")
batch("${WORK_DIR}/styles" 0 err --quiet ${options} --plot report.png cyclic_wall.prn)
expect_png_size("${WORK_DIR}/styles/report.png" "00000708000004b0")  # 1800 x 1200
batch("${WORK_DIR}/styles" 0 err --quiet ${options} --plot box.png --plot-style box cyclic_wall.prn)
expect_png_size("${WORK_DIR}/styles/box.png" "0000044400000364")  # 1092 x 868
batch("${WORK_DIR}/styles" 0 err --quiet ${options} --plot report.svg --plot-style report cyclic_wall.prn)
expect_picture("${WORK_DIR}/styles/report.svg" "3c3f786d")
# A style without a picture, or a style of no name, is a usage error.
batch("${WORK_DIR}/styles" 2 err --plot-style box cyclic_wall.prn)
batch("${WORK_DIR}/styles" 2 err --plot png --plot-style fancy cyclic_wall.prn)

# No number depends on the user's locale: under one that writes a decimal comma, a coefficient of
# 0.1 still titles its axis "× 0.1", and the title names the header's column.
set(ENV{LC_ALL} de_DE.UTF-8)
batch("${WORK_DIR}/styles" 0 err --quiet ${options} --x-coefficient 0.1 --y-coefficient 1000
  --plot locale.svg cyclic_wall.prn)
unset(ENV{LC_ALL})
file(READ "${WORK_DIR}/styles/locale.svg" svg)
foreach(title "deformation × 0.1" "load × 1000")
  string(FIND "${svg}" ">${title}<" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "locale.svg has no title '${title}'")
  endif()
endforeach()

# --plot-overlay: one picture of the series after the batch, a failed run left out, the same bytes
# with one job or two; it replaces an older file whole, and a link at its name is refused before
# any run, the file it points to untouched.
fresh("${WORK_DIR}/overlay")
set(overlay_files cyclic_wall.prn brace.dat second_wall.prn)
file(COPY_FILE "${EXAMPLES_DIR}/cyclic_wall.prn" "${WORK_DIR}/overlay/second_wall.prn")
file(WRITE "${WORK_DIR}/overlay/one.png" "older")
batch("${WORK_DIR}/overlay" 1 err ${options} --plot-overlay one.png --overlay-records ${overlay_files})
batch("${WORK_DIR}/overlay" 1 err ${options} --jobs 2 --plot-overlay two.png --overlay-records
  ${overlay_files})
string(FIND "${err}" "varnel-batch: overlay picture two.png\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no word of the overlay picture:\n${err}")
endif()
expect_png_size("${WORK_DIR}/overlay/one.png" "00000708000004b0")
file(READ "${WORK_DIR}/overlay/one.png" one HEX)
file(READ "${WORK_DIR}/overlay/two.png" two HEX)
if(NOT one STREQUAL two)
  message(FATAL_ERROR "the overlay picture differs between one job and two")
endif()
file(WRITE "${WORK_DIR}/overlay/keep.txt" "kept")
file(CREATE_LINK "keep.txt" "${WORK_DIR}/overlay/linked.svg" SYMBOLIC)
file(REMOVE "${WORK_DIR}/overlay/cyclic_wall.vnp")
batch("${WORK_DIR}/overlay" 1 err ${options} --plot-overlay linked.svg cyclic_wall.prn)
file(READ "${WORK_DIR}/overlay/keep.txt" kept)
if(NOT err MATCHES "cannot write the overlay picture linked.svg: .*symbolic link"
    OR NOT kept STREQUAL "kept" OR EXISTS "${WORK_DIR}/overlay/cyclic_wall.vnp")
  message(FATAL_ERROR "a link at the overlay's name was not refused before the run:\n${err}")
endif()
file(GLOB leftovers "${WORK_DIR}/overlay/.*.part")
if(leftovers)
  message(FATAL_ERROR "left behind ${leftovers}")
endif()
batch("${WORK_DIR}/overlay" 2 err --plot-overlay series.jpg cyclic_wall.prn)
batch("${WORK_DIR}/overlay" 2 err --overlay-records cyclic_wall.prn)
