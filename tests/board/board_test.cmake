# The verifier on an emulated microcontroller against swug_info on the host: cross-builds this
# folder, prints the Cortex-M0+ figures, runs the test program on QEMU's MPS2 AN385 board (a
# Cortex-M3) over every image in the given folders, and compares each verdict, and the names of
# the failed checks, with what swug_info --json says of the same file. Every file must agree, and
# each image of a folder that holds a VERDICTS list must fail the checks listed there.
#   cmake -DSWUG_INFO=<swug_info> -DWORK_DIR=<scratch folder> -DQEMU=<qemu-system-arm>
#         -DGENERATOR=<generator> -DIMAGES=<folder|folder...> -P board_test.cmake
cmake_minimum_required(VERSION 3.20)

set(board_source ${CMAKE_CURRENT_LIST_DIR})
set(board_build ${WORK_DIR}/build)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}${err}")
  endif()
  set(out "${out}${err}" PARENT_SCOPE)
endfunction()

run("configuring the cross build" ${CMAKE_COMMAND} -S ${board_source} -B ${board_build}
    -G ${GENERATOR} -DCMAKE_TOOLCHAIN_FILE=${board_source}/arm-none-eabi.cmake)
run("cross-building" ${CMAKE_COMMAND} --build ${board_build})
run("working out the figures" ${CMAKE_COMMAND} --build ${board_build} --target figures)
string(REGEX MATCH "\\| swug_verify on a Cortex-M0\\+.*\\| symbols from outside[^\n]*" figures
       "${out}")
message("${figures}\n")

set(files "")
string(REPLACE "|" ";" folders "${IMAGES}")
foreach(folder IN LISTS folders)
  file(GLOB found LIST_DIRECTORIES false "${folder}/*")
  list(FILTER found EXCLUDE REGEX "/VERDICTS$")
  list(SORT found)
  list(APPEND files ${found})
endforeach()
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no images in ${IMAGES}")
endif()
string(REPLACE ";" "\n" list_text "${files}")
file(WRITE ${WORK_DIR}/images.txt "${list_text}\n")
file(REMOVE ${WORK_DIR}/verdicts.txt)

# Semihosting reaches the host's files; the board ends the emulator with its exit status.
execute_process(
  COMMAND ${QEMU} -machine mps2-an385 -cpu cortex-m3 -nographic -monitor none -serial none
    -semihosting-config
    enable=on,target=native,arg=board_verdicts,arg=${WORK_DIR}/images.txt,arg=${WORK_DIR}/verdicts.txt
    -kernel ${board_build}/board_verdicts.elf
  RESULT_VARIABLE status OUTPUT_VARIABLE board_out ERROR_VARIABLE board_out
  TIMEOUT 600)
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
                  OUTPUT_VARIABLE json ERROR_VARIABLE ignored)
  if(NOT info_status MATCHES "^[01]$")
    message(FATAL_ERROR "swug_info gave exit status ${info_status} for ${file}")
  endif()
  string(JSON valid GET "${json}" valid)
  string(JSON checks LENGTH "${json}" checks)
  set(host "${file} invalid")
  if(valid)
    set(host "${file} valid")
  endif()
  set(separator " ")
  math(EXPR last "${checks} - 1")
  foreach(i RANGE ${last})
    string(JSON ok GET "${json}" checks ${i} ok)
    if(NOT ok)
      string(JSON name GET "${json}" checks ${i} name)
      string(APPEND host "${separator}${name}")
      set(separator ",")
    endif()
  endforeach()
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
  if(line STREQUAL host)
    math(EXPR agreed "${agreed} + 1")
  else()
    string(APPEND disagreed "  host:  ${host}\n  board: ${line}\n")
  endif()
endforeach()

math(EXPR percent "100 * ${agreed} / ${count}")
message("host and board agree on ${agreed} of ${count} images (${percent} %)")
if(NOT disagreed STREQUAL "")
  message(FATAL_ERROR "the board and swug_info disagree:\n${disagreed}")
endif()
