# What Windows shows of swug_gen.exe and swug_info.exe: a version resource made from VERSION (file
# and product version, product name, description) and LICENSE (copyright), and the application
# manifest cmake/windows/swug.manifest (supported Windows versions, long paths, UTF-8).
enable_language(RC)

file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" SWUG_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
if(NOT SWUG_COPYRIGHT)
  message(FATAL_ERROR "LICENSE must hold a line that begins with \"Copyright \"")
endif()

# Four numbers for the binary version fields: 1.0 is 1,0,0,0.
set(SWUG_RC_VERSION_NUMBERS "")
foreach(part MAJOR MINOR PATCH TWEAK)
  set(number "${PROJECT_VERSION_${part}}")
  if(number STREQUAL "")
    set(number 0)
  endif()
  list(APPEND SWUG_RC_VERSION_NUMBERS ${number})
endforeach()
string(REPLACE ";" "," SWUG_RC_VERSION_NUMBERS "${SWUG_RC_VERSION_NUMBERS}")

set(SWUG_MANIFEST "${PROJECT_SOURCE_DIR}/cmake/windows/swug.manifest")

function(swug_windows_resources target description)
  set(SWUG_RC_NAME ${target})
  set(SWUG_RC_DESCRIPTION "${description}")
  if(MSVC)
    # The linker embeds a manifest of its own, with this one merged in.
    set(SWUG_RC_MANIFEST "")
    target_sources(${target} PRIVATE "${SWUG_MANIFEST}")
  else()
    # 1 is the manifest that the loader reads for a program, 24 the manifest resource type.
    set(SWUG_RC_MANIFEST "1 24 \"${SWUG_MANIFEST}\"")
  endif()
  set(rc "${PROJECT_BINARY_DIR}/${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in" "${rc}" @ONLY)
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${SWUG_MANIFEST}")
  target_sources(${target} PRIVATE "${rc}")
endfunction()

swug_windows_resources(swug_gen "Packs a software image into an upgrade image")
swug_windows_resources(swug_info "Checks an upgrade image and writes its parts out again")
