# cpack reads this file before each package generator (CPACK_PROJECT_CONFIG_FILE): it refuses to
# pack what would ship incomplete or mislabelled, and fixes the time that the install writes.

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

# The time of the last commit (or SOURCE_DATE_EPOCH's, when set) for the tools of the install that
# cpack runs next: strip writes it into a Windows program's header. The packing itself does not
# see this value; cpack_pre_build.cmake sets it again for the packages' entries.
include("${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake")
swug_source_date_epoch(epoch "${CPACK_SWUG_SOURCE_DIR}")
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
