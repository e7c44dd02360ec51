# The Windows zip. "cpack" in the build directory (CPack, generator ZIP)
# makes zk_data-<version>-win64.zip, or -win32.zip from a 32-bit build, with
# one folder of that name holding:
#
#   bin/zk_data.dll                the COM server (object/object.cmake)
#   bin/zkdata.exe                 the command-line tool (tools/tools.cmake)
#   bin/zk_data_register.js        registers the server for CreateObject
#   lib/lua/5.4/zk_data.dll        the Lua module (lua/lua.cmake), where a
#                                  lua.exe in bin/ looks for C modules
#   include/zk_data/               the public headers
#   README.md, CHANGELOG.md, docs/ the documentation, with
#                                  docs/windows-registration.md
#
# The programs need no DLL but the system's; the Lua module also needs the
# host's lua54.dll. tests/windows/windows.cmake checks what the zip holds.

include(GNUInstallDirs)

# The registration script is the DLL's: it writes the registry view of the
# DLL's bitness (packaging/windows/README.md).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZK_DLL_BITS 64)
else()
  set(ZK_DLL_BITS 32)
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/zk_data_register.js.in
  ${PROJECT_BINARY_DIR}/zk_data_register.js @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zk_data_register.js DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY include/zk_data DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/generated/zk_data/value/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zk_data/value)

install(FILES README.md CHANGELOG.md DESTINATION .)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES LICENSE DESTINATION .)
endif()
install(DIRECTORY docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md")
install(FILES packaging/windows/README.md DESTINATION docs RENAME windows-registration.md)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zk_data)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zk_data-${PROJECT_VERSION}-win${ZK_DLL_BITS})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "value tree and wire-format codecs: COM server, Lua module, zkdata tool")
set(CPACK_STRIP_FILES ON)
include(CPack)
