# The build step of swug_add_upgrade_image():
#   cmake -DSWUG_GEN=<swug_gen> -DSWUG_INFO=<swug_info> -DSOFTWARE_IMAGE=<file>
#         -DUPGRADE_IMAGE=<file> [-DMCU_OTA_IMAGE=<file>] -DSTAGE_DIR=<folder> -P swug_pack_step.cmake
# Runs swug_gen in STAGE_DIR, emptied first and holding only the MCU OTA image as mcu_ota.bin,
# shows what it prints, and checks the result with swug_info: the parts it unpacks must be the
# inputs byte for byte. Any failure removes the upgrade image (so that the next build tries again
# rather than finding it up to date) and fails the step.
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

function(fail)
  if(EXISTS "${UPGRADE_IMAGE}" AND NOT IS_DIRECTORY "${UPGRADE_IMAGE}")
    file(REMOVE "${UPGRADE_IMAGE}")
  endif()
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")
set(parts_wanted --sw "${STAGE_DIR}/software.check")
if(NOT "${MCU_OTA_IMAGE}" STREQUAL "")
  if(NOT EXISTS "${MCU_OTA_IMAGE}" OR IS_DIRECTORY "${MCU_OTA_IMAGE}")
    fail("the MCU OTA image ${MCU_OTA_IMAGE} is missing or not a file")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${MCU_OTA_IMAGE}" "${STAGE_DIR}/mcu_ota.bin"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("can't copy the MCU OTA image ${MCU_OTA_IMAGE} to ${STAGE_DIR}/mcu_ota.bin")
  endif()
  list(APPEND parts_wanted --mcu "${STAGE_DIR}/mcu.check")
endif()
get_filename_component(upgrade_folder "${UPGRADE_IMAGE}" DIRECTORY)
file(MAKE_DIRECTORY "${upgrade_folder}")

# Command mode: exit status 0 means the image was written. Its lines are shown as they come.
execute_process(COMMAND "${SWUG_GEN}" "${SOFTWARE_IMAGE}" "${UPGRADE_IMAGE}"
  WORKING_DIRECTORY "${STAGE_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE said ERROR_VARIABLE said ECHO_OUTPUT_VARIABLE ECHO_ERROR_VARIABLE)
if(NOT status EQUAL 0)
  fail("swug_gen could not pack ${SOFTWARE_IMAGE} into ${UPGRADE_IMAGE} (exit status ${status}); "
       "its message is above")
endif()
# swug_gen leaves a too big MCU OTA image out and still writes the image, with exit status 0.
string(FIND "${said}" "| MCU ota file is too big, must <96KB |" too_big)
if(NOT too_big EQUAL -1)
  file(SIZE "${MCU_OTA_IMAGE}" mcu_size)
  fail("swug_gen left the MCU OTA image ${MCU_OTA_IMAGE} out: it has ${mcu_size} bytes, at most "
       "98304 (96 KiB) fit. The upgrade image ${UPGRADE_IMAGE} is removed.")
endif()

# Check the image and unpack its parts; they must be the inputs, byte for byte.
execute_process(COMMAND "${SWUG_INFO}" ${parts_wanted} "${UPGRADE_IMAGE}"
  WORKING_DIRECTORY "${STAGE_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT status EQUAL 0)
  fail("swug_info finds the upgrade image ${UPGRADE_IMAGE} wrong (exit status ${status}):\n"
       "${report}")
endif()
function(expect_same input unpacked)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${input}" "${unpacked}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("the upgrade image ${UPGRADE_IMAGE} does not hold ${ARGN} byte for byte")
  endif()
endfunction()
expect_same("${SOFTWARE_IMAGE}" "${STAGE_DIR}/software.check" "${SOFTWARE_IMAGE}")
if(NOT "${MCU_OTA_IMAGE}" STREQUAL "")
  expect_same("${STAGE_DIR}/mcu_ota.bin" "${STAGE_DIR}/mcu.check" "${MCU_OTA_IMAGE}")
endif()
file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")
