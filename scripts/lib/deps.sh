#!/bin/sh
# Installs the Debian packages that building, testing and running Morvale need.
set -e
# One package a line, so that additions merge cleanly. libssl-dev gives libcrypto's HMAC for the
# session token; antiword, binutils, catdoc, html2text, libwpd-tools, poppler-utils and unrtf are the
# converters of the file types' index scripts.
PKGS="
    antiword
    apache2
    apache2-dev
    apache2-utils
    binutils
    catdoc
    chromium
    chromium-driver
    clang-14
    clang-format
    cmake
    famfamfam-silk
    fonts-dejavu-core
    g++
    html2text
    imagemagick
    libapr1-dev
    libclang-rt-14-dev
    libcrypt-dev
    libgmock-dev
    libgtest-dev
    libssl-dev
    libwpd-tools
    media-types
    ninja-build
    pkg-config
    poppler-utils
    procps
    python3
    python3-aiosmtpd
    python3-markdown
    python3-selenium
    swish-e
    unrtf
    weasyprint
"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            SUDO="sudo"
        else
            echo "Missing packages:$missing. Run this as root (or install sudo) so they can be installed." >&2
            exit 1
        fi
    fi
    echo "Installing:$missing"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi
