# What `cmake --install` lays out, in two components:
#   Runtime      bin/pellicor, lib/pellicor/libmapi32.so, the man page
#   Development  the libraries a host product shares with us: headers, static
#                libraries, the CMake package Pellicor and a pkg-config file each
#   find_package(Pellicor CONFIG REQUIRED)
#   target_link_libraries(host PRIVATE Pellicor::logging Pellicor::config Pellicor::report)
include(CMakePackageConfigHelpers)

set(PELLICOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pellicor)
set(PELLICOR_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The platform and text libraries travel along: the static libraries need
# them at link time.
set_target_properties(pellicor_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(pellicor_text PROPERTIES EXPORT_NAME text)
install(TARGETS pellicor_logging pellicor_config pellicor_report pellicor_platform pellicor_text
    EXPORT PellicorTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES logging/include/pellicor/logging.h config/include/pellicor/config.h
    config/include/pellicor/config_store.h config/include/pellicor/product_config.h report/include/pellicor/report.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pellicor
    COMPONENT Development)

install(EXPORT PellicorTargets
    NAMESPACE Pellicor::
    DESTINATION ${PELLICOR_CMAKE_DIR}
    COMPONENT Development)
configure_package_config_file(cmake/PellicorConfig.cmake.in
    ${PROJECT_BINARY_DIR}/PellicorConfig.cmake
    INSTALL_DESTINATION ${PELLICOR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PellicorConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/PellicorConfig.cmake
    ${PROJECT_BINARY_DIR}/PellicorConfigVersion.cmake
    DESTINATION ${PELLICOR_CMAKE_DIR}
    COMPONENT Development)

# For hosts without CMake. The prefix is found from the file's own place, so
# an install moved elsewhere, or made with `cmake --install --prefix`, still works.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR
    ${CMAKE_INSTALL_PREFIX}/${PELLICOR_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")
set(PC_DL_LIBS "")
foreach(lib IN LISTS CMAKE_DL_LIBS)
    string(APPEND PC_DL_LIBS " -l${lib}")
endforeach()
string(STRIP "${PC_DL_LIBS}" PC_DL_LIBS)
foreach(library logging config report)
    configure_file(cmake/pkgconfig/pellicor-${library}.pc.in
        ${PROJECT_BINARY_DIR}/pkgconfig/pellicor-${library}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/pellicor-${library}.pc
        DESTINATION ${PELLICOR_PKGCONFIG_DIR}
        COMPONENT Development)
endforeach()

# The man page, with this version in its footer, compressed where gzip is at
# hand, as Debian keeps them.
if(NOT WIN32)
    set(man_page ${PROJECT_BINARY_DIR}/man/pellicor.1)
    configure_file(doc/pellicor.1.in ${man_page} @ONLY)
    find_program(PELLICOR_GZIP gzip)
    if(PELLICOR_GZIP)
        add_custom_command(OUTPUT ${man_page}.gz
            COMMAND ${PELLICOR_GZIP} -9 -n -c ${man_page} > ${man_page}.gz
            DEPENDS ${man_page}
            VERBATIM)
        add_custom_target(pellicor_man ALL DEPENDS ${man_page}.gz)
        string(APPEND man_page .gz)
    endif()
    install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
endif()
