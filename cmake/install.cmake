# What `cmake --install` puts in place, and the release packages `cpack` makes from it.
#
# Linux and other POSIX hosts:
#   bin/swug_gen, bin/swug_info
#   lib/cmake/swug/                 CMake package: find_package(swug CONFIG), swug::swug_gen,
#                                   swug::swug_info, swug::verify and swug_add_upgrade_image()
#   lib/libswug_verify.a, include/swug_verify.h
#                                   the verifier for host projects (swug::verify)
#   share/swug/verify/              its source, which a cross build for a microcontroller
#                                   compiles with its own toolchain as swug::verify
#   share/man/man1/swug_*.1.gz      man pages, when scdoc was found
#   share/doc/swug/                 README.md, docs/, copyright (the licence,
#                                   machine-readable), changelog.gz
#   cpack: a .deb and a .tar.gz in packages/, each listed in packages/SHA256SUMS
# Windows (the MinGW-w64 cross build):
#   bin/swug_gen.exe, bin/swug_info.exe, lib/cmake/swug/ (the same CMake package), the verifier
#   as above, README.md, docs/, LICENSE
#   cpack: a .zip in packages/, listed in packages/SHA256SUMS
include(GNUInstallDirs)

# The CMake package. Every target installed with EXPORT swugTargets is in it as swug::<target>;
# SWUG_PACKAGE_COMPONENTS names the components that find_package(swug COMPONENTS ...) accepts. A
# library joins with install(TARGETS <lib> EXPORT swugTargets ARCHIVE DESTINATION
# ${CMAKE_INSTALL_LIBDIR} INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}), its headers installed
# beside, and its name in this list.
set(SWUG_PACKAGE_COMPONENTS swug_gen swug_info verify)
# swug_strip_comment(<file below the prefix>...): a stripped install (cpack's, or cmake --install
# --strip) also drops the compilers' notes in .comment, which nothing reads, from these installed
# files: the programs, and the static library, which CMake's strip leaves alone. -D keeps an
# archive's member times and owners at zero, so the packages stay reproducible.
function(swug_strip_comment)
  if(WIN32 OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(file IN ITEMS ${ARGN})
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" -D --remove-section=.comment
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\"
          RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
          message(FATAL_ERROR \"objcopy failed on \${file}: \${status}\")
        endif()
      endforeach()
    endif()")
endfunction()

install(TARGETS swug_gen swug_info EXPORT swugTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
swug_strip_comment(${CMAKE_INSTALL_BINDIR}/swug_gen ${CMAKE_INSTALL_BINDIR}/swug_info)

# The package's version file is architecture-independent: the package holds programs that run on
# the build host, and its users are often cross builds for 32-bit microcontrollers.
swug_setting(SWUG_INSTALL_CMAKEDIR STRING ${CMAKE_INSTALL_LIBDIR}/cmake/swug
  "Where the CMake package is installed, below the prefix")
include(CMakePackageConfigHelpers)
set(SWUG_VERIFY_SOURCE ${CMAKE_INSTALL_DATADIR}/swug/verify)
configure_package_config_file(cmake/package/swugConfig.cmake.in
  ${PROJECT_BINARY_DIR}/swugConfig.cmake
  INSTALL_DESTINATION ${SWUG_INSTALL_CMAKEDIR}
  PATH_VARS SWUG_VERIFY_SOURCE)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/swugConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(EXPORT swugTargets NAMESPACE swug:: DESTINATION ${SWUG_INSTALL_CMAKEDIR})

# The verifier: built here for hosts like this one, in an export of its own that the package
# includes only for such hosts, and as source for every other target.
install(TARGETS swug_verify EXPORT swugVerifyTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
swug_strip_comment(${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:swug_verify>)
install(EXPORT swugVerifyTargets NAMESPACE swug:: DESTINATION ${SWUG_INSTALL_CMAKEDIR})
install(FILES verify/swug_verify.h verify/swug_verify.c DESTINATION ${SWUG_VERIFY_SOURCE})

install(FILES
    ${PROJECT_BINARY_DIR}/swugConfig.cmake
    ${PROJECT_BINARY_DIR}/swugConfigVersion.cmake
    cmake/package/swug_add_upgrade_image.cmake
    cmake/package/swug_pack_step.cmake
  DESTINATION ${SWUG_INSTALL_CMAKEDIR})

# Who answers for the packages: Debian's Maintainer field and the copyright file's contact.
set(SWUG_MAINTAINER "swug developers <swug-dev@lists.example.org>")

# What the packages would lack, each with its remedy: cpack refuses to pack without it.
set(SWUG_PACKAGE_MISSING "")

if(WIN32)
  install(FILES README.md LICENSE DESTINATION .)
  install(DIRECTORY docs DESTINATION .)
else()
  # Man pages, written in scdoc and turned into roff (and compressed) during the build.
  find_program(SCDOC_PROGRAM scdoc)
  find_program(GZIP_PROGRAM gzip)
  if(SCDOC_PROGRAM AND GZIP_PROGRAM)
    set(man_pages "")
    foreach(page swug_gen.1 swug_info.1)
      add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC_PROGRAM} -DGZIP=${GZIP_PROGRAM}
          -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DINPUT=${PROJECT_SOURCE_DIR}/man/${page}.scd -DOUTPUT=${PROJECT_BINARY_DIR}/man/${page}
          -P ${PROJECT_SOURCE_DIR}/cmake/scdoc.cmake
        DEPENDS man/${page}.scd cmake/scdoc.cmake cmake/source_date_epoch.cmake cmake/gzip.cmake
        COMMENT "Generating the man page ${page}"
        VERBATIM)
      list(APPEND man_pages ${PROJECT_BINARY_DIR}/man/${page}.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  elseif(NOT SCDOC_PROGRAM)
    message(STATUS "scdoc not found: the man pages are left out (Debian: apt-get install scdoc)")
    list(APPEND SWUG_PACKAGE_MISSING
      "scdoc was not found when configuring, so the man pages are missing: install it (Debian: apt-get install scdoc), then configure again")
  else()
    message(STATUS "gzip not found: the man pages are left out")
    list(APPEND SWUG_PACKAGE_MISSING
      "gzip was not found when configuring, so the man pages are missing: install it, then configure again")
  endif()

  # The documents Debian wants: the licence in machine-readable form, and the change log.
  include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
  swug_debian_copyright(${PROJECT_BINARY_DIR}/debian/copyright)
  install(FILES README.md ${PROJECT_BINARY_DIR}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY docs DESTINATION ${CMAKE_INSTALL_DOCDIR})
  if(GZIP_PROGRAM)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
      COMMAND ${CMAKE_COMMAND} -DGZIP=${GZIP_PROGRAM}
        -DINPUT=${PROJECT_SOURCE_DIR}/packaging/debian/changelog
        -DOUTPUT=${PROJECT_BINARY_DIR}/debian/changelog.gz -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
      DEPENDS packaging/debian/changelog cmake/gzip.cmake
      COMMENT "Compressing the change log"
      VERBATIM)
    add_custom_target(debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
endif()

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

# Release packages: run `cpack` in the build folder.
set(CPACK_PACKAGE_NAME swug)
set(CPACK_PACKAGE_VENDOR "the swug developers")
set(CPACK_PACKAGE_CONTACT "${SWUG_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack a firmware file into an upgrade image, and check one")
# Debian shows the description as it stands: lines within 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "swug_gen packs a device's firmware file into an upgrade image: a 128-byte"
  "header with the file's length and byte-sum, the firmware, and an optional"
  "image for the device's microcontroller. swug_info checks an upgrade image"
  "field by field and unpacks it. A CMake package adds swug_add_upgrade_image()"
  "to pack a firmware target as a build step.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The checks before packing; reproducible packages (one commit, the same bytes), then SHA256SUMS
# beside them, in the format `sha256sum -c` reads.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_pre_build.cmake)
set(CPACK_POST_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/cmake/cpack_repack.cmake ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake)
set(CPACK_SWUG_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_SWUG_MISSING "${SWUG_PACKAGE_MISSING}")
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
  set(CPACK_SWUG_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
endif()
include(CPack)
