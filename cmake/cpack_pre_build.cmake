# cpack runs this after installing into its scratch folder, before it packs (CPACK_PRE_BUILD_SCRIPTS):
# every entry of the packages gets the time of the last commit (or SOURCE_DATE_EPOCH's, when set),
# not the time of the build.
include("${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake")
swug_source_date_epoch(epoch "${CPACK_SWUG_SOURCE_DIR}")
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
