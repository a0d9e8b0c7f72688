# Read by cpack for each generator. Without dpkg-shlibdeps CPack would quietly build a .deb
# that declares none of the libraries the programs need, so stop instead.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
    find_program(VELLUMPAD_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(NOT VELLUMPAD_DPKG_SHLIBDEPS)
        message(FATAL_ERROR "dpkg-shlibdeps was not found, so the package's Depends could not be computed. "
                            "Install the Debian package dpkg-dev and run cpack again.")
    endif()
endif()

# The package's version must be the latest entry of its changelog and of the software centre's release
# list; a version raised in one place only would ship a history that stops one release short.
if(CPACK_GENERATOR STREQUAL "DEB")
    file(STRINGS "${CPACK_VELLUMPAD_CHANGELOG}" top LIMIT_COUNT 1)
    if(NOT top MATCHES "^vellumpad \\(${CPACK_PACKAGE_VERSION}\\) ")
        message(FATAL_ERROR "The first entry of ${CPACK_VELLUMPAD_CHANGELOG} is not version "
                            "${CPACK_PACKAGE_VERSION}: add an entry for it at the top.")
    endif()
    file(READ "${CPACK_VELLUMPAD_METAINFO}" metainfo)
    if(NOT metainfo MATCHES "<releases>[ \t\r\n]*<release version=\"${CPACK_PACKAGE_VERSION}\"")
        message(FATAL_ERROR "The first release in ${CPACK_VELLUMPAD_METAINFO} is not version "
                            "${CPACK_PACKAGE_VERSION}: add a <release> for it at the top.")
    endif()
endif()
