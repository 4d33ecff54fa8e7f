# Cross-builds the firmware project in consumer/cross (copied into WORK_DIR, so that nothing outside
# it changes) for a Cortex-M0+ with swug's source tree as its subproject, and checks that
# swug::verify is built for the device with the firmware's own CPU flags, that the firmware's
# objcopy output is packed into the upgrade image byte for byte by swug's programs built for this
# machine, and that a build with nothing changed, even after configuring again, packs nothing.
#   cmake -DSWUG_SOURCE_DIR=<swug's source> -DWORK_DIR=<scratch folder> -DGENERATOR=<generator>
#         [-DHOST_C_COMPILER=<compiler> -DHOST_CXX_COMPILER=<compiler>] -P cross_consumer_test.cmake
# The host compilers, when given, build swug's programs (through SWUG_HOST_CMAKE_ARGS).
cmake_minimum_required(VERSION 3.21)

set(source "${WORK_DIR}/consumer")
set(build "${WORK_DIR}/build")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_match text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: no match for \"${pattern}\" in:\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${CMAKE_CURRENT_LIST_DIR}/consumer/cross/" DESTINATION "${source}")
set(host_arguments "")
foreach(language IN ITEMS C CXX)
  if(HOST_${language}_COMPILER)
    list(APPEND host_arguments "-DCMAKE_${language}_COMPILER=${HOST_${language}_COMPILER}")
  endif()
endforeach()
set(configure "${CMAKE_COMMAND}" -S "${source}" -B "${build}" -G "${GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${SWUG_SOURCE_DIR}/verify/board/arm-none-eabi.cmake"
    "-DCONSUMER_SWUG_SOURCE=${SWUG_SOURCE_DIR}" "-DSWUG_HOST_CMAKE_ARGS=${host_arguments}")
run("configuring the firmware project" ${configure})
run("building the firmware project" "${CMAKE_COMMAND}" --build "${build}" --parallel 2)
expect_match("${out}" "-- packed and verified ${build}/out/upgrade.bin: software image [0-9]+ bytes"
             "the packing step")

# The firmware and swug::verify are Cortex-M0+ code (Armv6-M, Thumb): the parent's compiler and
# flags built both.
file(STRINGS "${build}/CMakeCache.txt" readelf REGEX "^CMAKE_READELF:")
string(REGEX REPLACE "^[^=]*=" "" readelf "${readelf}")
# (swug's build folder is "swug", as the project's add_subdirectory names it.)
foreach(file IN ITEMS "${build}/firmware.elf" "${build}/swug/verify/libswug_verify.a")
  run("reading ${file}" "${readelf}" -h -A "${file}")
  expect_match("${out}" "Machine: +ARM" "${file}")
  expect_match("${out}" "Tag_CPU_arch: v6S-M" "${file}")
endforeach()

# The upgrade image: the header with the firmware file's length and byte-sum, then its bytes.
file(READ "${build}/firmware.bin" firmware HEX)
string(LENGTH "${firmware}" digits)
math(EXPR length "${digits} / 2")
if(length LESS 64)
  message(FATAL_ERROR "the firmware file has only ${length} bytes")
endif()
set(sum 0)
math(EXPR last "${digits} - 2")
foreach(at RANGE 0 ${last} 2)
  string(SUBSTRING "${firmware}" ${at} 2 byte)
  math(EXPR sum "(${sum} + 0x${byte}) & 0xffffffff")
endforeach()
# A 32-bit value as little-endian hex digits.
function(le32 out value)
  math(EXPR value "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(REGEX REPLACE "^0x" "" value "${value}")
  string(LENGTH "${value}" size)
  math(EXPR padding "8 - ${size}")
  string(REPEAT "0" ${padding} zeros)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" value "${zeros}${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
le32(length_hex ${length})
le32(sum_hex ${sum})
string(REPEAT "00" 104 rest_of_header)
# "ZQ-TR5200 Image" and a zero byte, length, sum, then zeros (no MCU OTA image).
set(expected "5a512d54523532303020496d61676500${length_hex}${sum_hex}${rest_of_header}${firmware}")
file(READ "${build}/out/upgrade.bin" actual HEX)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "${build}/out/upgrade.bin differs:\n  expected ${expected}\n  found    ${actual}")
endif()

# Nothing changed, even after configuring again: swug's programs are not rebuilt, nothing packs.
run("configuring the firmware project again" ${configure})
run("building the firmware project again" "${CMAKE_COMMAND}" --build "${build}" --parallel 2)
if(out MATCHES "Packing the upgrade image|Linking CXX")
  message(FATAL_ERROR "a build with nothing changed packed or linked again:\n${out}")
endif()
message(STATUS "the cross-built firmware project packs its firmware with swug's host programs")
