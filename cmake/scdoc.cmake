# Turns one scdoc page into roff, with @SWUG_VERSION@ replaced by the release number, and writes
# it compressed beside it as Debian wants man pages (see gzip.cmake):
#   cmake -DSCDOC=scdoc -DGZIP=gzip -DVERSION=1.0 -DSOURCE_DIR=<swug's source>
#         -DINPUT=x.1.scd -DOUTPUT=x.1 -P scdoc.cmake      (writes x.1 and x.1.gz)
# (a script because the build tools can't redirect standard input and output portably). The page's
# date is that of the last commit (see source_date_epoch.cmake), never the day of the build.
include("${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/gzip.cmake")
swug_source_date_epoch(epoch "${SOURCE_DIR}")
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")

file(READ "${INPUT}" page)
string(REPLACE "@SWUG_VERSION@" "${VERSION}" page "${page}")
file(WRITE "${OUTPUT}.scd" "${page}")
execute_process(COMMAND "${SCDOC}"
  INPUT_FILE "${OUTPUT}.scd" OUTPUT_FILE "${OUTPUT}.part"
  ERROR_VARIABLE complaint RESULT_VARIABLE status)
file(REMOVE "${OUTPUT}.scd")
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}.part")
  message(FATAL_ERROR "scdoc failed on ${INPUT} (${status}): ${complaint}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
swug_gzip("${GZIP}" "${OUTPUT}" "${OUTPUT}.gz")
