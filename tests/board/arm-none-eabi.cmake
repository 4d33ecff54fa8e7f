# Cross-building for Arm Cortex-M with Debian's gcc-arm-none-eabi and libnewlib-arm-none-eabi;
# each target names its own CPU. There is no operating system to run a test program on: CMake's
# compiler checks only compile.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
