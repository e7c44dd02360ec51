# Checks that every layer includes only itself and the layers below it, as
# docs/architecture.md draws them. An include is named by its first folder:
# "zk_data/value/..." and "value/..." are both the value layer.
cmake_minimum_required(VERSION 3.25)
# Run as: cmake -DROOT=<source dir> -P check_layers.cmake

# layer: the layers its files may include (itself included)
set(allowed_text     text)
set(allowed_value    text value)
set(allowed_codec    text value codec)
set(allowed_platform platform)
set(allowed_lua      text value codec lua)
set(allowed_object   text value codec platform lua object)
set(allowed_tools    text value codec tools)

set(faults)
foreach(layer text value codec platform lua object tools)
  file(GLOB_RECURSE files ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp
       ${ROOT}/include/zk_data/${layer}/*.h)
  if(layer STREQUAL "object")
    list(APPEND files ${ROOT}/include/zk_data/zk_data.h)
  endif()
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"(zk_data/)?([^\"]*)\".*$" "\\2" path "${line}")
      if(path STREQUAL "zk_data.h")
        set(target object)  # the host header of the object interface
      elseif(path MATCHES "^([a-z_]+)/")
        set(target ${CMAKE_MATCH_1})
      else()
        set(target ${layer})  # a header beside the file
      endif()
      if(NOT target IN_LIST allowed_${layer})
        file(RELATIVE_PATH name ${ROOT} ${file})
        string(REPLACE ";" ", " may "${allowed_${layer}}")
        list(APPEND faults "${name}: ${line} (${layer} may include ${may})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes that reach up or across a layer:\n  ${text}")
endif()
