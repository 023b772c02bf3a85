# Finds libzip without its CMake package: Debian's refers to command-line
# tools that live in other packages, so it fails to load where they are
# missing. Gives LibZip::LibZip.
find_path(LibZip_INCLUDE_DIR zip.h)
find_library(LibZip_LIBRARY NAMES zip libzip)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(LibZip REQUIRED_VARS LibZip_LIBRARY LibZip_INCLUDE_DIR)

if(LibZip_FOUND AND NOT TARGET LibZip::LibZip)
    add_library(LibZip::LibZip UNKNOWN IMPORTED)
    set_target_properties(LibZip::LibZip PROPERTIES
        IMPORTED_LOCATION "${LibZip_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${LibZip_INCLUDE_DIR}")
    # A static libzip brings its own dependencies to the link.
    if(LibZip_LIBRARY MATCHES "\\.a$")
        find_package(ZLIB REQUIRED)
        set_property(TARGET LibZip::LibZip APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
        if(WIN32)
            set_property(TARGET LibZip::LibZip APPEND PROPERTY INTERFACE_LINK_LIBRARIES advapi32 bcrypt)
        endif()
    endif()
endif()
mark_as_advanced(LibZip_INCLUDE_DIR LibZip_LIBRARY)
