# The verifier's figures on a Cortex-M0+ (-Os -mthumb), printed as a table with their targets:
# its sections, its state's size, and the deepest stack a call into it can take, worked out from
# the compiler's call graph with each function's frame. Fails when the core needs anything from
# outside itself (a C library or compiler helper) or keeps data of its own.
#   cmake -DCORE=<core object> -DSTATE=<object of the state (CMakeLists.txt)> -DCOMPILER=<gcc> -DSIZE=<size>
#         -DNM=<nm> -P figures.cmake
cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND ${SIZE} -A ${CORE} OUTPUT_VARIABLE sections COMMAND_ERROR_IS_FATAL ANY)
foreach(section text rodata data bss)
  set(${section} 0)
  if(sections MATCHES "\n\\.${section}[ \t]+([0-9]+)")
    set(${section} ${CMAKE_MATCH_1})
  endif()
endforeach()
execute_process(COMMAND ${NM} -S ${STATE} OUTPUT_VARIABLE state COMMAND_ERROR_IS_FATAL ANY)
if(NOT state MATCHES "[0-9a-f]+ ([0-9a-f]+) [BC] swug_verify_state_size")
  message(FATAL_ERROR "no state size in:\n${state}")
endif()
math(EXPR state_size "0x${CMAKE_MATCH_1}")
execute_process(COMMAND ${NM} -u ${CORE} OUTPUT_VARIABLE outside COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "[ \t]*U " "" outside "${outside}")
string(STRIP "${outside}" outside)
string(REPLACE "\n" ", " outside "${outside}")

# The call graph (-fcallgraph-info=su): every function's frame, and whom it calls. The one
# indirect call is the sum, which on a device is the core's own byte loop.
string(REGEX REPLACE "\\.obj$|\\.o$" ".ci" graph_file "${CORE}")
file(STRINGS ${graph_file} graph)
set(functions "")
set(name___indirect_call sum_bytes)
foreach(line IN LISTS graph)
  if(line MATCHES "^node: { title: \"([^\"]*)\" label: \"([A-Za-z0-9_]+)\\\\n[^\"]*\\\\n([0-9]+) bytes")
    set(name_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    set(frame_${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
    list(APPEND functions ${CMAKE_MATCH_2})
  elseif(line MATCHES "^edge: { sourcename: \"([^\"]*)\" targetname: \"([^\"]*)\"")
    list(APPEND calls_${name_${CMAKE_MATCH_1}} ${name_${CMAKE_MATCH_2}})
  endif()
endforeach()

# Deepest stack from function on down, and the chain that takes it. The core has no recursion,
# so this ends.
function(deepest function)
  set(best 0)
  set(best_chain "")
  foreach(callee IN LISTS calls_${function})
    deepest(${callee})
    if(depth_${callee} GREATER best)
      set(best ${depth_${callee}})
      set(best_chain " + ${chain_${callee}}")
    endif()
  endforeach()
  math(EXPR depth "${frame_${function}} + ${best}")
  set(depth_${function} ${depth} PARENT_SCOPE)
  set(chain_${function} "${function} ${frame_${function}}${best_chain}" PARENT_SCOPE)
endfunction()
set(stack 0)
set(per_call "")
foreach(function IN LISTS functions)
  if(function MATCHES "^swug_verify_")
    deepest(${function})
    string(APPEND per_call "|   ${function} | ${depth_${function}}: ${chain_${function}} | |\n")
    if(depth_${function} GREATER stack)
      set(stack ${depth_${function}})
    endif()
  endif()
endforeach()

# "at most <limit>: met" or "NOT met" for each figure with a target.
math(EXPR data_and_bss "${data} + ${bss}")
set(limits text 1024 state_size 192 stack 256 data_and_bss 0)
while(limits)
  list(POP_FRONT limits figure limit)
  set(${figure}_target "at most ${limit}: met")
  if(${figure} GREATER limit)
    set(${figure}_target "at most ${limit}: NOT met")
  endif()
endwhile()
execute_process(COMMAND ${COMPILER} --version OUTPUT_VARIABLE version)
string(REGEX MATCH "^[^\n]*" version "${version}")
if(outside STREQUAL "")
  set(outside none)
endif()

message("| swug_verify on a Cortex-M0+, -Os -mthumb (${version}) | value | target |
|---|---|---|
| .text, bytes | ${text} | ${text_target} |
| .rodata (constants), bytes | ${rodata} | |
| .data / .bss, bytes | ${data} / ${bss} | ${data_and_bss_target} |
| state struct swug_verify, bytes | ${state_size} | ${state_size_target} |
| deepest stack of one call, bytes | ${stack} | ${stack_target} |
${per_call}| symbols from outside the core | ${outside} | none |")

if(NOT outside STREQUAL "none" OR NOT data_and_bss EQUAL 0)
  message(FATAL_ERROR "the core must stand on its own, without data of its own; it needs "
                      "${outside}, .data ${data}, .bss ${bss} bytes")
endif()
