# `cpack -G DEB` in a Linux build: the package pellicor (the program, its
# Simple MAPI provider and the man page) and pellicor-dev (what host products
# build against). `cpack -G ZIP` in the MinGW build: pellicor.exe alone, as
# Windows' own mapi32.dll is the mail client's.
set(CPACK_PACKAGE_NAME pellicor)
set(CPACK_PACKAGE_VENDOR "Pellicor")
set(CPACK_PACKAGE_CONTACT "Pellicor maintainers <maintainers@users.noreply.c-seed-5788de08.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    # The program alone: the libraries for host products are not shipped for Windows.
    set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Runtime;/")
    set(CPACK_PACKAGE_FILE_NAME pellicor-${PROJECT_VERSION}-win64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_COMPONENTS_ALL Runtime Development)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION mail)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

    # The first line of each description is the package's summary.
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME pellicor)
    set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Hands a problem report to the user's own mail client
A host application starts pellicor when its user reports a problem or after a
crash. It turns the request into one e-mail to the product's support and hands
it to the user's own mail client, through Simple MAPI or a mailto: URL, so the
user sees the mail before it goes out.")
    # libxml2, libzip and the C++ runtime, with the versions the build saw.
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
    # Both routes to the mail client go through xdg-utils.
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "xdg-utils")
    # The file manager is asked through dbus-send; without it the folder opens.
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "dbus-bin")

    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME pellicor-dev)
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
    # Pellicor::config hands out libxml2 nodes; hosts compile against libxml2 too.
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libxml2-dev")
    set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Pellicor's logging and configuration libraries for host products
Headers, static libraries, the CMake package Pellicor and pkg-config files
for host products that share Pellicor's logging and XML configuration.")
endif()

include(CPack)
