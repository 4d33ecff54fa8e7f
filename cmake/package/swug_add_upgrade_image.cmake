# swug_add_upgrade_image(<name> SOFTWARE_IMAGE <file> UPGRADE_IMAGE <file>
#                        [MCU_OTA_IMAGE <file>] [DEPENDS <targets or files>...])
#
# Adds the target <name>, built by default, that packs SOFTWARE_IMAGE into UPGRADE_IMAGE with
# swug::swug_gen, then checks the result with swug::swug_info. The step runs again only when the
# software image, the MCU OTA image, one of DEPENDS or the installed tools change.
#
#   SOFTWARE_IMAGE  the firmware file: a path, or a generator expression that gives an absolute
#                   path such as $<TARGET_FILE:fw> or the output of an objcopy step
#   UPGRADE_IMAGE   the upgrade image to write; its folder is made when missing
#   MCU_OTA_IMAGE   an image for the device's microcontroller, appended behind the software image
#   DEPENDS         targets or files that make the inputs (the firmware target, say), so that they
#                   are built first
#
# Relative input paths are taken from the current source folder, a relative UPGRADE_IMAGE goes to
# the current build folder, as with add_custom_command().
#
# swug_gen takes the MCU OTA image from its working folder under the name mcu_ota.bin, so the step
# runs in a folder of its own below CMakeFiles, emptied before every run: the MCU OTA image is
# copied there under that name, and without MCU_OTA_IMAGE the folder stays empty, so an
# mcu_ota.bin lying anywhere else never slips into the image. When swug_gen leaves the MCU OTA
# image out (it is larger than 96 KiB), or anything else goes wrong, the build fails with the
# tool's own message and no upgrade image is left behind.

function(swug_add_upgrade_image name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SOFTWARE_IMAGE;UPGRADE_IMAGE;MCU_OTA_IMAGE" "DEPENDS")
  set(where "swug_add_upgrade_image(${name})")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${where}: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  foreach(keyword IN ITEMS SOFTWARE_IMAGE UPGRADE_IMAGE MCU_OTA_IMAGE)
    if(keyword IN_LIST arg_KEYWORDS_MISSING_VALUES)
      message(FATAL_ERROR "${where}: ${keyword} needs a file")
    endif()
  endforeach()
  foreach(keyword IN ITEMS SOFTWARE_IMAGE UPGRADE_IMAGE)
    if(NOT DEFINED arg_${keyword})
      message(FATAL_ERROR "${where}: ${keyword} <file> is missing")
    endif()
  endforeach()
  if(TARGET "${name}")
    message(FATAL_ERROR "${where}: a target of that name exists already")
  endif()
  foreach(tool IN ITEMS swug::swug_gen swug::swug_info)
    if(NOT TARGET ${tool})
      message(FATAL_ERROR "${where}: ${tool} is not defined; call find_package(swug) first")
    endif()
  endforeach()

  _swug_absolute_path(software "${arg_SOFTWARE_IMAGE}" "${CMAKE_CURRENT_SOURCE_DIR}")
  _swug_absolute_path(upgrade "${arg_UPGRADE_IMAGE}" "${CMAKE_CURRENT_BINARY_DIR}")
  set(mcu "")
  if(DEFINED arg_MCU_OTA_IMAGE)
    _swug_absolute_path(mcu "${arg_MCU_OTA_IMAGE}" "${CMAKE_CURRENT_SOURCE_DIR}")
  endif()

  set(stage "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/swug_add_upgrade_image/${name}")
  set(step "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/swug_pack_step.cmake")
  add_custom_command(OUTPUT "${upgrade}"
    COMMAND "${CMAKE_COMMAND}"
      "-DSWUG_GEN=$<TARGET_FILE:swug::swug_gen>"
      "-DSWUG_INFO=$<TARGET_FILE:swug::swug_info>"
      "-DSOFTWARE_IMAGE=${software}"
      "-DUPGRADE_IMAGE=${upgrade}"
      "-DMCU_OTA_IMAGE=${mcu}"
      "-DSTAGE_DIR=${stage}"
      -P "${step}"
    DEPENDS "${software}" ${mcu} ${arg_DEPENDS}
      "$<TARGET_FILE:swug::swug_gen>" "$<TARGET_FILE:swug::swug_info>" "${step}"
    COMMENT "Packing the upgrade image of ${name}"
    VERBATIM)
  add_custom_target("${name}" ALL DEPENDS "${upgrade}")
endfunction()

# <out> = <path> made absolute against <base>; a generator expression is left as it is.
function(_swug_absolute_path out path base)
  string(GENEX_STRIP "${path}" plain)
  if(plain STREQUAL path AND NOT IS_ABSOLUTE "${path}")
    set(path "${base}/${path}")
  endif()
  if(plain STREQUAL path)
    cmake_path(NORMAL_PATH path)
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
