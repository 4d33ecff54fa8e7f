# CPack runs this after each package generator: it writes SHA256SUMS beside the packages, one
# "<sha256>  <file name>" line per package, the format `sha256sum -c SHA256SUMS` checks. Lines for
# packages made earlier stay while their file is still there; a package made again gets a new line.
# CPACK_PACKAGE_FILES are still in CPack's scratch folder here; they go to CPACK_PACKAGE_DIRECTORY.
set(folder "${CPACK_PACKAGE_DIRECTORY}")
set(sums_file "${folder}/SHA256SUMS")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  set(lines "")
  if(EXISTS "${sums_file}")
    file(STRINGS "${sums_file}" lines)
  endif()
  file(SHA256 "${package}" sum)
  set(kept "${sum}  ${name}")
  foreach(line IN LISTS lines)
    # Two steps: a condition's ${...} is expanded before any of its tests run, so the file name
    # must be taken from the match before it is used in a path.
    if(NOT line MATCHES "^[0-9a-f]+  (.+)$")
      continue()
    endif()
    set(listed "${CMAKE_MATCH_1}")
    if(NOT listed STREQUAL name AND EXISTS "${folder}/${listed}")
      list(APPEND kept "${line}")
    endif()
  endforeach()
  list(JOIN kept "\n" text)
  file(WRITE "${sums_file}" "${text}\n")
  message(STATUS "SHA-256 of ${name} listed in ${sums_file}")
endforeach()
