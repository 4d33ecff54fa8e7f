# Installs swug into a prefix inside the build tree, then configures and builds the firmware
# project in consumer/ against it with find_package(swug) and swug_add_upgrade_image(), and checks
# the upgrade images byte for byte, that a build with nothing changed repacks nothing, that a
# changed MCU OTA image repacks its image only, and that a too big MCU OTA image fails the build.
#   cmake -DSWUG_BUILD_DIR=<swug's build> -DSWUG_CONFIG=<config> -DWORK_DIR=<scratch folder>
#         -DGENERATOR=<generator> -DCXX_COMPILER=<compiler> -P consumer_test.cmake
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

function(configure_consumer mcu_ota_image)
  run("configuring the consumer" "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${build}"
      -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_BUILD_TYPE=Release
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
message(STATUS "the consumer project packs its firmware with swug's CMake package")
