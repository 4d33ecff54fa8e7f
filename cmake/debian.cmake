# swug_debian_copyright(<file>): writes Debian's machine-readable copyright file from
# packaging/debian/copyright.in and LICENSE, so that the licence text lives in one place. LICENSE
# must read "MIT License", a "Copyright (c) <years> <holders>" line, then the licence text.
function(swug_debian_copyright file)
  set(license_file "${PROJECT_SOURCE_DIR}/LICENSE")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${license_file}" "${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in")
  file(READ "${license_file}" license)
  if(NOT license MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
    message(FATAL_ERROR "LICENSE must begin with \"MIT License\", a blank line and "
                        "\"Copyright (c) <years> <holders>\"")
  endif()
  set(SWUG_COPYRIGHT "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" text)
  # A paragraph's text is indented by one blank; an empty line within it is " .".
  string(REPLACE "\n" "\n " text " ${text}")
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  set(SWUG_LICENSE_TEXT "${text}")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in" "${file}" @ONLY)
endfunction()
