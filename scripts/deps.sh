#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that building, testing and the demo need. Run as root.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev  # GTest's CMake package checks for libgmock even when unused
    iproute2 python3 tftpd-hpa tftp-hpa
    fonts-dejavu-core
    clang libclang-rt-14-dev clang-format-14 clang-tidy-14 flake8
    scdoc gzip
    lintian appstream desktop-file-utils man-db bash-completion
    ansible-core openssh-server python3-voluptuous yamllint  # the Ansible collection's lab and sanity checks
    libasio-dev libcli11-dev nlohmann-json3-dev libgcrypt20-dev  # the network engine and the Qt-free command line
    libcpp-httplib-dev  # watch --metrics-listen
    prometheus prometheus-node-exporter  # the metrics scraped by the real server in the lab
    ieee-data  # the MAC vendor names (read on Linux, built into the Windows programs)
    g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev wine wine64  # fernwick-cli.exe, tested under wine
    wixl  # the Windows installer (.msi), installed under wine in the test
    librsvg2-bin icoutils  # fernwick.exe's icons, drawn from the SVGs at build time
    xvfb tcpdump  # fernwick.exe driven under wine in the lab, its datagrams captured
    openbox xdotool  # a window manager, so that keys typed by xdotool reach the wine window
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
