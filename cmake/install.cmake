# The libraries a host product shares with us, as the CMake package Pellicor:
#   find_package(Pellicor CONFIG REQUIRED)
#   target_link_libraries(host PRIVATE Pellicor::logging Pellicor::config)
include(CMakePackageConfigHelpers)

set(PELLICOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pellicor)

# The platform library travels along: the static libraries need it at link time.
set_target_properties(pellicor_platform PROPERTIES EXPORT_NAME platform)
install(TARGETS pellicor_logging pellicor_config pellicor_platform
    EXPORT PellicorTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES logging/include/pellicor/logging.h config/include/pellicor/config.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pellicor)

install(EXPORT PellicorTargets
    NAMESPACE Pellicor::
    DESTINATION ${PELLICOR_CMAKE_DIR})
configure_package_config_file(cmake/PellicorConfig.cmake.in
    ${PROJECT_BINARY_DIR}/PellicorConfig.cmake
    INSTALL_DESTINATION ${PELLICOR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PellicorConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/PellicorConfig.cmake
    ${PROJECT_BINARY_DIR}/PellicorConfigVersion.cmake
    DESTINATION ${PELLICOR_CMAKE_DIR})
