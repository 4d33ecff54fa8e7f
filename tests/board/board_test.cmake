# The verifier on an emulated microcontroller against swug_info on the host: cross-builds this
# folder, prints the Cortex-M0+ figures, runs the test program on QEMU's MPS2 AN385 board (a
# Cortex-M3) over every image in the given folders, and compares each verdict, and the names of
# the failed checks, with what swug_info --json says of the same file. Every file must agree, and
# each image of a folder that holds a VERDICTS list must fail the checks listed there.
#   cmake -DSWUG_INFO=<swug_info> -DWORK_DIR=<scratch folder> -DQEMU=<qemu-system-arm>
#         -DGENERATOR=<generator> -DIMAGES=<folder|folder...> -P board_test.cmake
cmake_minimum_required(VERSION 3.20)

set(board_build ${WORK_DIR}/build)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${board_build} -G ${GENERATOR}
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/arm-none-eabi.cmake)
run(${CMAKE_COMMAND} --build ${board_build})
run(${CMAKE_COMMAND} --build ${board_build} --target figures)
string(REGEX MATCH "\\| swug_verify on a Cortex-M0\\+.*\\| symbols from outside[^\n]*" figures
       "${out}")
message("${figures}\n")

string(REPLACE "|" "/*;" globs "${IMAGES}/*")
file(GLOB files LIST_DIRECTORIES false ${globs})
list(FILTER files EXCLUDE REGEX "/VERDICTS$")
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no images in ${IMAGES}")
endif()
list(JOIN files "\n" list_text)
file(WRITE ${WORK_DIR}/images.txt "${list_text}\n")
file(REMOVE ${WORK_DIR}/verdicts.txt)

# Semihosting reaches the host's files; the board ends the emulator with its exit status.
execute_process(
  COMMAND ${QEMU} -machine mps2-an385 -cpu cortex-m3 -nographic -monitor none -serial none
    -semihosting-config
    enable=on,target=native,arg=board_verdicts,arg=${WORK_DIR}/images.txt,arg=${WORK_DIR}/verdicts.txt
    -kernel ${board_build}/board_verdicts.elf
  RESULT_VARIABLE status OUTPUT_VARIABLE board_out ERROR_VARIABLE board_out TIMEOUT 600)
message("${board_out}")
if(NOT status EQUAL 0 OR NOT EXISTS ${WORK_DIR}/verdicts.txt)
  message(FATAL_ERROR "the board program failed (${status})")
endif()
file(STRINGS ${WORK_DIR}/verdicts.txt board_lines)

set(agreed 0)
set(disagreed "")
foreach(file line IN ZIP_LISTS files board_lines)
  # What swug_info says: the verdict, then the failed checks' names in their order.
  execute_process(COMMAND ${SWUG_INFO} --json ${file} RESULT_VARIABLE info_status
                  OUTPUT_VARIABLE json ERROR_QUIET)
  if(NOT info_status MATCHES "^[01]$")
    message(FATAL_ERROR "swug_info gave exit status ${info_status} for ${file}")
  endif()
  set(names_OFF "")  # the checks whose "ok" is false (OFF)
  string(JSON checks LENGTH "${json}" checks)
  math(EXPR last "${checks} - 1")
  foreach(i RANGE ${last})
    string(JSON ok GET "${json}" checks ${i} ok)
    string(JSON name GET "${json}" checks ${i} name)
    list(APPEND names_${ok} ${name})
  endforeach()
  list(JOIN names_OFF "," failed)
  string(JSON valid GET "${json}" valid)
  set(verdict_ON valid)
  set(verdict_OFF invalid)
  string(STRIP "${file} ${verdict_${valid}} ${failed}" host)
  if(line STREQUAL host)
    math(EXPR agreed "${agreed} + 1")
  else()
    string(APPEND disagreed "  host:  ${host}\n  board: ${line}\n")
  endif()
  # The checks that VERDICTS beside the file lists for it (none: valid).
  get_filename_component(folder ${file} DIRECTORY)
  get_filename_component(name ${file} NAME)
  if(EXISTS ${folder}/VERDICTS)
    file(STRINGS ${folder}/VERDICTS listed REGEX "^${name}( |$)")
    string(REGEX REPLACE "^[^ ]+" "" listed "${listed}")
    string(STRIP "${listed}" listed)
    string(REPLACE " " "," listed "${listed}")
    string(REGEX REPLACE "^.* (in)?valid ?" "" found "${line}")
    if(NOT found STREQUAL listed)
      string(APPEND disagreed "  VERDICTS: ${file} ${listed}\n  board:    ${line}\n")
    endif()
  endif()
endforeach()

math(EXPR percent "100 * ${agreed} / ${count}")
message("host and board agree on ${agreed} of ${count} images (${percent} %)")
if(NOT disagreed STREQUAL "")
  message(FATAL_ERROR "the board and swug_info disagree:\n${disagreed}")
endif()
