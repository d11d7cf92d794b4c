# SPDX-License-Identifier: GPL-3.0-or-later
# Two Debian packages of what `cmake --install` puts in place:
#   fernwick         the program, fernwick-cli, the .desktop file, icon, AppStream metainfo, manual
#                    pages and shell completion;
#   fernwick-devsim  the device simulator and its lossy relay (Python 3), a test tool most users of
#                    fernwick never need.
#   cmake --build --preset default --target package   (or: cd build/default && cpack -G DEB)

# AppStream wants a reverse-DNS id; it is the homepage's host turned round.
set(FERNWICK_APP_ID "org.example.fernwick")

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

# A release needs its changelog entry and its AppStream release line.
file(STRINGS ${packaging_dir}/changelog changelog_head LIMIT_COUNT 1)
file(STRINGS ${packaging_dir}/fernwick.metainfo.xml.in metainfo_release REGEX "<release version=" LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^fernwick \\(${PROJECT_VERSION}\\) "
   OR NOT metainfo_release MATCHES "version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/changelog and packaging/fernwick.metainfo.xml.in need an entry for ${PROJECT_VERSION}")
endif()

# Documentation: the machine-readable copyright and the changelog (compressed as Debian wants: gzip -9n)
# in each package's doc folder.
configure_file(${packaging_dir}/copyright ${packaging_out}/copyright @ONLY)
configure_file(${packaging_dir}/changelog ${packaging_out}/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${packaging_out}/changelog COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${packaging_out}/copyright ${packaging_out}/changelog.gz ${PROJECT_SOURCE_DIR}/README.md
              ${packaging_out}/THIRD-PARTY
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fernwick COMPONENT fernwick)
install(FILES ${packaging_out}/copyright ${packaging_out}/changelog.gz ${PROJECT_SOURCE_DIR}/tools/devsim/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fernwick-devsim COMPONENT devsim)

# The header-only libraries compiled into fernwick and fernwick-cli, with their notices and the source
# offer; the libraries they load (Qt, libgcrypt, the C++ runtime) come with their own packages.
fernwick_third_party(${packaging_out}/THIRD-PARTY
    TITLE "Third-party notices: the fernwick package ${PROJECT_VERSION}"
    PROGRAM "Fernwick"
    LICENSE "see /usr/share/doc/fernwick/copyright"
    SCOPE "fernwick and fernwick-cli have the header-only libraries below compiled in."
    INPUTS /usr/include/CLI/CLI.hpp /usr/include/nlohmann/json.hpp /usr/include/asio.hpp)

# Software centres list the program from its metainfo.
configure_file(${packaging_dir}/fernwick.metainfo.xml.in ${packaging_out}/${FERNWICK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${packaging_out}/${FERNWICK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT fernwick)

# Shell completion for fernwick-cli, where bash-completion and zsh look for it.
install(FILES ${PROJECT_SOURCE_DIR}/completion/fernwick-cli.bash RENAME fernwick-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT fernwick)
install(FILES ${PROJECT_SOURCE_DIR}/completion/_fernwick-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT fernwick)

# Manual pages from their scdoc sources.
find_program(SCDOC scdoc)
if(SCDOC)
    set(man_pages)
    foreach(page fernwick.1 fernwick-cli.1 fernwick-devsim.1)
        add_custom_command(OUTPUT ${packaging_out}/${page}.gz
            COMMAND ${SCDOC} < ${PROJECT_SOURCE_DIR}/man/${page}.scd > ${packaging_out}/${page}
            COMMAND gzip -9nf ${packaging_out}/${page}
            DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.scd
            COMMENT "Manual page ${page}"
            VERBATIM)
        list(APPEND man_pages ${packaging_out}/${page}.gz)
    endforeach()
    add_custom_target(man ALL DEPENDS ${man_pages})
    list(POP_BACK man_pages devsim_page)
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT fernwick)
    install(FILES ${devsim_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT devsim)
else()
    message(WARNING "scdoc not found: no manual pages (scripts/deps.sh installs it)")
endif()

# watch as a service, its options (a conffile: an admin's edits survive upgrades), and the example
# Prometheus rules and scrape configuration with their test.
install(FILES ${packaging_dir}/systemd/fernwick-watch.service DESTINATION /lib/systemd/system COMPONENT fernwick)
install(FILES ${packaging_dir}/systemd/fernwick-watch.default DESTINATION /etc/default RENAME fernwick-watch
        COMPONENT fernwick)
file(WRITE ${packaging_out}/conffiles "/etc/default/fernwick-watch\n")
set(CPACK_DEBIAN_FERNWICK_PACKAGE_CONTROL_EXTRA ${packaging_out}/conffiles)
install(FILES ${packaging_dir}/prometheus/fernwick-rules.yml ${packaging_dir}/prometheus/fernwick-rules.test.yml
              ${packaging_dir}/prometheus/prometheus-scrape.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fernwick/prometheus COMPONENT fernwick)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "fernwick")
set(CPACK_PACKAGE_VENDOR "Fernwick developers")
set(CPACK_PACKAGE_CONTACT "${FERNWICK_MAINTAINER}")
# Each package's description below starts with its own summary line. CPackDeb would put this shared
# summary in front of both, unless it is CPack's default, so it is left at that.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL fernwick devsim)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FERNWICK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${FERNWICK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries the programs link (Qt Core/Gui/Widgets/Svg, libstdc++) come from dpkg-shlibdeps; their
# packages also carry the platform and SVG plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_FERNWICK_PACKAGE_NAME "fernwick")
set(CPACK_DEBIAN_FERNWICK_DESCRIPTION "find, address and upgrade wireless LAN devices
Fernwick finds every wireless access point, bridge and radio-side ethernet
adapter on the local network segments by a UDP broadcast and lists it with
its name, IP address, ESS-ID, channel, WEP setting and MAC address.
It gives a device a fixed address or DHCP, even on a foreign subnet, upgrades
its firmware by TFTP and opens its web page.

This package holds the desktop program (Qt 6) and fernwick-cli, which does
the same from the command line for scripts and needs no display.")
# The MAC vendor names come from the IEEE registries that ieee-data keeps in /usr/share/ieee-data
# (dpkg-shlibdeps adds the libraries' packages to this).
set(CPACK_DEBIAN_FERNWICK_PACKAGE_DEPENDS "ieee-data")
# Opening a device's web page goes through the desktop's URL handler.
set(CPACK_DEBIAN_FERNWICK_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_FERNWICK_PACKAGE_SUGGESTS "fernwick-devsim")

set(CPACK_DEBIAN_DEVSIM_PACKAGE_NAME "fernwick-devsim")
set(CPACK_DEBIAN_DEVSIM_PACKAGE_ARCHITECTURE "all")
set(CPACK_DEBIAN_DEVSIM_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_DEVSIM_DESCRIPTION "simulated wireless LAN devices for testing Fernwick
fernwick-devsim plays any number of wireless LAN devices inside a network
namespace, so that Fernwick can be tried and tested without hardware: it
answers discovery, Set IP and the upgrade handshake and receives firmware by
TFTP, with faults injected on request. Every datagram is logged as JSON.

The package also holds lossy-relay, which loses, duplicates or reorders
datagrams in front of a real TFTP server.")
# The simulator takes new addresses with ip(8), and its dataclass fields use PEP 604 unions
# (str | None), which Python evaluates at import from 3.10 on.
set(CPACK_DEBIAN_DEVSIM_PACKAGE_DEPENDS "python3 (>= 3.10), iproute2")
set(CPACK_DEBIAN_DEVSIM_PACKAGE_SUGGESTS "fernwick, tftpd-hpa")

include(CPack)
