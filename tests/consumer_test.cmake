# Builds the firmware project in consumer/ (copied into WORK_DIR, so that nothing outside it
# changes) with one generator and checks the upgrade images byte for byte, the step's line and the
# host tool's verdicts; that a build with nothing changed, even after configuring again, packs
# nothing; that a changed MCU OTA image repacks its image only; that a too big one, HEX text or an
# image larger than its slot fails the build and leaves no image; under a multi-configuration
# generator all that per configuration, then builds of all of them at once. As a subproject, that
# the parent's build type, cache and tests are its own; from a package, that a missing component is
# refused and a killed step leaves no image; with a toolchain file and an emulator (the Windows
# package under Wine), that a host build without a runner is refused. With CORTEX_M_TOOLCHAIN,
# from a package or with MODE=cross (only that), consumer/cross is cross-built (cross_build).
#   cmake -DMODE=package -DSWUG_BUILD_DIR=<swug's build> [-DSWUG_CONFIG=<config>]   (installs it)
#   cmake -DMODE=package -DSWUG_PREFIX=<an installed or unpacked swug>
#   cmake -DMODE=add_subdirectory|FetchContent|cross -DSWUG_SOURCE_DIR=<swug's source>
#         -DWORK_DIR=<scratch folder> -DGENERATOR=<generator> [-DCXX_COMPILER=<compiler>]
#         [-DC_COMPILER=<compiler>] [-DTOOLCHAIN_FILE=<file> -DEMULATOR=<program>]
#         [-DCORTEX_M_TOOLCHAIN=<toolchain file>] [-DSANITIZE=<sanitizers>] -P consumer_test.cmake
# SANITIZE names the sanitizers swug was built with, whose run-time the consumer's programs link.
cmake_minimum_required(VERSION 3.21)

set(consumer_source "${WORK_DIR}/consumer")
set(build "${WORK_DIR}/build")
# The configurations, each the folder of its images below the build folder's ("." for the one of a
# single-configuration generator, which --config leaves alone).
set(configs .)
string(REGEX MATCH "Multi-Config|Visual Studio|Xcode" multi_config "${GENERATOR}")
if(multi_config)
  set(configs Debug Release)
endif()
# WORK_DIR as a regular expression.
string(REGEX REPLACE "([][.+*?()|^$])" "\\\\\\1" work "${WORK_DIR}")

set(compilers "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
list(FILTER compilers EXCLUDE REGEX "=$")
# Runs the command ARGN: with <expect> empty it must succeed, else fail with output that matches
# the regular expression <expect>, as it is or with each run of blanks and line ends as one blank
# (CMake wraps a configure step's errors).
function(run expect)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REPLACE "\r\n" "\n" out "${out}")
  string(REGEX REPLACE "[ \n]+" " " flat "${out}")
  if(expect STREQUAL "" AND NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}")
  elseif(NOT expect STREQUAL "" AND (status EQUAL 0 OR NOT (out MATCHES "${expect}" OR flat MATCHES "${expect}")))
    message(FATAL_ERROR "${ARGN} gave ${status}, not a failure saying \"${expect}\":\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
# Configures the consumer in <dir> with the MCU OTA image <mcu> and the further -D arguments; it
# must succeed when <expect> is empty, else fail saying <expect>. NO_TOOLCHAIN: a build for this
# host even where TOOLCHAIN_FILE is given. Settings without a value are left out.
function(configure expect dir mcu)
  set(arguments -S "${consumer_source}" -B "${dir}" -G "${GENERATOR}" "-DCONSUMER_SWUG_FROM=${MODE}"
      "-DCONSUMER_MCU=${mcu}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF ${compilers}
      "-DCMAKE_PREFIX_PATH=${prefix}" "-DCONSUMER_SWUG_SOURCE=${SWUG_SOURCE_DIR}"
      -DCONSUMER_COMPONENTS=swug_gen,swug_info "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZE}")
  list(FILTER arguments EXCLUDE REGEX "=$")
  if(TOOLCHAIN_FILE AND NOT NO_TOOLCHAIN IN_LIST ARGN)
    list(APPEND arguments "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}"
         "-DCMAKE_CROSSCOMPILING_EMULATOR=${EMULATOR}")
  endif()
  if(multi_config)
    # An initial cache: a list can't pass through the calls as one -D argument.
    file(WRITE "${WORK_DIR}/configurations.cmake"
         "set(CMAKE_CONFIGURATION_TYPES \"${configs}\" CACHE STRING \"\")\n")
    list(APPEND arguments -C "${WORK_DIR}/configurations.cmake" -DCMAKE_CROSS_CONFIGS=all)
  elseif(MODE STREQUAL "package")
    # As a subproject swug gets no build type from the parent: it must not set one either.
    list(APPEND arguments -DCMAKE_BUILD_TYPE=Release)
  endif()
  list(APPEND arguments ${ARGN})
  list(REMOVE_ITEM arguments NO_TOOLCHAIN)
  run("${expect}" "${CMAKE_COMMAND}" ${arguments})
endfunction()
# <file>'s expected content, as hex digits; blanks are for the eye only.
function(expect_bytes file)
  string(REGEX REPLACE "[ \t\n;]" "" hex "${ARGN}")
  file(READ "${file}" actual HEX)
  if(NOT actual STREQUAL hex)
    message(FATAL_ERROR "${file} differs:\n  expected ${hex}\n  found    ${actual}")
  endif()
endfunction()
# The output says <count> times that it packed <target>.
function(expect_packed target count)
  string(REGEX MATCHALL "Packing the upgrade image of ${target}(\r?\n|$)" packed "${out}")
  list(LENGTH packed found)
  if(NOT found EQUAL count)
    message(FATAL_ERROR "expected ${target} packed ${count} times, not ${found}:\n${out}")
  endif()
endfunction()
# The firmware project in consumer/cross, cross-built for a Cortex-M0+ with a single-configuration
# generator: its firmware and updater must be Cortex-M0+ code (Armv6-M), swug::verify too, built
# with their toolchain and flags; swug's programs for this machine pack the firmware's objcopy
# output byte for byte, and a build with nothing changed, even after configuring again, packs and
# links nothing.
function(cross_build)
  set(cross "${WORK_DIR}/cross")
  string(REPLACE " Multi-Config" "" generator "${GENERATOR}")
  set(configure "${CMAKE_COMMAND}" -S "${consumer_source}/cross" -B "${cross}" -G "${generator}"
      "-DCMAKE_TOOLCHAIN_FILE=${CORTEX_M_TOOLCHAIN}" "-DCONSUMER_SWUG_FROM=${MODE}"
      "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      "-DCONSUMER_SWUG_SOURCE=${SWUG_SOURCE_DIR}" "-DSWUG_HOST_CMAKE_ARGS=${compilers}")
  run("" ${configure})
  run("" "${CMAKE_COMMAND}" --build "${cross}" --parallel 2)
  file(STRINGS "${cross}/CMakeCache.txt" readelf REGEX "^CMAKE_READELF:")
  string(REGEX REPLACE "^[^=]*=" "" readelf "${readelf}")
  file(GLOB_RECURSE archives "${cross}/*.a")
  list(FILTER archives EXCLUDE REGEX "/host_tools/")
  list(LENGTH archives count)
  if(NOT count EQUAL 2)
    message(FATAL_ERROR "expected the updater and swug::verify, found: ${archives}")
  endif()
  foreach(file IN LISTS archives ITEMS "${cross}/firmware.elf")
    run("" "${readelf}" -h -A "${file}")
    if(NOT out MATCHES "Machine: +ARM" OR NOT out MATCHES "Tag_CPU_arch: v6S-M")
      message(FATAL_ERROR "${file} is not built for a Cortex-M0+:\n${out}")
    endif()
  endforeach()
  # The header holds the firmware file's length and byte-sum (little-endian), the rest zeros.
  file(READ "${cross}/firmware.bin" firmware HEX)
  string(REGEX MATCHALL ".." bytes "${firmware}")
  list(LENGTH bytes length)
  list(JOIN bytes "+0x" sum)
  math(EXPR sum "0x${sum}")
  set(header "5a512d54523532303020496d61676500")
  foreach(value IN ITEMS ${length} ${sum})
    math(EXPR value "0x100000000 + ${value}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x1(..)(..)(..)(..)$" "\\4\\3\\2\\1" value "${value}")
    string(APPEND header "${value}")
  endforeach()
  string(REPEAT "00" 104 zeros)
  expect_bytes("${cross}/out/upgrade.bin" "${header}${zeros}${firmware}")
  run("" ${configure})  # again: nothing changed
  run("" "${CMAKE_COMMAND}" --build "${cross}" --parallel 2)
  if(out MATCHES "Packing the upgrade image|Linking")
    message(FATAL_ERROR "a build with nothing changed packed or linked again:\n${out}")
  endif()
endfunction()
macro(images_of config)
  cmake_path(SET images NORMALIZE "${build}/${config}/out")
endmacro()
# The eight bytes of consumer/fake_firmware.bin. Header rows of 16 bytes: row 0 is the magic
# "ZQ-TR5200 Image" and a zero byte; row 1 holds length 8, sum 0x230 (0+1+10+13+26+127+128+255),
# upgrade_boot 0; row 4 the MCU fields.
set(firmware "00 01 0a 0d 1a 7f 80 ff")
set(head "5a512d54 52353230 3020496d 61676500  08000000 30020000 00000000 00000000")
string(REPEAT "00000000 " 4 zero)
set(upgrade_image "${head} ${zero} ${zero} ${zero} ${zero} ${zero} ${zero} ${firmware}")
# "mcu-ota": 7 bytes, sum 0x2b6; row 4: mcu_ota_flag 1, mcu_addr 128 + 8 = 0x88, length and sum.
set(mcu_row "07000000 b6020000")
set(mcu_hex "6d 63 75 2d 6f 74 61")
# Both images of <config> must hold what they should.
function(check_images config)
  images_of("${config}")
  expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
  expect_bytes("${images}/upgrade_with_mcu.bin" "${head} ${zero} ${zero} 01000000 88000000"
               "${mcu_row} ${zero} ${zero} ${zero} ${firmware} ${mcu_hex}")
endfunction()
# Builds each of <configs>, which must pack upgrade <count> and upgrade_with_mcu <mcu_count> times.
function(build_and_check configs count mcu_count)
  foreach(config IN LISTS configs)
    images_of("${config}")
    run("" "${CMAKE_COMMAND}" --build "${build}" --config "${config}" --parallel 2)
    expect_packed(upgrade ${count})
    expect_packed(upgrade_with_mcu ${mcu_count})
    check_images("${config}")
  endforeach()
  set(out "${out}" PARENT_SCOPE)
  set(images "${images}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${CMAKE_CURRENT_LIST_DIR}/consumer/" DESTINATION "${consumer_source}")
set(prefix "${SWUG_PREFIX}")
if(MODE STREQUAL "package" AND NOT SWUG_PREFIX)
  set(prefix "${WORK_DIR}/prefix")
  string(REGEX REPLACE ".+" "--config;\\0" config_option "${SWUG_CONFIG}")
  run("" "${CMAKE_COMMAND}" --install "${SWUG_BUILD_DIR}" --prefix "${prefix}" ${config_option})
endif()
if(MODE STREQUAL "cross")
  cross_build()
  return()
endif()
file(WRITE "${WORK_DIR}/mcu.bin" "mcu-ota")
# The too big MCU OTA image is older than the images packed before it is named: it repacks all
# the same.
string(REPEAT "m" 98305 too_big)
file(WRITE "${WORK_DIR}/too_big_mcu.bin" "${too_big}")
# Refused when configuring: a component the package lacks, saying which it holds; swug's programs
# for another system in a build for this host, with nothing to run them; an absolute upgrade image
# without $<CONFIG>, which would be one file for every configuration.
if(MODE STREQUAL "package")
  configure("swug 1\\.[0-9.]+ has no component swug_flasher; its components are swug_gen, swug_info"
            "${WORK_DIR}/no_component" "" -DCONSUMER_COMPONENTS=swug_gen,swug_flasher)
endif()
if(TOOLCHAIN_FILE)
  configure("swug's programs here are [A-Za-z]+ programs, which this [A-Za-z]+ host can't run as they are; set SWUG_TOOL_RUNNER"
            "${WORK_DIR}/no_runner" "" NO_TOOLCHAIN)
endif()
if(multi_config)
  configure("UPGRADE_IMAGE ${work}/shared/upgrade.bin holds no \\$<CONFIG>" "${WORK_DIR}/shared_image"
            "" "-DCONSUMER_UPGRADE_IMAGE=${WORK_DIR}/shared/upgrade.bin")
endif()

configure("" "${build}" "${WORK_DIR}/mcu.bin")
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
  run("" "${CMAKE_CTEST_COMMAND}" --test-dir "${build}" -N -C Debug)
  if(cache OR NOT out MATCHES "consumer_own_test\n+Total Tests: 1\n")
    message(FATAL_ERROR "swug wrote into the consumer's cache (${cache}) or tests:\n${out}")
  endif()
endif()
# An mcu_ota.bin where the consumer's custom commands run must not slip into an image.
file(WRITE "${build}/mcu_ota.bin" "stray")

foreach(config IN LISTS configs)
  build_and_check("${config}" 1 1)
  foreach(line IN ITEMS "upgrade.bin: software image 8 bytes, byte-sum 0x230\n"
                        "upgrade_with_mcu.bin: software image 8 bytes, byte-sum 0x230, MCU OTA image 7 bytes, byte-sum 0x2b6\n")
    string(FIND "${out}" "-- packed and verified ${images}/${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the output lacks the line of ${line}:\n${out}")
    endif()
  endforeach()
  # The host tool judges the images with swug::verify, and one with a byte appended as not valid.
  if(NOT TOOLCHAIN_FILE)
    file(COPY_FILE "${images}/upgrade_with_mcu.bin" "${WORK_DIR}/trailing.bin")
    file(APPEND "${WORK_DIR}/trailing.bin" "!")
    foreach(file IN ITEMS upgrade.bin upgrade_with_mcu.bin)
      run("" "${images}/../check_upgrade" "${images}/${file}")
    endforeach()
    run("^invalid: file_end\n$" "${images}/../check_upgrade" "${WORK_DIR}/trailing.bin")
  endif()
endforeach()
# A step killed while it checks the image leaves no image that could count as up to date: a
# swug_info that kills the step stands in, then the real one comes back and every configuration
# packs again.
if(MODE STREQUAL "package" AND NOT TOOLCHAIN_FILE AND NOT SWUG_PREFIX)
  list(GET configs 0 config)
  images_of("${config}")
  file(RENAME "${prefix}/bin/swug_info" "${WORK_DIR}/swug_info")
  file(WRITE "${prefix}/bin/swug_info" "#!/bin/sh\nkill -9 $PPID\n")
  file(CHMOD "${prefix}/bin/swug_info" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  run("Packing the upgrade image of" "${CMAKE_COMMAND}" --build "${build}" --config "${config}")
  foreach(target IN ITEMS upgrade upgrade_with_mcu)
    if(out MATCHES "Packing the upgrade image of ${target}(\r?\n|$)" AND EXISTS "${images}/${target}.bin")
      message(FATAL_ERROR "the killed step left ${images}/${target}.bin:\n${out}")
    endif()
  endforeach()
  file(RENAME "${WORK_DIR}/swug_info" "${prefix}/bin/swug_info")
  file(TOUCH "${prefix}/bin/swug_info")
  build_and_check("${configs}" 1 1)
endif()
# Nothing changed, even after configuring again: nothing is packed.
configure("" "${build}" "${WORK_DIR}/mcu.bin")
build_and_check("${configs}" 0 0)
# A changed MCU OTA image, "MCU-OTA!" (8 bytes, sum 0x217), repacks its image only.
file(WRITE "${WORK_DIR}/mcu.bin" "MCU-OTA!")
set(mcu_row "08000000 17020000")
set(mcu_hex "4d 43 55 2d 4f 54 41 21")
build_and_check("${configs}" 0 1)

if(GENERATOR STREQUAL "Ninja Multi-Config")
  # Every configuration at once, in parallel, three times over: each time a new firmware and MCU
  # OTA image, so that every image of every configuration is packed at the same time as the others.
  configure("" "${build}" "${WORK_DIR}/mcu.bin")
  set(mcu_row "07000000 b6020000")
  set(mcu_hex "6d 63 75 2d 6f 74 61")
  foreach(round IN ITEMS 1 2 3)
    file(WRITE "${WORK_DIR}/mcu.bin" "mcu-ota")
    file(TOUCH "${consumer_source}/fake_firmware.bin")
    run("" "${CMAKE_COMMAND}" --build "${build}" --target all:all --parallel 4)
    expect_packed(upgrade 2)
    expect_packed(upgrade_with_mcu 2)
    foreach(config IN LISTS configs)
      check_images("${config}")
    endforeach()
  endforeach()
endif()
# Builds that fail with the reason and leave no image (<target>.bin), in a row of the table: the MCU
# OTA image of 98,305 bytes, one more than fit, which swug_gen leaves out; HEX text as the software
# image, with the objcopy command that makes the raw image, unless SOFTWARE_FORMAT says the device
# takes it; an image larger than SLOT_SIZE, naming both sizes (the text has 28 bytes, the image 156).
file(WRITE "${WORK_DIR}/fw.hex" ":020000040800F2\n:00000001FF\n")
set(settings too_big_mcu.bin "mcu.bin -DCONSUMER_EXTRA_SOFTWARE=${WORK_DIR}/fw.hex"
    "mcu.bin -DCONSUMER_EXTRA_SOFTWARE_FORMAT=ihex -DCONSUMER_EXTRA_SLOT_SIZE=155")
set(targets upgrade_with_mcu extra extra)
set(failures "swug_gen left the MCU OTA image ${work}/too_big_mcu.bin out \\(mcu_ota_flag is 0\\): it has 98305 bytes, at most 98304 \\(96 KiB\\) fit\\. swug_gen said:\n\\| MCU ota file is too big, must <96KB \\|\n\\| gen image file checksum=00000230,size=00000008 \\|\n"
    "${work}/fw.hex looks like Intel HEX text, not raw binary, and the device would get it as it is\\. Pack the raw image that \"objcopy -I ihex -O binary ${work}/fw.hex ${work}/fw.bin\" makes"
    "the upgrade image packed from ${work}/fw.hex does not fit the slot: it has 156 bytes, and SLOT_SIZE 155 takes at most 155 bytes\n")
foreach(setting target failure IN ZIP_LISTS settings targets failures)
  separate_arguments(setting)
  list(POP_FRONT setting mcu)
  configure("" "${build}" "${WORK_DIR}/${mcu}" ${setting})
  foreach(config IN LISTS configs)
    images_of("${config}")
    run("swug_add_upgrade_image: ${failure}" "${CMAKE_COMMAND}" --build "${build}" --config "${config}")
    if(EXISTS "${images}/${target}.bin")
      message(FATAL_ERROR "the failed build left ${images}/${target}.bin")
    endif()
    expect_bytes("${images}/upgrade.bin" "${upgrade_image}")
  endforeach()
endforeach()
# SOFTWARE_FORMAT ihex stays in the cache.
list(GET configs -1 config)
configure("" "${build}" "${WORK_DIR}/mcu.bin" -DCONSUMER_EXTRA_SLOT_SIZE=156)
run("" "${CMAKE_COMMAND}" --build "${build}" --config "${config}")
expect_packed(extra 1)
if(NOT EXISTS "${images}/extra.bin")
  message(FATAL_ERROR "the HEX text in a slot of its size was not packed:\n${out}")
endif()

if(CORTEX_M_TOOLCHAIN AND MODE STREQUAL "package")
  cross_build()
endif()
message(STATUS "the consumer project packs its firmware with swug (${MODE}, ${GENERATOR})")
