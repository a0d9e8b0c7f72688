# Read by cpack for each generator. Without dpkg-shlibdeps CPack would quietly build a .deb
# that declares none of the libraries the programs need, so stop instead.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
    find_program(VELLUMPAD_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(NOT VELLUMPAD_DPKG_SHLIBDEPS)
        message(FATAL_ERROR "dpkg-shlibdeps was not found, so the package's Depends could not be computed. "
                            "Install the Debian package dpkg-dev and run cpack again.")
    endif()
endif()
