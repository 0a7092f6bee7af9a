# The Debian package, built by CPack from the install rules (packaging/):
# cpack -G DEB in the build folder, or scripts/package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlogix)
set(CPACK_PACKAGE_VERSION ${ORLOGIX_DEB_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orlogix developers")
set(CPACK_PACKAGE_CONTACT ${ORLOGIX_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flight downloads and analysis for paraglider and hang-glider pilots")
# The summary is the first line; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orlogix downloads track logs, waypoints and airspaces from free-flight
instruments and GPS receivers (serial ports and Garmin USB), sends waypoints,
airspaces and pilot data back, reads and writes IGC, KML, GPX and other track,
waypoint and airspace files, analyses flights (statistics, free distance,
triangles, online-contest scoring) and files signed competition tracks.
It runs as a desktop program and as an unattended command line; orlogix-sim
plays an instrument on a pseudo-terminal for trying it without one.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORLOGIX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ORLOGIX_HOMEPAGE})
# The dependencies are what dpkg-shlibdeps finds the programs linked against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded when a USB port is first used, so the dependency finder cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libusb-1.0-0 (>= 2:1.0.22)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
