# cpack runs this after each package generator (CPACK_POST_BUILD_SCRIPTS), before SHA256SUMS are
# taken: it packs the .tar.gz and .zip packages again, their entries sorted by name, owned by root
# (uid and gid 0; see below for the .zip) and dated SOURCE_DATE_EPOCH (see cpack_pre_build.cmake),
# so that one commit gives the same bytes on any machine, whatever order its file system lists a
# folder in. The .deb needs nothing of this: cpack sorts its entries and gives them to root itself.
include("${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake")
swug_source_date_epoch(epoch "${CPACK_SWUG_SOURCE_DIR}")
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.(tar\\.gz|zip)$")
    continue()
  endif()
  set(kind "${CMAKE_MATCH_1}")
  get_filename_component(name "${package}" NAME)
  set(unpacked "${package}.unpacked")
  file(REMOVE_RECURSE "${unpacked}")
  file(MAKE_DIRECTORY "${unpacked}")
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${unpacked}")
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${unpacked}" "${unpacked}/*")
  list(SORT entries)
  if(kind STREQUAL "tar.gz")
    # GNU tar sets owners and names; gzip -9n adds no name or time stamp of its own.
    find_program(SWUG_TAR NAMES gtar tar)
    find_program(SWUG_GZIP gzip)
    execute_process(COMMAND "${SWUG_TAR}" --version OUTPUT_VARIABLE version ERROR_QUIET)
    if(NOT version MATCHES "GNU tar" OR NOT SWUG_GZIP)
      message(FATAL_ERROR "packing ${name} reproducibly needs GNU tar and gzip")
    endif()
    list(JOIN entries "\n" listed)
    file(WRITE "${unpacked}.list" "${listed}\n")
    execute_process(
      COMMAND "${SWUG_TAR}" --create --format=gnu --no-recursion --owner=0 --group=0
        --numeric-owner "--mtime=@${epoch}" "--files-from=${unpacked}.list"
      COMMAND "${SWUG_GZIP}" -9n
      WORKING_DIRECTORY "${unpacked}"
      OUTPUT_FILE "${package}.part"
      RESULTS_VARIABLE statuses ERROR_VARIABLE complaint)
  else()
    # cmake -E tar adds the listed files in the order given, dated SOURCE_DATE_EPOCH. It can't
    # set owners: a zip's Unix extra field holds the packer's uid and gid (0 when root packs).
    list(FILTER entries EXCLUDE REGEX "/$")
    set(files "")
    foreach(entry IN LISTS entries)
      if(NOT IS_DIRECTORY "${unpacked}/${entry}")
        list(APPEND files "${entry}")
      endif()
    endforeach()
    list(JOIN files "\n" listed)
    file(WRITE "${unpacked}.list" "${listed}\n")
    execute_process(
      COMMAND "${CMAKE_COMMAND}" -E tar cf "${package}.part" --format=zip
        "--files-from=${unpacked}.list"
      WORKING_DIRECTORY "${unpacked}"
      RESULTS_VARIABLE statuses ERROR_VARIABLE complaint)
  endif()
  file(REMOVE_RECURSE "${unpacked}" "${unpacked}.list")
  if(NOT statuses MATCHES "^0(;0)*$")
    file(REMOVE "${package}.part")
    message(FATAL_ERROR "packing ${name} again failed (${statuses}): ${complaint}")
  endif()
  file(RENAME "${package}.part" "${package}")
  message(STATUS "${name} packed again: entries sorted, owned by root, dated ${epoch}")
endforeach()
