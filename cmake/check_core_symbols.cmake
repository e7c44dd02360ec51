# Checks that the core archive defines no global symbol outside namespace zk:
# a program that links the core must not get C functions such as the
# platform's SetLastError or SysAllocString, nor anything else that could
# collide with its own or the system's. Weak C++ template instances and the
# compiler's personality reference are allowed.
cmake_minimum_required(VERSION 3.25)
# Run as: cmake -DARCHIVE=<libzk_data_core.a> -P check_core_symbols.cmake
execute_process(COMMAND nm -g -C --defined-only ${ARCHIVE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm failed on ${ARCHIVE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(foreign)
foreach(line ${lines})
  # "<address> <type> <name>"; strong definitions have an upper-case type
  # other than W/V (weak) and U (undefined, not listed here).
  if(line MATCHES "^[0-9a-f]+ ([A-Z]) (.*)$")
    set(type ${CMAKE_MATCH_1})
    set(name "${CMAKE_MATCH_2}")
    if(NOT type MATCHES "[WV]" AND NOT name MATCHES "zk::" AND NOT name STREQUAL "DW.ref.__gxx_personality_v0")
      list(APPEND foreign "${name}")
    endif()
  endif()
endforeach()
if(foreign)
  list(JOIN foreign "\n  " text)
  message(FATAL_ERROR "${ARCHIVE} defines symbols outside namespace zk:\n  ${text}")
endif()
