# Windows only: zk_data.dll under real COM clients, and the zip. CTest runs
# the programs under Wine (CMAKE_CROSSCOMPILING_EMULATOR) or natively.
#
#   zk_com_host_tests.*              a C++ host: LoadLibrary, DllGetClassObject,
#                                    the method tables, IDispatch over the
#                                    embedded type library, aggregation,
#                                    DllCanUnloadNow
#   windows.registration.register    zk_data_register.js registers the build's
#                                    DLL, checked key by key (fixture set-up)
#   windows.jscript_client,          cscript: CreateObject by ProgID and the
#   windows.vbscript_client          late-bound methods
#   windows.registered_host          CoCreateInstance, ProgIDs and the type
#                                    library through the registry
#   windows.registration.unregister  removes the registration (fixture clean-up)
#   windows.zip                      cpack's zip holds exactly the files it should
#
# A 32-bit build cross-compiled on 64-bit Wine only builds the programs: Wine
# here runs 64-bit programs alone, and a 64-bit cscript cannot load a 32-bit
# DLL.

zk_gtest(zk_com_host_tests ${ZK_TESTS}/windows/com_host_test.cpp)
target_include_directories(zk_com_host_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(zk_com_host_tests PRIVATE ole32 oleaut32 uuid)
add_dependencies(zk_com_host_tests zk_data)
# The test loads the DLL from its own folder.
add_custom_command(TARGET zk_com_host_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:zk_data> $<TARGET_FILE_DIR:zk_com_host_tests>)

# Not discovered: its tests run as one, after the registration.
add_executable(zk_com_registered_tests ${ZK_TESTS}/windows/com_registered_test.cpp)
target_include_directories(zk_com_registered_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(zk_com_registered_tests PRIVATE GTest::gtest GTest::gtest_main ole32 oleaut32 uuid)
add_dependencies(zk_com_registered_tests zk_data)

if(NOT CMAKE_CROSSCOMPILING OR CMAKE_SIZEOF_VOID_P EQUAL 8)
  # Paths as the Windows programs take them: Wine shows the Linux root as Z:.
  if(CMAKE_CROSSCOMPILING)
    set(drive Z:)
  endif()
  set(cscript ${CMAKE_CROSSCOMPILING_EMULATOR} cscript //nologo)
  set(dll ${drive}$<TARGET_FILE:zk_data>)
  set(script ${drive}${PROJECT_BINARY_DIR}/zk_data_register.js)  # cmake/windows_package.cmake
  # The script as the 32-bit zip has it, which writes the 32-bit view.
  set(script32 ${PROJECT_BINARY_DIR}/tests/windows/zk_data_register32.js)
  block()
    set(ZK_DLL_BITS 32)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/zk_data_register.js.in ${script32} @ONLY)
  endblock()
  set(script32 ${drive}${script32})

  add_test(NAME windows.registration.register
    COMMAND ${cscript} ${drive}${ZK_TESTS}/windows/registration_test.js register ${script} ${dll} ${script32})
  add_test(NAME windows.registration.unregister
    COMMAND ${cscript} ${drive}${ZK_TESTS}/windows/registration_test.js unregister ${script} ${dll})
  add_test(NAME windows.jscript_client COMMAND ${cscript} ${drive}${ZK_TESTS}/windows/client_test.js)
  add_test(NAME windows.vbscript_client
    COMMAND ${cscript} ${drive}${ZK_TESTS}/windows/client_test.vbs ${drive}${ZK_TESTS}/windows)
  add_test(NAME windows.registered_host COMMAND zk_com_registered_tests)
  set_tests_properties(windows.registration.register PROPERTIES FIXTURES_SETUP zk_com_registered)
  set_tests_properties(windows.registration.unregister PROPERTIES FIXTURES_CLEANUP zk_com_registered)
  set_tests_properties(windows.jscript_client windows.vbscript_client windows.registered_host
    PROPERTIES FIXTURES_REQUIRED zk_com_registered)
endif()

# cpack runs on the build machine, whatever the target.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bits 64)
else()
  set(bits 32)
endif()
add_test(NAME windows.zip
  COMMAND ${CMAKE_COMMAND} -DCPACK=${CMAKE_CPACK_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DSOURCE=${PROJECT_SOURCE_DIR}
          -DVERSION=${PROJECT_VERSION} -DBITS=${bits} -P ${ZK_TESTS}/windows/check_zip.cmake)
