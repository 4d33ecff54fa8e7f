# The build step of swug_add_upgrade_image():
#   cmake -DSWUG_GEN=<swug_gen> -DSWUG_INFO=<swug_info> [-DSWUG_RUNNER=<command>]
#         -DSOFTWARE_IMAGE=<file> -DUPGRADE_IMAGE=<file> [-DMCU_OTA_IMAGE=<file>]
#         [-DSOFTWARE_FORMAT=binary|elf|ihex|srec] [-DSLOT_SIZE=<size>] -DSTAGE_DIR=<folder>
#         -P swug_pack_step.cmake
# Removes UPGRADE_IMAGE, then packs the image in STAGE_DIR, emptied first and holding only the MCU
# OTA image as mcu_ota.bin. There it checks the image with swug_info --json (valid, and
# mcu_ota_flag 1 exactly when an MCU OTA image was given, the software image in SOFTWARE_FORMAT,
# binary by default, and no larger than SLOT_SIZE when given) and unpacks it: the parts must be the
# inputs byte for byte. Only then does it move the image to UPGRADE_IMAGE and print one line. A
# failure or a kill on the way leaves no upgrade image, so the next build runs the step again.
# SWUG_RUNNER (a list) runs the programs where they can't run as they are, such as wine.
cmake_minimum_required(VERSION 3.20)

foreach(variable IN ITEMS SWUG_GEN SWUG_INFO SOFTWARE_IMAGE UPGRADE_IMAGE STAGE_DIR)
  if("${${variable}}" STREQUAL "")
    message(FATAL_ERROR "swug_pack_step.cmake: -D${variable}=... is missing")
  endif()
endforeach()
# A generator expression may have given a relative path: it is meant from the step's folder.
foreach(variable IN ITEMS SOFTWARE_IMAGE UPGRADE_IMAGE MCU_OTA_IMAGE STAGE_DIR)
  if(NOT "${${variable}}" STREQUAL "")
    cmake_path(ABSOLUTE_PATH ${variable} NORMALIZE)
  endif()
endforeach()
set(staged "${STAGE_DIR}/upgrade.bin")

# Fails the step with <text>, taken whole (a ";" in it stays a ";") and shown as it is: CMake would
# rewrap an error's text, paths and the tools' lines too.
function(fail text)
  if(ARGC GREATER 1)
    message(FATAL_ERROR "fail() takes one text")
  endif()
  message(NOTICE "swug_add_upgrade_image: ${text}")
  message(FATAL_ERROR "the upgrade image ${UPGRADE_IMAGE} is not made")
endfunction()

# Runs one of swug's programs in the stage folder; <status>, <said> (standard output and error,
# for messages) and <output> (standard output alone) are set in the caller.
function(run_tool status said output)
  execute_process(COMMAND ${SWUG_RUNNER} ${ARGN}
    WORKING_DIRECTORY "${STAGE_DIR}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(STRIP "${out}\n${err}" both)
  string(REPLACE "\r\n" "\n" both "${both}")
  set(${status} "${result}" PARENT_SCOPE)
  set(${said} "${both}" PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

if(IS_DIRECTORY "${UPGRADE_IMAGE}")
  fail("the upgrade image ${UPGRADE_IMAGE} is a folder")
endif()
file(REMOVE "${UPGRADE_IMAGE}")
file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")
set(mcu_wanted NO)
set(parts_wanted --sw "${STAGE_DIR}/software.check")
if(NOT "${MCU_OTA_IMAGE}" STREQUAL "")
  if(NOT EXISTS "${MCU_OTA_IMAGE}" OR IS_DIRECTORY "${MCU_OTA_IMAGE}")
    fail("the MCU OTA image ${MCU_OTA_IMAGE} is missing or not a file")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${MCU_OTA_IMAGE}" "${STAGE_DIR}/mcu_ota.bin"
                  RESULT_VARIABLE status ERROR_VARIABLE why)
  if(NOT status EQUAL 0)
    fail("can't copy the MCU OTA image ${MCU_OTA_IMAGE} to ${STAGE_DIR}/mcu_ota.bin: ${why}")
  endif()
  set(mcu_wanted YES)
  list(APPEND parts_wanted --mcu "${STAGE_DIR}/mcu.check")
endif()

# Command mode: exit status 0 means the image was written.
run_tool(status packing ignored "${SWUG_GEN}" "${SOFTWARE_IMAGE}" "${staged}")
if(NOT status EQUAL 0)
  fail("swug_gen could not pack ${SOFTWARE_IMAGE} (exit status ${status}): ${packing}")
endif()

# The image's header, read back: a valid image, with the MCU OTA image exactly when one was given.
set(slot_option "")
if(NOT "${SLOT_SIZE}" STREQUAL "")
  set(slot_option --slot-size "${SLOT_SIZE}")
endif()
run_tool(status checking report "${SWUG_INFO}" --json ${slot_option} "${staged}")
string(JSON valid ERROR_VARIABLE not_json GET "${report}" valid)
if(not_json OR NOT status MATCHES "^[01]$")
  fail("swug_info could not check the packed image (exit status ${status}): ${checking}")
endif()
# The size check fails for an image that does not fit the slot.
string(JSON size_check GET "${report}" checks 0)
string(JSON size_ok GET "${size_check}" ok)
if(NOT size_ok AND NOT "${SLOT_SIZE}" STREQUAL "")
  string(JSON size GET "${report}" size)
  string(JSON slot_holds GET "${size_check}" expected)
  string(CONCAT text "the upgrade image packed from ${SOFTWARE_IMAGE} does not fit the slot: it "
    "has ${size} bytes, and SLOT_SIZE ${SLOT_SIZE} takes ${slot_holds}")
  fail("${text}")
endif()
if(NOT valid)
  string(JSON problems GET "${report}" problems)
  fail("swug_info finds the image packed from ${SOFTWARE_IMAGE} not valid: ${problems}")
endif()
# The device gets the software image as it is, so it must be in the format the device takes.
if("${SOFTWARE_FORMAT}" STREQUAL "")
  set(SOFTWARE_FORMAT binary)
endif()
string(JSON format GET "${report}" software_format)
if(NOT format STREQUAL SOFTWARE_FORMAT)
  set(format_text_binary "raw binary")
  set(format_text_elf "an ELF program")
  set(format_text_ihex "Intel HEX text")
  set(format_text_srec "Motorola S-record text")
  set(text "${SOFTWARE_IMAGE} looks like ${format_text_${format}}, not ${format_text_${SOFTWARE_FORMAT}}")
  if(SOFTWARE_FORMAT STREQUAL "binary")
    cmake_path(REPLACE_EXTENSION SOFTWARE_IMAGE LAST_ONLY .bin OUTPUT_VARIABLE raw)
    if(raw STREQUAL SOFTWARE_IMAGE)
      cmake_path(REPLACE_EXTENSION SOFTWARE_IMAGE LAST_ONLY .raw.bin OUTPUT_VARIABLE raw)
    endif()
    set(input_format "")
    if(format MATCHES "^(ihex|srec)$")
      set(input_format "-I ${format} ")
    endif()
    string(APPEND text ", and the device would get it as it is. Pack the raw image that "
      "\"objcopy ${input_format}-O binary ${SOFTWARE_IMAGE} ${raw}\" makes (in CMake, "
      "\${CMAKE_OBJCOPY} in an add_custom_command()), or say SOFTWARE_FORMAT ${format} if the "
      "device takes ${format_text_${format}}")
  else()
    string(APPEND text ", which SOFTWARE_FORMAT ${SOFTWARE_FORMAT} says the device takes")
  endif()
  fail("${text}")
endif()
string(JSON mcu_ota_flag GET "${report}" mcu_ota_flag)
if(mcu_wanted AND NOT mcu_ota_flag EQUAL 1)
  # swug_gen leaves a too big MCU OTA image out and still writes the image, with exit status 0.
  file(SIZE "${MCU_OTA_IMAGE}" mcu_size)
  string(CONCAT text "swug_gen left the MCU OTA image ${MCU_OTA_IMAGE} out (mcu_ota_flag is "
    "${mcu_ota_flag}): it has ${mcu_size} bytes, at most 98304 (96 KiB) fit. swug_gen said:\n"
    "${packing}")
  fail("${text}")
elseif(NOT mcu_wanted AND NOT mcu_ota_flag EQUAL 0)
  fail("the image packed from ${SOFTWARE_IMAGE} holds an MCU OTA image, but none was given")
endif()

# Its parts, unpacked again, must be the inputs byte for byte.
run_tool(status unpacking ignored "${SWUG_INFO}" ${parts_wanted} "${staged}")
if(NOT status EQUAL 0)
  fail("swug_info could not unpack the packed image (exit status ${status}): ${unpacking}")
endif()
function(expect_same input unpacked what)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${input}" "${unpacked}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("the image packed from ${SOFTWARE_IMAGE} does not hold ${what} byte for byte")
  endif()
endfunction()
expect_same("${SOFTWARE_IMAGE}" "${STAGE_DIR}/software.check" "${SOFTWARE_IMAGE}")
if(mcu_wanted)
  expect_same("${STAGE_DIR}/mcu_ota.bin" "${STAGE_DIR}/mcu.check" "${MCU_OTA_IMAGE}")
endif()

# In place: a rename, or a copy beside the image and a rename where the stage is on another disk.
get_filename_component(upgrade_folder "${UPGRADE_IMAGE}" DIRECTORY)
file(MAKE_DIRECTORY "${upgrade_folder}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E rename "${staged}" "${UPGRADE_IMAGE}"
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 0)
  get_filename_component(upgrade_name "${UPGRADE_IMAGE}" NAME)
  set(beside "${upgrade_folder}/.${upgrade_name}.swug-part")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${staged}" "${beside}"
    RESULT_VARIABLE status ERROR_VARIABLE why)
  if(status EQUAL 0)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E rename "${beside}" "${UPGRADE_IMAGE}"
      RESULT_VARIABLE status ERROR_VARIABLE why)
  endif()
  if(NOT status EQUAL 0)
    file(REMOVE "${beside}")
    fail("can't put the upgrade image in place as ${UPGRADE_IMAGE}: ${why}")
  endif()
endif()
file(REMOVE_RECURSE "${STAGE_DIR}")

# <out> = "<title> <size> bytes, byte-sum <sum>" from the fields the report gave.
function(part_text out title size_field sum_field)
  string(JSON size GET "${report}" ${size_field})
  string(JSON sum GET "${report}" ${sum_field})
  math(EXPR sum "${sum}" OUTPUT_FORMAT HEXADECIMAL)
  set(${out} "${title} ${size} bytes, byte-sum ${sum}" PARENT_SCOPE)
endfunction()
part_text(line "software image" length sum)
if(mcu_wanted)
  part_text(mcu "MCU OTA image" mcu_len mcu_sum)
  string(APPEND line ", ${mcu}")
endif()
message(STATUS "packed and verified ${UPGRADE_IMAGE}: ${line}")
