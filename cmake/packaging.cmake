# Installation, the CMake package zk_data (targets zk_data::core and
# zk_data::module), pkg-config's zk_data.pc and the Debian package.
#
# Layout under the prefix (lib is CMAKE_INSTALL_LIBDIR):
#   include/zk_data/           the public headers: text/, value/, codec/,
#                              platform/ and zk_data.h (the object interface)
#   lib/libzk_data_core.a      the core library (C++ API)
#   lib/libzk_data.so.N        the object interface module, SONAME libzk_data.so.<major>
#   lib/lua/5.4/zk_data.so     the Lua module (lua/lua.cmake, ZK_DATA_LUA_CMODDIR)
#   lib/cmake/zk_data/         zk_dataConfig.cmake, version file, targets
#   lib/pkgconfig/zk_data.pc
#   bin/zkdata, share/man/man1/zkdata.1, share/doc/zk_data/

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZK_DATA_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/zk_data)
set(ZK_DATA_PCDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The core: installed as libzk_data_core.a, exported as zk_data::core. Its
# headers need C++20; linking the archive needs expat (and iconv, which is in
# glibc), which no public header includes.
set_target_properties(zk_core PROPERTIES OUTPUT_NAME zk_data_core EXPORT_NAME core)
target_compile_features(zk_core INTERFACE cxx_std_20)
install(TARGETS zk_core EXPORT zk_dataTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zk_data ${CMAKE_INSTALL_INCLUDEDIR})
# Only include/zk_data is installed; the headers beside the sources are private.
install(DIRECTORY include/zk_data DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/generated/zk_data/value/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zk_data/value)

install(EXPORT zk_dataTargets NAMESPACE zk_data:: DESTINATION ${ZK_DATA_CMAKEDIR})
configure_package_config_file(cmake/zk_dataConfig.cmake.in ${PROJECT_BINARY_DIR}/zk_dataConfig.cmake
  INSTALL_DESTINATION ${ZK_DATA_CMAKEDIR} PATH_VARS ZK_DATA_LUA_CMODDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zk_dataConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zk_dataConfig.cmake ${PROJECT_BINARY_DIR}/zk_dataConfigVersion.cmake
  DESTINATION ${ZK_DATA_CMAKEDIR})

# zk_data.pc finds its prefix from its own place, so the tree can be moved.
file(RELATIVE_PATH ZK_DATA_PC_TO_PREFIX /p/${ZK_DATA_PCDIR} /p)
string(REGEX REPLACE "/$" "" ZK_DATA_PC_TO_PREFIX ${ZK_DATA_PC_TO_PREFIX})
configure_file(cmake/zk_data.pc.in ${PROJECT_BINARY_DIR}/zk_data.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zk_data.pc DESTINATION ${ZK_DATA_PCDIR})

# The man page is made from docs/cli.md when configuring.
execute_process(COMMAND awk -v version=${PROJECT_VERSION} -f ${PROJECT_SOURCE_DIR}/cmake/md2man.awk
    ${PROJECT_SOURCE_DIR}/docs/cli.md
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/zkdata.1 COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS docs/cli.md cmake/md2man.awk)
install(FILES ${PROJECT_BINARY_DIR}/zkdata.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md")

# cpack -G DEB (in the build directory) makes zk-data_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zk-data)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "value tree and wire-format codecs: C++ library, COM-style module, Lua module, zkdata tool")
set(CPACK_PACKAGE_CONTACT "zk_data maintainers <zk-data@example.org>")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Linking the static core needs libexpat.so; the Lua module needs an
# interpreter to load it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libexpat1-dev")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lua5.4, pkg-config")
include(CPack)
