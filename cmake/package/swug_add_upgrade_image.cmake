# swug_add_upgrade_image(<name> SOFTWARE_IMAGE <file> UPGRADE_IMAGE <file>
#                        [MCU_OTA_IMAGE <file>] [SOFTWARE_FORMAT <format>]
#                        [SLOT_SIZE <size>] [DEPENDS <targets or files>...])
#
# Adds the target <name>, built by default, whose step packs SOFTWARE_IMAGE into UPGRADE_IMAGE with
# swug::swug_gen, reads the result back with swug::swug_info, and only then puts it in place. The
# step runs again only when the software image, the MCU OTA image, one of DEPENDS or the tools
# change.
#
#   SOFTWARE_IMAGE  the firmware file: a path, the output of an objcopy step, or a generator
#                   expression such as $<TARGET_FILE:fw>
#   UPGRADE_IMAGE   the upgrade image to write; its folder is made when missing
#   MCU_OTA_IMAGE   an image for the device's microcontroller, appended behind the software image
#   SOFTWARE_FORMAT the format the device takes its firmware in, as objcopy names it: binary (raw
#                   bytes, the default), elf, ihex or srec. swug_gen packs any bytes, so the step
#                   checks that the software image looks like that format: an ELF program or a HEX
#                   text given for a device that takes raw bytes fails the build, with the objcopy
#                   command that makes the raw image
#   SLOT_SIZE       the most bytes the device's slot for the upgrade image takes: bytes, or KiB
#                   or MiB with the suffix K or M (262144, 256K, 1M). A packed image that is
#                   larger fails the build, naming both sizes (swug_info --slot-size judges it)
#   DEPENDS         targets or files that make the inputs, so that they are built first; a file
#                   that a custom command of this folder makes needs no entry
#
# Paths are found as add_custom_command() finds them. A relative input names a file of the current
# build folder when a custom command of this folder makes it (as OUTPUT or BYPRODUCTS, before or
# after this call) or when it holds a generator expression, and a file of the current source folder
# otherwise. A relative UPGRADE_IMAGE goes below the current build folder; under a
# multi-configuration generator below the configuration's own folder (build/Release/...), unless it
# holds $<CONFIG> itself, and an absolute one must hold $<CONFIG> there, so that no two
# configurations ever write one file.
#
# The target's properties SWUG_SOFTWARE_IMAGE, SWUG_MCU_OTA_IMAGE and SWUG_UPGRADE_IMAGE hold the
# paths as given and as placed (UPGRADE_IMAGE may hold $<CONFIG>).
#
# swug_gen takes the MCU OTA image from its working folder under the name mcu_ota.bin, so the step
# works in a folder of its own below CMakeFiles, one per target and configuration, emptied first:
# the MCU OTA image is copied there under that name, and without MCU_OTA_IMAGE the folder stays
# empty, so an mcu_ota.bin lying anywhere else never slips in. There the image is packed, checked
# field by field (swug_info --json, with mcu_ota_flag telling whether the MCU OTA image is in) and
# unpacked again, its parts compared with the inputs byte for byte, and only then moved to
# UPGRADE_IMAGE, which the step removes first: a step that fails or is killed leaves no image that
# could count as up to date. A successful step prints one line, "packed and verified ...".
#
# Where swug's programs can't run on the build host as they are (the Windows package on Linux), set
# SWUG_TOOL_RUNNER to a program that runs them, such as wine; a cross build for Windows whose
# CMAKE_CROSSCOMPILING_EMULATOR runs Windows programs uses that by default. swug as the subproject
# of a cross build without an emulator builds its programs for the build host (host_tools.cmake).

function(swug_add_upgrade_image name)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
                        "SOFTWARE_IMAGE;UPGRADE_IMAGE;MCU_OTA_IMAGE;SOFTWARE_FORMAT;SLOT_SIZE"
                        "DEPENDS")
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
  if(NOT DEFINED arg_SOFTWARE_FORMAT)
    set(arg_SOFTWARE_FORMAT binary)
  elseif(NOT arg_SOFTWARE_FORMAT MATCHES "^(binary|elf|ihex|srec)$")
    message(FATAL_ERROR "${where}: SOFTWARE_FORMAT is binary, elf, ihex or srec, not "
                        "\"${arg_SOFTWARE_FORMAT}\"")
  endif()
  if(DEFINED arg_SLOT_SIZE AND NOT arg_SLOT_SIZE MATCHES "^[0-9]+[KM]?$")
    message(FATAL_ERROR "${where}: SLOT_SIZE is a number of bytes, or of KiB or MiB with the "
                        "suffix K or M (262144, 256K, 1M), not \"${arg_SLOT_SIZE}\"")
  endif()
  if(TARGET "${name}")
    message(FATAL_ERROR "${where}: a target of that name exists already")
  endif()
  foreach(tool IN ITEMS swug::swug_gen swug::swug_info)
    if(NOT TARGET ${tool})
      message(FATAL_ERROR "${where}: ${tool} is not defined; call find_package(swug) first, or "
                          "add swug's source folder with add_subdirectory() or FetchContent")
    endif()
  endforeach()
  _swug_tool_runner(runner "${where}")

  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  set(upgrade "${arg_UPGRADE_IMAGE}")
  string(FIND "${upgrade}" "$<CONFIG>" config_at)
  if(NOT IS_ABSOLUTE "${upgrade}")
    if(multi_config AND config_at EQUAL -1)
      set(upgrade "$<CONFIG>/${upgrade}")
    endif()
    set(upgrade "${CMAKE_CURRENT_BINARY_DIR}/${upgrade}")
  elseif(multi_config AND config_at EQUAL -1)
    list(LENGTH CMAKE_CONFIGURATION_TYPES configurations)
    if(configurations GREATER 1)
      message(FATAL_ERROR "${where}: UPGRADE_IMAGE ${upgrade} holds no $<CONFIG>, so every "
                          "configuration would write that one file; put $<CONFIG> in the path, or "
                          "give a relative path, which goes to each configuration's folder")
    endif()
  endif()
  _swug_normal_path(upgrade "${upgrade}")

  set(stage "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/swug_add_upgrade_image/${name}")
  if(multi_config)
    string(APPEND stage "/$<CONFIG>")
  endif()

  # The Makefile generators must not repeat a rule that a dependency's target holds (see below).
  cmake_policy(SET CMP0113 NEW)
  add_custom_target("${name}" ALL DEPENDS "${upgrade}")
  set_target_properties("${name}" PROPERTIES
    SWUG_SOFTWARE_IMAGE "${arg_SOFTWARE_IMAGE}"
    SWUG_MCU_OTA_IMAGE "${arg_MCU_OTA_IMAGE}"
    SWUG_UPGRADE_IMAGE "${upgrade}"
    _SWUG_SOFTWARE_FORMAT "${arg_SOFTWARE_FORMAT}"
    _SWUG_SLOT_SIZE "${arg_SLOT_SIZE}"
    _SWUG_DEPENDS "${arg_DEPENDS}"
    _SWUG_STAGE_DIR "${stage}"
    _SWUG_RUNNER "${runner}")
  # The inputs are placed at the end of this folder, when every custom command that could make
  # them is known, as add_custom_command() would place them.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _swug_add_pack_step [==[${name}]==])")
endfunction()

# The custom command of the target <name> that swug_add_upgrade_image() added.
function(_swug_add_pack_step name)
  foreach(property IN ITEMS SWUG_SOFTWARE_IMAGE SWUG_MCU_OTA_IMAGE SWUG_UPGRADE_IMAGE _SWUG_DEPENDS
                            _SWUG_STAGE_DIR _SWUG_RUNNER _SWUG_SOFTWARE_FORMAT _SWUG_SLOT_SIZE)
    get_target_property(${property} "${name}" ${property})
    if(${property} MATCHES "-NOTFOUND$")
      set(${property} "")
    endif()
  endforeach()
  _swug_input_path(software "${SWUG_SOFTWARE_IMAGE}")
  set(mcu "")
  if(NOT SWUG_MCU_OTA_IMAGE STREQUAL "")
    _swug_input_path(mcu "${SWUG_MCU_OTA_IMAGE}")
  endif()
  foreach(input IN LISTS software mcu)
    _swug_own_made_input("${name}" "${input}")
  endforeach()
  set(step "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/swug_pack_step.cmake")
  cmake_policy(SET CMP0113 NEW)
  add_custom_command(OUTPUT "${SWUG_UPGRADE_IMAGE}"
    COMMAND "${CMAKE_COMMAND}"
      "-DSWUG_GEN=$<TARGET_FILE:swug::swug_gen>"
      "-DSWUG_INFO=$<TARGET_FILE:swug::swug_info>"
      "-DSWUG_RUNNER=${_SWUG_RUNNER}"
      "-DSOFTWARE_IMAGE=${software}"
      "-DUPGRADE_IMAGE=${SWUG_UPGRADE_IMAGE}"
      "-DMCU_OTA_IMAGE=${mcu}"
      "-DSOFTWARE_FORMAT=${_SWUG_SOFTWARE_FORMAT}"
      "-DSLOT_SIZE=${_SWUG_SLOT_SIZE}"
      "-DSTAGE_DIR=${_SWUG_STAGE_DIR}"
      -P "${step}"
    DEPENDS "${software}" ${mcu} ${_SWUG_DEPENDS} swug::swug_gen swug::swug_info "${step}"
    COMMENT "Packing the upgrade image of ${name}"
    VERBATIM)
endfunction()

# <out> = the command that runs swug's programs on this host: nothing where they run as they are.
function(_swug_tool_runner out where)
  get_target_property(system swug::swug_gen SWUG_PROGRAM_SYSTEM)
  set(runner "")
  set(runs_here NO)
  if(NOT system OR system STREQUAL CMAKE_HOST_SYSTEM_NAME)
    set(runs_here YES)
  elseif(system STREQUAL "Windows" AND (CMAKE_HOST_WIN32 OR CMAKE_HOST_SYSTEM_NAME MATCHES "^CYGWIN"))
    set(runs_here YES)  # MSYS and Cygwin hosts run Windows programs too
  endif()
  if(NOT runs_here)
    if(DEFINED SWUG_TOOL_RUNNER)
      set(runner "${SWUG_TOOL_RUNNER}")
    elseif(CMAKE_CROSSCOMPILING_EMULATOR AND CMAKE_SYSTEM_NAME STREQUAL system)
      set(runner "${CMAKE_CROSSCOMPILING_EMULATOR}")
    else()
      message(FATAL_ERROR "${where}: swug's programs here are ${system} programs, which this "
                          "${CMAKE_HOST_SYSTEM_NAME} host can't run as they are; set "
                          "SWUG_TOOL_RUNNER to a program that runs them (such as wine), or use a "
                          "swug package built for ${CMAKE_HOST_SYSTEM_NAME}")
    endif()
  endif()
  set(${out} "${runner}" PARENT_SCOPE)
endfunction()

# An input that a rule of this folder makes (the firmware file of an objcopy step) gets a target
# of its own that runs the rule, once, for every upgrade image made from it. Without it, the
# Makefile generators give each such image's target a copy of the rule, and a parallel build runs
# them at once: one rewrites the file while another packs it, or after, so that the next build
# packs again.
function(_swug_own_made_input name input)
  string(GENEX_STRIP "${input}" plain)
  get_source_file_property(made "${input}" GENERATED)
  if(NOT made AND plain STREQUAL input)
    return()
  endif()
  string(MD5 id "${input}")
  string(SUBSTRING "${id}" 0 12 id)
  set(owner "swug_input_${id}")
  if(NOT TARGET "${owner}")
    add_custom_target("${owner}" DEPENDS "${input}")
  endif()
  add_dependencies("${name}" "${owner}")
endfunction()

# <out> = the input <path>, placed as add_custom_command(DEPENDS) places it.
function(_swug_input_path out path)
  string(GENEX_STRIP "${path}" plain)
  if(NOT IS_ABSOLUTE "${path}")
    get_source_file_property(made "${CMAKE_CURRENT_BINARY_DIR}/${path}" GENERATED)
    if(NOT plain STREQUAL path OR made)
      set(path "${CMAKE_CURRENT_BINARY_DIR}/${path}")
    else()
      set(path "${CMAKE_CURRENT_SOURCE_DIR}/${path}")
    endif()
  endif()
  _swug_normal_path(path "${path}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# <out> = <path> without "." and ".." steps, where it holds no generator expression.
function(_swug_normal_path out path)
  string(GENEX_STRIP "${path}" plain)
  if(plain STREQUAL path)
    cmake_path(NORMAL_PATH path)
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
