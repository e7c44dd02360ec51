# Every test target, in one place. The configurations differ only in options
# (CMakePresets.json):
#   default, sanitize  the GoogleTest suites, the module checks and, with
#                      ZK_FAULT_INJECTION, the allocation-failure sweep
#   fuzz               ZK_FUZZ: the libFuzzer targets of tests/fuzz (clang)
#   tsan               ZK_TSAN: the threaded tests under ThreadSanitizer
# All of them build the same library targets from the same source lists. The
# Windows builds (scripts/windows.sh) build the GoogleTest suites too, and
# CTest runs them under Wine (scripts/wine-run.sh).

include(GoogleTest)
find_package(GTest REQUIRED)
set(ZK_TESTS ${CMAKE_CURRENT_LIST_DIR})

# A GoogleTest program, its tests discovered after the build; a Windows
# program's when CTest runs, so that building needs no Wine.
function(zk_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ZK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# How a test program finds the COM module and zkdata: on Windows by file
# name, beside the program (tests/support/built_file.h). Source files keep
# their Linux paths: under Wine a rooted path without a drive is on the drive
# of the working directory, Z:, which is the Linux root.
if(WIN32)
  set(ZK_DATA_MODULE_PATH "$<TARGET_FILE_NAME:zk_data>")
  set(ZKDATA_PATH "$<TARGET_FILE_NAME:zkdata>")
else()
  set(ZK_DATA_MODULE_PATH "$<TARGET_FILE:zk_data>")
  set(ZKDATA_PATH "$<TARGET_FILE:zkdata>")
endif()

# --- The core: value tree, text conversions and codecs.
file(GLOB ZK_CORE_TEST_SOURCES CONFIGURE_DEPENDS ${ZK_TESTS}/*_test.cpp)
zk_gtest(zk_tests ${ZK_CORE_TEST_SOURCES})
target_link_libraries(zk_tests PRIVATE zk_core)

add_test(NAME zk_data.layers
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
# The symbol check reads ELF archives: in a COFF one, nm shows template
# instances and typeinfo (COMDAT) as strong, and mingw adds .refptr stubs.
if(NOT WIN32)
  add_test(NAME zk_data.core_symbols
    COMMAND ${CMAKE_COMMAND} -DARCHIVE=$<TARGET_FILE:zk_core> -P ${PROJECT_SOURCE_DIR}/cmake/check_core_symbols.cmake)
endif()

# --- The object layer: its code linked in directly.
file(GLOB ZK_OBJECT_TEST_SOURCES CONFIGURE_DEPENDS ${ZK_TESTS}/object/*_test.cpp)
list(FILTER ZK_OBJECT_TEST_SOURCES EXCLUDE REGEX "/host_[^/]*$")
zk_gtest(zk_object_tests ${ZK_OBJECT_TEST_SOURCES})
target_link_libraries(zk_object_tests PRIVATE zk_object)

# The host test: knows the module only by its path, loads it with dlopen
# (LoadLibrary on Windows) and reaches everything through the exports, as a
# real host does. It links none of the library.
file(GLOB ZK_HOST_TEST_SOURCES CONFIGURE_DEPENDS ${ZK_TESTS}/object/host_*.cpp)
zk_gtest(zk_host_tests ${ZK_HOST_TEST_SOURCES})
target_include_directories(zk_host_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(zk_host_tests PRIVATE ZK_DATA_MODULE_PATH="${ZK_DATA_MODULE_PATH}")
target_link_libraries(zk_host_tests PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(zk_host_tests zk_data)

# The DLL's exports have no version script to hold them to: scripts/windows.sh
# checks them.
if(NOT WIN32)
  add_test(NAME zk_data.exports
    COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:zk_data> -DMAP=${PROJECT_SOURCE_DIR}/object/zk_data.map
            -P ${PROJECT_SOURCE_DIR}/object/check_exports.cmake)
endif()

# --- Lua: the bridge and the object methods through a real Lua state, and the
# COM module loaded by path into a process that has Lua. The module's
# script also runs in an embedded state, which sanitized builds can check.
zk_gtest(zk_lua_tests ${ZK_TESTS}/lua/lua_bridge_test.cpp ${ZK_TESTS}/lua/lua_methods_test.cpp
  ${ZK_TESTS}/lua/lua_module_test.cpp ${PROJECT_SOURCE_DIR}/lua/lua_module.cpp)
target_compile_definitions(zk_lua_tests PRIVATE ZK_DATA_MODULE_PATH="${ZK_DATA_MODULE_PATH}"
  ZK_MODULE_TEST_SCRIPT="${ZK_TESTS}/lua/module_test.lua")
target_link_libraries(zk_lua_tests PRIVATE zk_object zk_lua_linked zk_lua zk_core ${CMAKE_DL_LIBS})
add_dependencies(zk_lua_tests zk_data)
if(WIN32)
  # lua54.dll of the dependencies, copied beside the program that loads it.
  target_link_libraries(zk_lua_tests PRIVATE ${ZK_LUA_DLL})
  add_custom_command(TARGET zk_lua_tests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZK_LUA_DLL} $<TARGET_FILE_DIR:zk_lua_tests>)
else()
  target_link_libraries(zk_lua_tests PRIVATE PkgConfig::LUA54)
endif()

# The COM module in a process without any Lua.
zk_gtest(zk_lua_absent_tests ${ZK_TESTS}/lua/lua_absent_test.cpp)
target_include_directories(zk_lua_absent_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(zk_lua_absent_tests PRIVATE ZK_DATA_MODULE_PATH="${ZK_DATA_MODULE_PATH}")
target_link_libraries(zk_lua_absent_tests PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(zk_lua_absent_tests zk_data)

# The module under the stock interpreter. An interpreter built without the
# sanitizers cannot load a module built with them.
if(WIN32)
  # scripts/windows.sh runs the script in lua.exe, beside its lua54.dll.
elseif(ZK_SANITIZE OR ZK_TSAN)
  message(STATUS "zk_data.lua_module test skipped: a sanitized module cannot load into lua5.4")
else()
  find_program(LUA54_INTERPRETER lua5.4)
  if(NOT LUA54_INTERPRETER)
    message(WARNING "lua5.4 not found: the zk_data.lua_module test is not registered")
  else()
    add_test(NAME zk_data.lua_module
      COMMAND ${CMAKE_COMMAND} -E env "LUA_CPATH=$<TARGET_FILE_DIR:zk_data_lua>/?.so"
              ${LUA54_INTERPRETER} ${ZK_TESTS}/lua/module_test.lua)
  endif()
endif()

# --- zkdata: the built tool run as a subprocess on the bundled examples.
zk_gtest(zkdata_tests ${ZK_TESTS}/tools/zkdata_test.cpp)
target_compile_definitions(zkdata_tests PRIVATE ZKDATA_PATH="${ZKDATA_PATH}"
  ZKDATA_EXAMPLES="${PROJECT_SOURCE_DIR}/examples" ZK_DATA_VERSION="${PROJECT_VERSION}")
target_link_libraries(zkdata_tests PRIVATE zk_core)
add_dependencies(zkdata_tests zkdata)

# --- The allocation-failure sweep: only when ZK_FAULT_INJECTION compiles the
# countdown in (the sanitize preset). Every malloc, calloc and realloc of the
# program's own objects goes through the test's wrappers, and the test
# replaces operator new, so that any allocation can be made to fail. The Lua
# module's code is linked in, so its functions run in a state whose
# allocations the sweep controls.
if(ZK_FAULT_INJECTION)
  file(GLOB ZK_ALLOC_TEST_SOURCES CONFIGURE_DEPENDS ${ZK_TESTS}/alloc/*.cpp)
  zk_gtest(zk_alloc_tests ${ZK_ALLOC_TEST_SOURCES} ${PROJECT_SOURCE_DIR}/lua/lua_module.cpp)
  target_link_libraries(zk_alloc_tests PRIVATE zk_object zk_lua_linked zk_lua zk_core PkgConfig::LUA54)
  target_link_options(zk_alloc_tests PRIVATE -Wl,--wrap=malloc -Wl,--wrap=calloc -Wl,--wrap=realloc)
endif()

# --- Fuzz targets (ZK_FUZZ, clang): the core built with coverage, each target
# with libFuzzer's main. scripts/fuzz.sh builds and runs them.
if(ZK_FUZZ)
  add_custom_target(zk_fuzz)
  file(GLOB ZK_FUZZ_SOURCES CONFIGURE_DEPENDS ${ZK_TESTS}/fuzz/fuzz_*.cpp)
  foreach(source ${ZK_FUZZ_SOURCES})
    get_filename_component(target ${source} NAME_WE)
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE zk_core)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    add_dependencies(zk_fuzz ${target})
  endforeach()
endif()

# --- ThreadSanitizer (ZK_TSAN): threads sharing one factory and its objects
# through the module, and the node pool's threads freeing each other's nodes.
# Some kernels map memory where ThreadSanitizer does not expect it; running
# without address randomisation avoids that.
if(ZK_TSAN)
  find_package(Threads REQUIRED)
  add_executable(zk_tsan_threads ${ZK_TESTS}/tsan/threads_test.cpp)
  target_link_libraries(zk_tsan_threads PRIVATE zk_data Threads::Threads)
  # Not discovered: listing its tests would run it outside the wrapper below.
  add_executable(zk_tsan_node_pool ${ZK_TESTS}/node_pool_test.cpp)
  target_link_libraries(zk_tsan_node_pool PRIVATE zk_core GTest::gtest GTest::gtest_main Threads::Threads)
  find_program(SETARCH setarch)
  set(no_aslr)
  if(SETARCH)
    set(no_aslr ${SETARCH} ${CMAKE_SYSTEM_PROCESSOR} -R)
  endif()
  add_custom_target(zk_tsan DEPENDS zk_tsan_threads zk_tsan_node_pool)
  add_test(NAME tsan.threads COMMAND ${no_aslr} $<TARGET_FILE:zk_tsan_threads>)
  add_test(NAME tsan.node_pool COMMAND ${no_aslr} $<TARGET_FILE:zk_tsan_node_pool>)
  set_tests_properties(tsan.threads tsan.node_pool PROPERTIES
    LABELS tsan ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1 exitcode=66")
endif()

# --- Windows only: real COM clients under Wine (tests/windows/windows.cmake).
if(WIN32)
  include(${ZK_TESTS}/windows/windows.cmake)
endif()
