# Installs swug into a prefix inside the build tree, then configures and builds the firmware
# project in consumer/ against it with find_package(swug) and swug_add_upgrade_image(), and checks
# the upgrade images byte for byte, that a build with nothing changed repacks nothing, that a
# changed MCU OTA image repacks its image only, and that a too big MCU OTA image fails the build.
# Its host tool check_upgrade judges the images with swug::verify; with CORTEX_M_TOOLCHAIN, the
# device side in consumer/firmware is cross-built for a Cortex-M0+ with swug::verify from source.
#   cmake -DSWUG_BUILD_DIR=<swug's build> -DSWUG_CONFIG=<config> -DWORK_DIR=<scratch folder>
#         -DGENERATOR=<generator> -DC_COMPILER=<compiler> -DCXX_COMPILER=<compiler>
#         [-DCORTEX_M_TOOLCHAIN=<toolchain file>] [-DSANITIZE=<sanitizers>] -P consumer_test.cmake
# SANITIZE names the sanitizers swug was built with, whose run-time the consumer's programs then
# link too: the installed swug::verify carries their checks.
cmake_minimum_required(VERSION 3.20)

set(consumer_source "${CMAKE_CURRENT_LIST_DIR}/consumer")
set(prefix "${WORK_DIR}/prefix")
set(build "${WORK_DIR}/build")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

set(sanitize_link "")
if(SANITIZE)
  set(sanitize_link "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZE}")
endif()

function(configure_consumer mcu_ota_image)
  run("configuring the consumer" "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${build}"
      ${sanitize_link}
      -G "${GENERATOR}" "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
      -DCMAKE_BUILD_TYPE=Release
      "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      "-DSWUG_TEST_MCU=${mcu_ota_image}")
endfunction()

function(build_consumer)
  run("building the consumer" "${CMAKE_COMMAND}" --build "${build}")
  set(out "${out}" PARENT_SCOPE)
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

function(expect_packed output target yes_or_no)
  if(output MATCHES "Packing the upgrade image of ${target}(\r?\n|$)")
    set(packed YES)
  else()
    set(packed NO)
  endif()
  if(NOT packed STREQUAL yes_or_no)
    message(FATAL_ERROR "expected packed=${yes_or_no} for ${target}, build output:\n${output}")
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

file(REMOVE_RECURSE "${WORK_DIR}")
run("installing swug" "${CMAKE_COMMAND}" --install "${SWUG_BUILD_DIR}" --prefix "${prefix}"
    --config "${SWUG_CONFIG}")

# "mcu-ota": 7 bytes, sum 0x2b6. The too big MCU OTA image is made now, older than the images
# packed before it is used: naming it must repack all the same.
file(WRITE "${WORK_DIR}/mcu.bin" "mcu-ota")
string(REPEAT "m" 98305 too_big)
file(WRITE "${WORK_DIR}/too_big_mcu.bin" "${too_big}")
configure_consumer("${WORK_DIR}/mcu.bin")
file(STRINGS "${build}/CMakeCache.txt" found_at REGEX "^swug_DIR:")
if(NOT found_at STREQUAL "swug_DIR:PATH=${prefix}/lib/cmake/swug")
  message(FATAL_ERROR "the consumer found swug elsewhere: ${found_at}")
endif()
# An mcu_ota.bin in the consumer's build folder, where its custom commands run: it must not slip
# into the image that has no MCU OTA image.
file(WRITE "${build}/mcu_ota.bin" "stray")

build_consumer()
expect_packed("${out}" upgrade YES)
expect_packed("${out}" upgrade_with_mcu YES)
expect_bytes("${build}/out/upgrade.bin" "${upgrade_image}")
# Row 4: mcu_ota_flag 1, mcu_addr 128 + 8 = 0x88, mcu_len 7, mcu_sum 0x2b6; then the MCU OTA image.
expect_bytes("${build}/out/upgrade_with_mcu.bin"
  "${magic} ${sizes} ${zero} ${zero} 01000000 88000000 07000000 b6020000 ${zero} ${zero} ${zero}"
  "${firmware} 6d 63 75 2d 6f 74 61")

# The host tool judges the images with swug::verify, and one with a byte appended as not valid.
function(expect_verdict file verdict)
  execute_process(COMMAND "${build}/check_upgrade" "${file}" OUTPUT_VARIABLE said
                  RESULT_VARIABLE status)
  if(NOT said STREQUAL "${verdict}\n")
    message(FATAL_ERROR "check_upgrade ${file} said (${status}): ${said}, not ${verdict}")
  endif()
endfunction()
expect_verdict("${build}/out/upgrade.bin" "valid")
expect_verdict("${build}/out/upgrade_with_mcu.bin" "valid")
file(COPY_FILE "${build}/out/upgrade_with_mcu.bin" "${WORK_DIR}/trailing.bin")
file(APPEND "${WORK_DIR}/trailing.bin" "!")
expect_verdict("${WORK_DIR}/trailing.bin" "invalid: file_end")

# Nothing changed, even after configuring again: nothing is packed.
configure_consumer("${WORK_DIR}/mcu.bin")
build_consumer()
expect_packed("${out}" upgrade NO)
expect_packed("${out}" upgrade_with_mcu NO)

# A changed MCU OTA image, "MCU-OTA!" (8 bytes, sum 0x217), repacks its image only.
file(WRITE "${WORK_DIR}/mcu.bin" "MCU-OTA!")
build_consumer()
expect_packed("${out}" upgrade NO)
expect_packed("${out}" upgrade_with_mcu YES)
expect_bytes("${build}/out/upgrade_with_mcu.bin"
  "${magic} ${sizes} ${zero} ${zero} 01000000 88000000 08000000 17020000 ${zero} ${zero} ${zero}"
  "${firmware} 4d 43 55 2d 4f 54 41 21")

# The MCU OTA image of 98,305 bytes, one more than fit: swug_gen leaves it out, so the build must
# fail with the tool's message and leave no image behind.
configure_consumer("${WORK_DIR}/too_big_mcu.bin")
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${build}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0)
  message(FATAL_ERROR "the build with a too big MCU OTA image succeeded:\n${out}")
endif()
string(FIND "${out}" "| MCU ota file is too big, must <96KB |" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the failed build does not show swug_gen's message:\n${out}")
endif()
if(EXISTS "${build}/out/upgrade_with_mcu.bin")
  message(FATAL_ERROR "the build with a too big MCU OTA image left out/upgrade_with_mcu.bin")
endif()
expect_bytes("${build}/out/upgrade.bin" "${upgrade_image}")

# The device side, cross-built for a Cortex-M0+: swug::verify comes from the installed source,
# compiled with the firmware's own toolchain and flags.
if(CORTEX_M_TOOLCHAIN)
  set(firmware_build "${WORK_DIR}/firmware")
  run("configuring the firmware" "${CMAKE_COMMAND}" -S "${consumer_source}/firmware"
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
message(STATUS "the consumer project packs its firmware with swug's CMake package")
