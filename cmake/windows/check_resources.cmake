# Checks what Windows shows of the built .exe files, read back with the MinGW-w64 tools: the
# version resource holds VERSION's release number, the product name, a description and LICENSE's
# copyright line, and the application manifest names Windows 10, long paths and UTF-8.
#   cmake -DWINDRES=x86_64-w64-mingw32-windres -DPROGRAM_DIR=build-mingw -DSOURCE_DIR=. -P check_resources.cmake
file(STRINGS "${SOURCE_DIR}/VERSION" version LIMIT_COUNT 1)
file(STRINGS "${SOURCE_DIR}/LICENSE" copyright REGEX "^Copyright " LIMIT_COUNT 1)
string(REPLACE "." ";" numbers "${version}")
list(LENGTH numbers count)
while(count LESS 4)
  list(APPEND numbers 0)
  math(EXPR count "${count} + 1")
endwhile()
string(REPLACE ";" ", " numbers "${numbers}")

set(failures 0)
foreach(program swug_gen swug_info)
  execute_process(COMMAND "${WINDRES}" -i "${PROGRAM_DIR}/${program}.exe" -O rc
    OUTPUT_VARIABLE resources ERROR_VARIABLE problem RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${program}.exe: ${WINDRES} can't read its resources: ${problem}")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  foreach(expected
      " FILEVERSION ${numbers}\n"
      " PRODUCTVERSION ${numbers}\n"
      "VALUE \"FileVersion\", \"${version}\"\n"
      "VALUE \"ProductVersion\", \"${version}\"\n"
      "VALUE \"ProductName\", \"swug\"\n"
      "VALUE \"FileDescription\", \""
      "VALUE \"LegalCopyright\", \"${copyright}\"\n"
      "VALUE \"OriginalFilename\", \"${program}.exe\"\n"
      "1 24 /* RT_MANIFEST */\n"
      "<supportedOS Id=\"\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"\"/>"
      ">true</longPathAware>"
      ">UTF-8</activeCodePage>"
      "<requestedExecutionLevel level=\"\"asInvoker\"\"")
    string(FIND "${resources}" "${expected}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "${program}.exe lacks: ${expected}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} problems with the resources of the .exe files")
endif()
message(STATUS "swug_gen.exe and swug_info.exe carry version ${version} and the manifest")
