# Cross-building for Arm Cortex-M with Debian's gcc-arm-none-eabi and libnewlib-arm-none-eabi:
#   cmake -S tests/board -B build-board -DCMAKE_TOOLCHAIN_FILE=tests/board/arm-none-eabi.cmake
# Each target names its own CPU.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
# There is no operating system to run a test program on: CMake's compiler checks only compile.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
