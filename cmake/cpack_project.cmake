# cpack reads this file before each package generator (CPACK_PROJECT_CONFIG_FILE): it refuses to
# pack what would ship incomplete or mislabelled.

# A package without its man pages, say, is refused rather than shipped.
foreach(missing IN LISTS CPACK_SWUG_MISSING)
  message(FATAL_ERROR "not packing: ${missing}")
endforeach()

# The change log's newest entry must be this release.
if(CPACK_SWUG_CHANGELOG)
  file(STRINGS "${CPACK_SWUG_CHANGELOG}" newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^swug \\(${CPACK_PACKAGE_VERSION}\\) ")
    message(FATAL_ERROR "not packing: the newest entry of ${CPACK_SWUG_CHANGELOG} is "
                        "\"${newest}\", not release ${CPACK_PACKAGE_VERSION}: add its entry")
  endif()
endif()
