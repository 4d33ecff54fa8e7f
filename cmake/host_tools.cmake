# swug as the subproject of a firmware project that cross-compiles for a device and can't run its
# own programs there: swug_gen and swug_info must run on the build machine, so they are built for
# it as a project of their own (an ExternalProject) with the host's compiler, the way code
# generators are built in cross builds. Only swug::verify is built with the parent's compiler, for
# the device.
#
# swug::swug_gen and swug::swug_info then name the host programs, marked as programs of the build
# machine, so swug_add_upgrade_image() runs them as they are. SWUG_HOST_CMAKE_ARGS passes further
# -D arguments to the host build, such as -DCMAKE_CXX_COMPILER=clang++; the host build otherwise
# finds its compilers as a plain cmake run on this machine would.
include(ExternalProject)

set(swug_host_dir "${PROJECT_BINARY_DIR}/host_tools")
# One folder for the programs, whatever the generator: single and multi-configuration generators
# both take the Release folder as it is given.
set(swug_host_bin "${swug_host_dir}/bin")
set(swug_host_suffix "")
if(CMAKE_HOST_WIN32)
  set(swug_host_suffix ".exe")
endif()

ExternalProject_Add(swug_host_tools
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${swug_host_dir}/build"
  PREFIX "${swug_host_dir}"
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_RUNTIME_OUTPUT_DIRECTORY_RELEASE=${swug_host_bin}"
    -DSWUG_BUILD_TESTS=OFF
    -DSWUG_INSTALL=OFF
    ${SWUG_HOST_CMAKE_ARGS}
  BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --config Release
    --target swug_gen swug_info
  INSTALL_COMMAND ""
  # A change to swug's sources rebuilds the programs; an unchanged build leaves them as they are,
  # so that nothing packs again.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS
    "${swug_host_bin}/swug_gen${swug_host_suffix}"
    "${swug_host_bin}/swug_info${swug_host_suffix}")

foreach(tool IN ITEMS swug_gen swug_info)
  add_executable(swug::${tool} IMPORTED GLOBAL)
  set_target_properties(swug::${tool} PROPERTIES
    IMPORTED_LOCATION "${swug_host_bin}/${tool}${swug_host_suffix}"
    SWUG_PROGRAM_SYSTEM "${CMAKE_HOST_SYSTEM_NAME}")
  add_dependencies(swug::${tool} swug_host_tools)
endforeach()
