# swug_gzip(<gzip> <input> <output>): <output> is <input> compressed as Debian wants it, with
# gzip -9n (no file name, no time stamp, so the bytes depend on the content only). As a script:
#   cmake -DGZIP=gzip -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake
function(swug_gzip gzip input output)
  execute_process(COMMAND "${gzip}" -9n -c
    INPUT_FILE "${input}" OUTPUT_FILE "${output}.part"
    ERROR_VARIABLE complaint RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE "${output}.part")
    message(FATAL_ERROR "gzip failed on ${input} (${status}): ${complaint}")
  endif()
  file(RENAME "${output}.part" "${output}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  swug_gzip("${GZIP}" "${INPUT}" "${OUTPUT}")
endif()
