# The Debian package (scripts/package.sh): what `cmake --install` puts under /usr. Its
# dependencies come from the libraries the programs link (dpkg-shlibdeps); the SDK library is
# the package's own, found through the programs' RUNPATH inside the package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fleetset)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "fleetset developers <fleetset@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Finds the IP cameras on the LAN and looks after many at once")
set(CPACK_PACKAGE_DESCRIPTION
    "fleetset lists the IP cameras on one LAN and applies one job to many at once: firmware upgrade, "
    "new addresses, DHCP, logo, shell command, clock and device settings. It holds the windowed program "
    "fleetset with its factory test station, the command line fleetset-cli, the simulated camera fleet "
    "fleetset-sim, and the device SDK library libovix_client with its C header.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The about box's Chinese texts; a firewall tool lets the window open the discovery port.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ufw | firewalld")
include(CPack)
