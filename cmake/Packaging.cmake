# A Debian package of everything `cmake --install` puts in place: the program, the device simulator
# and its relay, the .desktop file and the icon.
#   cmake --build --preset default --target package   (or: cd build/default && cpack -G DEB)
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "fernwick")
set(CPACK_PACKAGE_VENDOR "Fernwick")
set(CPACK_PACKAGE_CONTACT "Fernwick developers <fernwick@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries the binary links (Qt Core/Gui/Widgets/Svg, libstdc++) come from dpkg-shlibdeps; their
# packages also carry the platform and SVG plugins. The simulator is a Python 3 program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The simulator uses PEP 604 unions (str | None) in dataclass fields, evaluated at import: 3.10.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.10)")
# Opening a device's web page goes through the desktop's URL handler.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
