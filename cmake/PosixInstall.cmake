# Install rules for the POSIX build: the header, libzorva_sound.so, a CMake package (target zorva_sound::zorva_sound,
# and zorva_add_wave_resources for hosts that embed their sounds) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(ZORVA_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zorva_sound)

install(TARGETS zorva_sound EXPORT zorva_sound-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zorva_sound.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT zorva_sound-targets NAMESPACE zorva_sound:: DESTINATION ${ZORVA_CMAKE_PACKAGE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zorva_sound-config.cmake.in
  ${PROJECT_BINARY_DIR}/zorva_sound-config.cmake
  INSTALL_DESTINATION ${ZORVA_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zorva_sound-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/zorva_sound-config.cmake
  ${PROJECT_BINARY_DIR}/zorva_sound-config-version.cmake
  ${CMAKE_CURRENT_LIST_DIR}/ZorvaWaveResources.cmake
  DESTINATION ${ZORVA_CMAKE_PACKAGE_DIR})

file(RELATIVE_PATH ZORVA_PC_PREFIX_FROM_PCFILEDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" ZORVA_PC_PREFIX_FROM_PCFILEDIR "${ZORVA_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zorva_sound.pc.in ${PROJECT_BINARY_DIR}/zorva_sound.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zorva_sound.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
