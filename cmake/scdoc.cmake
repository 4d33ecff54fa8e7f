# Turns one scdoc page into roff, with @SWUG_VERSION@ replaced by the release number:
#   cmake -DSCDOC=scdoc -DVERSION=1.0 -DINPUT=x.1.scd -DOUTPUT=x.1 -P scdoc.cmake
# (a script because the build tools can't redirect standard input and output portably).
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
