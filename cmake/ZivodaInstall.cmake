# Install rules, a CMake package config and a pkg-config file, so a host links the
# library the way it links any other.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS ziVodaRerodo voZuzu viRAZera vaRodurod EXPORT ziVodaRerodoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ziVodaRerodoTargets NAMESPACE ziVodaRerodo::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ziVodaRerodo)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodoConfig.cmake
  "include(\${CMAKE_CURRENT_LIST_DIR}/ziVodaRerodoTargets.cmake)\n")
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodoConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodoConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ziVodaRerodo)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/ziVodaRerodo.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodo.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ziVodaRerodo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
