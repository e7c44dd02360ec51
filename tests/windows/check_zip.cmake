# Makes the Windows zip of a build tree with cpack and checks that it holds
# exactly the files it should, each program of the zip's bitness:
#
#   cmake -DCPACK=<cpack> -DBUILD=<build tree> -DSOURCE=<source tree>
#         -DVERSION=<version> -DBITS=64|32 -P check_zip.cmake

set(name zk_data-${VERSION}-win${BITS})
set(work ${BUILD}/zip-check)
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CPACK} -G ZIP --config ${BUILD}/CPackConfig.cmake -B ${work}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS ${work}/${name}.zip)
  message(FATAL_ERROR "cpack made no ${name}.zip (status ${status}):\n${output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${work}/${name}.zip
  RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${name}.zip: ${error}")
endif()
string(REPLACE "\n" ";" listing "${listing}")
set(found)
foreach(entry IN LISTS listing)
  if(entry AND NOT entry MATCHES "/$")  # folders are not files
    list(APPEND found ${entry})
  endif()
endforeach()

# What the zip must hold: the headers and documents of the source tree and
# the files below.
file(GLOB_RECURSE headers RELATIVE ${SOURCE} ${SOURCE}/include/zk_data/*.h)
file(GLOB docs RELATIVE ${SOURCE} ${SOURCE}/docs/*.md)
set(expected ${headers} ${docs}
  bin/zk_data.dll bin/zkdata.exe bin/zk_data_register.js lib/lua/5.4/zk_data.dll
  include/zk_data/value/version.h README.md CHANGELOG.md docs/windows-registration.md)
if(EXISTS ${SOURCE}/LICENSE)
  list(APPEND expected LICENSE)
endif()
list(TRANSFORM expected PREPEND ${name}/)

list(SORT found)
list(SORT expected)
set(missing ${expected})
list(REMOVE_ITEM missing ${found})
set(unexpected ${found})
list(REMOVE_ITEM unexpected ${expected})
set(problems)
if(missing)
  list(JOIN missing "\n  " missing)
  string(APPEND problems "missing from ${name}.zip:\n  ${missing}\n")
endif()
if(unexpected)
  list(JOIN unexpected "\n  " unexpected)
  string(APPEND problems "not expected in ${name}.zip:\n  ${unexpected}\n")
endif()

# The programs are of the zip's bitness: the machine field of their PE
# header, and the registry view the registration script writes.
file(MAKE_DIRECTORY ${work}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${work}/${name}.zip WORKING_DIRECTORY ${work}/unpacked
  RESULT_VARIABLE status)
set(root ${work}/unpacked/${name})
if(BITS EQUAL 64)
  set(machine 6486)  # IMAGE_FILE_MACHINE_AMD64, little-endian
else()
  set(machine 4c01)  # IMAGE_FILE_MACHINE_I386
endif()
foreach(program bin/zk_data.dll bin/zkdata.exe lib/lua/5.4/zk_data.dll)
  if(NOT EXISTS ${root}/${program})
    continue()
  endif()
  file(READ ${root}/${program} header_offset OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" header_offset ${header_offset})
  math(EXPR field "0x${header_offset} + 4")
  file(READ ${root}/${program} found_machine OFFSET ${field} LIMIT 2 HEX)
  if(NOT found_machine STREQUAL machine)
    string(APPEND problems "${program} is not a ${BITS}-bit program (machine ${found_machine})\n")
  endif()
endforeach()
file(READ ${root}/bin/zk_data_register.js script)
string(FIND "${script}" "\nvar DLL_BITS = ${BITS};\n" at)
if(at EQUAL -1)
  string(APPEND problems "bin/zk_data_register.js is not the script of a ${BITS}-bit DLL\n")
endif()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "${name}.zip holds the ${BITS}-bit programs and the files it should")
