# The Debian package: CPack's DEB generator over the install rules, so the package holds exactly
# what `cmake --install` gives (the tests check that), with the dependencies dpkg-shlibdeps finds
# in the program. scripts/package configures, builds, runs CPack and lintian.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovra)
set(CPACK_PACKAGE_VERSION ${KOVRA_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${KOVRA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "follow growing log files in a window")
set(CPACK_PACKAGE_DESCRIPTION [[
Kovra keeps growing log files in view on the desktop. Each window follows one
file, or the newest file matching a wildcard pattern, and shows its end as soon
as the file changes, through appends, truncation and rotation. It follows the
systemd journal too, and files on other machines over SSH (SFTP) with nothing
installed on the server.

It filters the lines with a regular expression and context lines, raises
alerts on matching lines (an alerts window, a desktop notification, a sound or
an e-mail), can replace IPv4 addresses by host names, and keeps a list of file
definitions in a manager and a tree.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KOVRA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the SVG pictures and icon plugins.
# The icons go into the hicolor theme that package owns.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, hicolor-icon-theme")
# Qt's Wayland platform (without it a Wayland session runs Kovra through XWayland), and the
# decoders of the alert sounds.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "iputils-ping, traceroute, x-terminal-emulator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
