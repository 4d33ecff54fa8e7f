# What `cmake --install` puts in place, and the release packages `cpack` makes from it.
#
# Linux and other POSIX hosts:
#   bin/swug_gen, bin/swug_info
#   lib/cmake/swug/                 CMake package: find_package(swug CONFIG), swug::swug_gen,
#                                   swug::swug_info and swug_add_upgrade_image()
#   share/man/man1/swug_*.1         man pages, when scdoc was found
#   share/doc/swug/README.md, LICENSE
#   cpack: a .deb and a .tar.gz in packages/, each listed in packages/SHA256SUMS
# Windows (the MinGW-w64 cross build):
#   bin/swug_gen.exe, bin/swug_info.exe, lib/cmake/swug/ (the same CMake package), README.md,
#   LICENSE
#   cpack: a .zip in packages/, listed in packages/SHA256SUMS
include(GNUInstallDirs)

# The CMake package. Every target installed with EXPORT swugTargets is in it as swug::<target>;
# SWUG_PACKAGE_COMPONENTS names the components that find_package(swug COMPONENTS ...) accepts. A
# library joins with install(TARGETS <lib> EXPORT swugTargets ARCHIVE DESTINATION
# ${CMAKE_INSTALL_LIBDIR} INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}), its headers installed
# beside, and its name in this list.
set(SWUG_PACKAGE_COMPONENTS swug_gen swug_info)
install(TARGETS swug_gen swug_info EXPORT swugTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The package's version file is architecture-independent: the package holds programs that run on
# the build host, and its users are often cross builds for 32-bit microcontrollers.
swug_setting(SWUG_INSTALL_CMAKEDIR STRING ${CMAKE_INSTALL_LIBDIR}/cmake/swug
  "Where the CMake package is installed, below the prefix")
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/package/swugConfig.cmake.in
  ${PROJECT_BINARY_DIR}/swugConfig.cmake
  INSTALL_DESTINATION ${SWUG_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/swugConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(EXPORT swugTargets NAMESPACE swug:: DESTINATION ${SWUG_INSTALL_CMAKEDIR})
install(FILES
    ${PROJECT_BINARY_DIR}/swugConfig.cmake
    ${PROJECT_BINARY_DIR}/swugConfigVersion.cmake
    cmake/package/swug_add_upgrade_image.cmake
    cmake/package/swug_pack_step.cmake
  DESTINATION ${SWUG_INSTALL_CMAKEDIR})

if(WIN32)
  install(FILES README.md LICENSE DESTINATION .)
else()
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Man pages, written in scdoc and turned into roff during the build when scdoc is there.
  find_program(SCDOC_PROGRAM scdoc)
  if(SCDOC_PROGRAM)
    set(man_pages "")
    foreach(page swug_gen.1 swug_info.1)
      add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}
        COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC_PROGRAM} -DVERSION=${PROJECT_VERSION}
          -DINPUT=${PROJECT_SOURCE_DIR}/man/${page}.scd -DOUTPUT=${PROJECT_BINARY_DIR}/man/${page}
          -P ${PROJECT_SOURCE_DIR}/cmake/scdoc.cmake
        DEPENDS man/${page}.scd cmake/scdoc.cmake
        COMMENT "Generating the man page ${page}"
        VERBATIM)
      list(APPEND man_pages ${PROJECT_BINARY_DIR}/man/${page})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    message(STATUS "scdoc not found: the man pages are left out (Debian: apt-get install scdoc)")
  endif()
endif()

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

# Release packages: run `cpack` in the build folder.
set(CPACK_PACKAGE_NAME swug)
set(CPACK_PACKAGE_VENDOR "the swug developers")
set(CPACK_PACKAGE_CONTACT "the swug developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack a firmware file into an upgrade image, and check one")
set(CPACK_PACKAGE_DESCRIPTION
    "swug_gen packs a device's firmware file into an upgrade image: a 128-byte header with the "
    "file's length and byte-sum, the firmware, and an optional image for the device's "
    "microcontroller. swug_info checks an upgrade image field by field and unpacks it. A CMake "
    "package adds swug_add_upgrade_image() to pack a firmware target as a build step.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# SHA256SUMS beside the packages, in the format `sha256sum -c` reads.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # The run-time libraries the programs link against, found by dpkg-shlibdeps (dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS cmake)
endif()
include(CPack)
