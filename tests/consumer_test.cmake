# Builds the firmware project in consumer/ (copied into WORK_DIR, so that nothing outside it
# changes) with one generator, and checks the upgrade images byte for byte and the step's one line;
# that a build with nothing changed, even after configuring again, packs nothing; that a changed
# MCU OTA image repacks its image only; that a too big MCU OTA image fails the build and leaves no
# image; under a multi-configuration generator all of that per configuration, then builds of all
# configurations at once, in parallel. As a subproject it also checks that the parent's build type,
# cache and tests are left alone; from a package, that a component the package lacks is refused,
# and that a step killed midway leaves no image; with a toolchain file and an emulator (the Windows
# package, built for Windows and run under Wine), that a host build without a runner is refused.
#   cmake -DMODE=package -DSWUG_BUILD_DIR=<swug's build> [-DSWUG_CONFIG=<config>]   (installs it)
#   cmake -DMODE=package -DSWUG_PREFIX=<an installed or unpacked swug>
#   cmake -DMODE=add_subdirectory|FetchContent -DSWUG_SOURCE_DIR=<swug's source>
#         -DWORK_DIR=<scratch folder> -DGENERATOR=<generator> [-DCXX_COMPILER=<compiler>]
#         [-DC_COMPILER=<compiler>] [-DTOOLCHAIN_FILE=<file> -DEMULATOR=<program>]
#         [-DCORTEX_M_TOOLCHAIN=<toolchain file>] [-DSANITIZE=<sanitizers>] -P consumer_test.cmake
# Its host tool check_upgrade judges the images with swug::verify; from a package and with
# CORTEX_M_TOOLCHAIN, the device side in consumer/firmware is cross-built for a Cortex-M0+ with
# swug::verify from the installed source. SANITIZE names the sanitizers swug was built with, whose
# run-time the consumer's programs then link too: the installed swug::verify carries their checks.
cmake_minimum_required(VERSION 3.21)

set(consumer_source "${WORK_DIR}/consumer")
set(build "${WORK_DIR}/build")
if(GENERATOR MATCHES "Multi-Config|Visual Studio|Xcode")
  set(configs Debug Release)
  set(multi_config YES)
else()
  set(configs Release)
  set(multi_config NO)
endif()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Configures the consumer with the MCU OTA image <mcu> and the further -D arguments given.
function(configure_consumer mcu)
  set(arguments -S "${consumer_source}" -B "${build}" -G "${GENERATOR}" "-DCONSUMER_SWUG_FROM=${MODE}"
      "-DCONSUMER_MCU=${mcu}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF ${ARGN})
  if(MODE STREQUAL "package")
    list(APPEND arguments "-DCMAKE_PREFIX_PATH=${prefix}")
  else()
    list(APPEND arguments "-DCONSUMER_SWUG_SOURCE=${SWUG_SOURCE_DIR}")
  endif()
  if(CXX_COMPILER)
    list(APPEND arguments "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
  endif()
  if(C_COMPILER)
    list(APPEND arguments "-DCMAKE_C_COMPILER=${C_COMPILER}")
  endif()
  if(SANITIZE AND MODE STREQUAL "package")
    list(APPEND arguments "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZE}")
  endif()
  if(TOOLCHAIN_FILE)
    list(APPEND arguments "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}"
         "-DCMAKE_CROSSCOMPILING_EMULATOR=${EMULATOR}")
  endif()
  if(multi_config)
    # An initial cache: a list can't pass through the calls as one -D argument.
    file(WRITE "${WORK_DIR}/configurations.cmake"
         "set(CMAKE_CONFIGURATION_TYPES \"${configs}\" CACHE STRING \"\")\n")
    list(APPEND arguments -C "${WORK_DIR}/configurations.cmake")
    if(GENERATOR STREQUAL "Ninja Multi-Config")
      list(APPEND arguments -DCMAKE_CROSS_CONFIGS=all)
    endif()
  elseif(MODE STREQUAL "package")
    list(APPEND arguments -DCMAKE_BUILD_TYPE=Release)
  endif()
  # As a subproject swug gets no build type from the parent: it must not set one either.
  run("configuring the consumer" "${CMAKE_COMMAND}" ${arguments})
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Builds the consumer's configuration <config> (empty: the generator's own choice), two jobs at a
# time unless further arguments, which go to cmake --build, say otherwise.
function(build_consumer config)
  set(arguments --build "${build}" ${ARGN})
  if(NOT ARGN MATCHES "--parallel")
    list(APPEND arguments --parallel 2)
  endif()
  if(NOT config STREQUAL "")
    list(APPEND arguments --config "${config}")
  endif()
  run("building the consumer" "${CMAKE_COMMAND}" ${arguments})
  set(out "${out}" PARENT_SCOPE)
endfunction()

# The folder of the configuration's upgrade images.
# What the host tool <tool> says of <file>.
function(expect_verdict tool file verdict)
  execute_process(COMMAND "${tool}" "${file}" OUTPUT_VARIABLE said RESULT_VARIABLE status)
  if(NOT said STREQUAL "${verdict}\n")
    message(FATAL_ERROR "check_upgrade ${file} said (${status}): ${said}, not ${verdict}")
  endif()
endfunction()

function(images_of config out_var)
  if(multi_config)
    set(${out_var} "${build}/${config}/out" PARENT_SCOPE)
  else()
    set(${out_var} "${build}/out" PARENT_SCOPE)
  endif()
endfunction()

# <hex> is the file's expected content, as hex digits; blanks are for the eye only.
function(expect_bytes file)
  string(JOIN "" hex ${ARGN})
  string(REGEX REPLACE "[ \t\n]" "" hex "${hex}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is missing")
  endif()
  file(READ "${file}" actual HEX)
  if(NOT actual STREQUAL hex)
    message(FATAL_ERROR "${file} differs:\n  expected ${hex}\n  found    ${actual}")
  endif()
endfunction()

# How often the build output says it packed <target>: <count> times.
function(expect_packed output target count)
  string(REGEX MATCHALL "Packing the upgrade image of ${target}(\r?\n|$)" packed "${output}")
  list(LENGTH packed found)
  if(NOT found EQUAL count)
    message(FATAL_ERROR "expected ${target} packed ${count} times, not ${found}; build output:\n"
                        "${output}")
  endif()
endfunction()

function(expect_text output text)
  string(FIND "${output}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the output lacks \"${text}\":\n${output}")
  endif()
endfunction()

# The eight bytes fake_firmware writes.
set(firmware "00 01 0a 0d 1a 7f 80 ff")
# Header rows of 16 bytes. Row 0 is the magic "ZQ-TR5200 Image" and a zero byte; row 1 holds
# length 8, sum 0x230 (0+1+10+13+26+127+128+255 = 560), upgrade_boot 0; row 4 the MCU fields.
set(magic "5a512d54 52353230 3020496d 61676500")
set(sizes "08000000 30020000 00000000 00000000")
set(zero "00000000 00000000 00000000 00000000")
set(upgrade_image "${magic} ${sizes} ${zero} ${zero} ${zero} ${zero} ${zero} ${zero} ${firmware}")
# Row 4 with an MCU OTA image: mcu_ota_flag 1, mcu_addr 128 + 8 = 0x88, then its length and sum.
function(expect_image_with_mcu file mcu_row mcu_hex)
  expect_bytes("${file}" "${magic} ${sizes} ${zero} ${zero} 01000000 88000000 ${mcu_row} ${zero}"
               "${zero} ${zero} ${firmware} ${mcu_hex}")
endfunction()
# "mcu-ota": 7 bytes, sum 0x2b6.
set(mcu_row "07000000 b6020000")
set(mcu_hex "6d 63 75 2d 6f 74 61")

file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${CMAKE_CURRENT_LIST_DIR}/consumer/" DESTINATION "${consumer_source}")
if(MODE STREQUAL "package")
  if(SWUG_PREFIX)
    set(prefix "${SWUG_PREFIX}")
  else()
    set(prefix "${WORK_DIR}/prefix")
    set(config_option "")
    if(SWUG_CONFIG)
      set(config_option --config "${SWUG_CONFIG}")
    endif()
    run("installing swug" "${CMAKE_COMMAND}" --install "${SWUG_BUILD_DIR}" --prefix "${prefix}"
        ${config_option})
  endif()
endif()

file(WRITE "${WORK_DIR}/mcu.bin" "mcu-ota")
# The too big MCU OTA image is made now, older than the images packed before it is used: naming it
# must repack all the same.
string(REPEAT "m" 98305 too_big)
file(WRITE "${WORK_DIR}/too_big_mcu.bin" "${too_big}")

if(MODE STREQUAL "package")
  # A component the package does not hold is refused, saying which it holds.
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${WORK_DIR}/no_component"
      -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      -DCONSUMER_COMPONENTS=swug_gen\;swug_flasher
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0 OR NOT out MATCHES "swug 1\\.[0-9.]+ has no component swug_flasher; its components are swug_gen, swug_info")
    message(FATAL_ERROR "a missing component was not refused with its reason:\n${out}")
  endif()
endif()
if(TOOLCHAIN_FILE)
  # Programs of another system, and a build for this host that has nothing to run them with: the
  # configure step says so instead of a build step failing to start them.
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${WORK_DIR}/no_runner"
      -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0 OR NOT out MATCHES "swug's programs here are [A-Za-z]+ programs, which this [A-Za-z]+ host can't run as they are; set SWUG_TOOL_RUNNER")
    message(FATAL_ERROR "programs the host can't run were not refused:\n${out}")
  endif()
endif()
if(multi_config)
  # An absolute upgrade image without $<CONFIG> would be one file for every configuration.
  set(shared "${WORK_DIR}/shared/upgrade.bin")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${WORK_DIR}/shared_image"
      -G "${GENERATOR}" "-DCONSUMER_SWUG_FROM=${MODE}" "-DCMAKE_PREFIX_PATH=${prefix}"
      "-DCONSUMER_SWUG_SOURCE=${SWUG_SOURCE_DIR}" -DCMAKE_CONFIGURATION_TYPES=Debug\;Release
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF "-DCONSUMER_UPGRADE_IMAGE=${shared}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0 OR NOT out MATCHES "UPGRADE_IMAGE [^ ]*/shared/upgrade.bin holds no \\$<CONFIG>")
    message(FATAL_ERROR "an upgrade image shared by the configurations was not refused:\n${out}")
  endif()
endif()

configure_consumer("${WORK_DIR}/mcu.bin")
file(STRINGS "${build}/CMakeCache.txt" cache)
if(MODE STREQUAL "package")
  list(FILTER cache INCLUDE REGEX "^swug_DIR:")
  if(NOT cache STREQUAL "swug_DIR:PATH=${prefix}/lib/cmake/swug")
    message(FATAL_ERROR "the consumer found swug elsewhere: ${cache}")
  endif()
else()
  # Nothing of swug's in the parent's cache (project() itself notes swug's folders there), no build
  # type forced on it, and only the parent's own test.
  list(FILTER cache INCLUDE REGEX "^(SWUG|[A-Za-z_]*(SCDOC|GZIP|GTest|GTEST|benchmark|WINE)|CMAKE_BUILD_TYPE:[A-Z]+=.)")
  if(cache)
    message(FATAL_ERROR "swug wrote into the consumer's cache: ${cache}")
  endif()
  run("listing the consumer's tests" "${CMAKE_CTEST_COMMAND}" --test-dir "${build}" -N -C Debug)
  if(NOT out MATCHES "consumer_own_test\n+Total Tests: 1\n")
    message(FATAL_ERROR "the consumer's tests are not its own:\n${out}")
  endif()
endif()
# An mcu_ota.bin in the consumer's build folder, where its custom commands run: it must not slip
# into the image that has no MCU OTA image.
file(WRITE "${build}/mcu_ota.bin" "stray")

foreach(config IN LISTS configs)
  images_of("${config}" images)
  build_consumer("${config}")
  expect_packed("${out}" upgrade 1)
  expect_packed("${out}" upgrade_with_mcu 1)
  expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
  expect_image_with_mcu("${images}/upgrade_with_mcu.bin" "${mcu_row}" "${mcu_hex}")
  expect_text("${out}" "-- packed and verified ${images}/upgrade.bin: software image 8 bytes, byte-sum 0x230\n")
  expect_text("${out}" "-- packed and verified ${images}/upgrade_with_mcu.bin: software image 8 bytes, byte-sum 0x230, MCU OTA image 7 bytes, byte-sum 0x2b6\n")
  # The host tool judges the images with swug::verify, and one with a byte appended as not valid.
  if(NOT TOOLCHAIN_FILE)
    expect_verdict("${images}/../check_upgrade" "${images}/upgrade.bin" "valid")
    expect_verdict("${images}/../check_upgrade" "${images}/upgrade_with_mcu.bin" "valid")
    file(COPY_FILE "${images}/upgrade_with_mcu.bin" "${WORK_DIR}/trailing.bin")
    file(APPEND "${WORK_DIR}/trailing.bin" "!")
    expect_verdict("${images}/../check_upgrade" "${WORK_DIR}/trailing.bin" "invalid: file_end")
  endif()
endforeach()

# A step killed while it checks the image leaves no image that could count as up to date: a
# swug_info that kills the step stands in, then the real one comes back and the image is packed.
if(MODE STREQUAL "package" AND NOT TOOLCHAIN_FILE AND NOT SWUG_PREFIX)
  list(GET configs 0 config)
  images_of("${config}" images)
  file(RENAME "${prefix}/bin/swug_info" "${WORK_DIR}/swug_info")
  file(WRITE "${prefix}/bin/swug_info" "#!/bin/sh\nkill -9 $PPID\n")
  file(CHMOD "${prefix}/bin/swug_info" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  execute_process(COMMAND "${CMAKE_COMMAND}" --build "${build}" --config "${config}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0 OR NOT out MATCHES "Packing the upgrade image of")
    message(FATAL_ERROR "the build with a killed step did not fail there:\n${out}")
  endif()
  foreach(target IN ITEMS upgrade upgrade_with_mcu)
    if(out MATCHES "Packing the upgrade image of ${target}(\r?\n|$)" AND EXISTS "${images}/${target}.bin")
      message(FATAL_ERROR "the killed step left ${images}/${target}.bin:\n${out}")
    endif()
  endforeach()
  file(REMOVE "${prefix}/bin/swug_info")
  file(RENAME "${WORK_DIR}/swug_info" "${prefix}/bin/swug_info")
  # The tools changed: every configuration packs again.
  file(TOUCH "${prefix}/bin/swug_info")
  foreach(config IN LISTS configs)
    images_of("${config}" images)
    build_consumer("${config}")
    expect_packed("${out}" upgrade 1)
    expect_packed("${out}" upgrade_with_mcu 1)
    expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
  endforeach()
endif()

# Nothing changed, even after configuring again: nothing is packed.
configure_consumer("${WORK_DIR}/mcu.bin")
foreach(config IN LISTS configs)
  build_consumer("${config}")
  expect_packed("${out}" upgrade 0)
  expect_packed("${out}" upgrade_with_mcu 0)
endforeach()

# A changed MCU OTA image, "MCU-OTA!" (8 bytes, sum 0x217), repacks its image only.
file(WRITE "${WORK_DIR}/mcu.bin" "MCU-OTA!")
foreach(config IN LISTS configs)
  images_of("${config}" images)
  build_consumer("${config}")
  expect_packed("${out}" upgrade 0)
  expect_packed("${out}" upgrade_with_mcu 1)
  expect_image_with_mcu("${images}/upgrade_with_mcu.bin" "08000000 17020000" "4d 43 55 2d 4f 54 41 21")
endforeach()

# The MCU OTA image of 98,305 bytes, one more than fit: swug_gen leaves it out, so the build must
# fail with the reason and the tool's message, and leave no image behind.
configure_consumer("${WORK_DIR}/too_big_mcu.bin")
foreach(config IN LISTS configs)
  images_of("${config}" images)
  set(arguments --build "${build}")
  if(multi_config)
    list(APPEND arguments --config "${config}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" ${arguments}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0)
    message(FATAL_ERROR "the build with a too big MCU OTA image succeeded:\n${out}")
  endif()
  string(REPLACE "\r\n" "\n" out "${out}")
  expect_text("${out}" "swug_add_upgrade_image: swug_gen left the MCU OTA image ${WORK_DIR}/too_big_mcu.bin out (mcu_ota_flag is 0): it has 98305 bytes, at most 98304 (96 KiB) fit. swug_gen said:\n| MCU ota file is too big, must <96KB |\n| gen image file checksum=00000230,size=00000008 |\n")
  if(EXISTS "${images}/upgrade_with_mcu.bin")
    message(FATAL_ERROR "the build with a too big MCU OTA image left ${images}/upgrade_with_mcu.bin")
  endif()
  expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
endforeach()

if(multi_config AND GENERATOR STREQUAL "Ninja Multi-Config")
  # Every configuration at once, in parallel, three times over: each time a new firmware and MCU
  # OTA image, so that every image of every configuration is packed at the same time as the others.
  configure_consumer("${WORK_DIR}/mcu.bin")
  foreach(round IN ITEMS 1 2 3)
    file(WRITE "${WORK_DIR}/mcu.bin" "mcu-ota")
    file(TOUCH "${consumer_source}/fake_firmware.cpp")
    build_consumer("" --target all:all --parallel 4)
    list(LENGTH configs count)
    expect_packed("${out}" upgrade ${count})
    expect_packed("${out}" upgrade_with_mcu ${count})
    foreach(config IN LISTS configs)
      images_of("${config}" images)
      expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
      expect_image_with_mcu("${images}/upgrade_with_mcu.bin" "${mcu_row}" "${mcu_hex}")
    endforeach()
  endforeach()
endif()
# A HEX text as the software image fails the build with the objcopy command that makes the raw
# image, unless SOFTWARE_FORMAT says the device takes it; an image larger than SLOT_SIZE fails it,
# naming both sizes. The text is 28 bytes, so the image has 156.
file(WRITE "${WORK_DIR}/fw.hex" ":020000040800F2\n:00000001FF\n")
list(GET configs 0 config)
images_of("${config}" images)
function(expect_build_failure text)
  set(arguments --build "${build}")
  if(multi_config)
    list(APPEND arguments --config "${config}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" ${arguments}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REPLACE "\r\n" "\n" out "${out}")
  if(status EQUAL 0 OR EXISTS "${images}/extra.bin")
    message(FATAL_ERROR "the build did not fail, or left ${images}/extra.bin:\n${out}")
  endif()
  expect_text("${out}" "${text}")
endfunction()
configure_consumer("${WORK_DIR}/mcu.bin" "-DCONSUMER_EXTRA_SOFTWARE=${WORK_DIR}/fw.hex")
expect_build_failure("swug_add_upgrade_image: ${WORK_DIR}/fw.hex looks like Intel HEX text, not raw binary, and the device would get it as it is. Pack the raw image that \"objcopy -I ihex -O binary ${WORK_DIR}/fw.hex ${WORK_DIR}/fw.bin\" makes")
configure_consumer("${WORK_DIR}/mcu.bin" -DCONSUMER_EXTRA_FORMAT=ihex -DCONSUMER_EXTRA_SLOT_SIZE=155)
expect_build_failure("swug_add_upgrade_image: the upgrade image packed from ${WORK_DIR}/fw.hex does not fit the slot: it has 156 bytes, and SLOT_SIZE 155 takes at most 155 bytes\n")
# SOFTWARE_FORMAT ihex stays in the cache.
configure_consumer("${WORK_DIR}/mcu.bin" -DCONSUMER_EXTRA_SLOT_SIZE=156)
build_consumer("${config}")
expect_packed("${out}" extra 1)
if(NOT EXISTS "${images}/extra.bin")
  message(FATAL_ERROR "the HEX text in a slot of its size was not packed:\n${out}")
endif()

# The device side, cross-built for a Cortex-M0+: swug::verify comes from the installed source,
# compiled with the firmware's own toolchain and flags.
if(CORTEX_M_TOOLCHAIN AND MODE STREQUAL "package")
  set(firmware_build "${WORK_DIR}/firmware")
  run("configuring the firmware" "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/consumer/firmware"
      -B "${firmware_build}" -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${CORTEX_M_TOOLCHAIN}"
      "-DCMAKE_C_FLAGS=-mcpu=cortex-m0plus -mthumb -Os" "-DCMAKE_PREFIX_PATH=${prefix}"
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  run("building the firmware" "${CMAKE_COMMAND}" --build "${firmware_build}")
  file(STRINGS "${firmware_build}/CMakeCache.txt" objdump REGEX "^CMAKE_OBJDUMP:")
  string(REGEX REPLACE "^[^=]*=" "" objdump "${objdump}")
  file(GLOB_RECURSE archives "${firmware_build}/*.a")
  foreach(archive IN LISTS archives)
    run("looking into ${archive}" "${objdump}" -f "${archive}")
    if(NOT out MATCHES "elf32-littlearm")
      message(FATAL_ERROR "${archive} is not built for an Arm CPU:\n${out}")
    endif()
  endforeach()
  list(LENGTH archives archive_count)
  if(NOT archive_count EQUAL 2)
    message(FATAL_ERROR "expected the updater and swug::verify, found: ${archives}")
  endif()
  message(STATUS "the firmware's updater builds for a Cortex-M0+ with swug::verify")
endif()
message(STATUS "the consumer project packs its firmware with swug (${MODE}, ${GENERATOR})")
