# swug_source_date_epoch(<out> <source folder>): the time that dated outputs (man pages, package
# entries) carry, in seconds since 1970, so that one commit always gives the same bytes:
# SOURCE_DATE_EPOCH from the environment when set, else the time of the last commit, else (a source
# tree without git) the time VERSION was last changed.
function(swug_source_date_epoch out source_dir)
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(epoch STREQUAL "")
    find_program(SWUG_GIT git)
    if(SWUG_GIT)
      execute_process(COMMAND "${SWUG_GIT}" -C "${source_dir}" log -1 --format=%ct
        RESULT_VARIABLE status OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(NOT status EQUAL 0)
        set(epoch "")
      endif()
    endif()
  endif()
  if(epoch STREQUAL "")
    file(TIMESTAMP "${source_dir}/VERSION" epoch "%s" UTC)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not \"${epoch}\"")
  endif()
  set(${out} "${epoch}" PARENT_SCOPE)
endfunction()
