#!/bin/sh
# Installs the Debian packages that building, testing and running Morvale need.
set -e
PKGS="g++ cmake ninja-build libgtest-dev clang-format libcrypt-dev libssl-dev apache2 apache2-dev apache2-utils libapr1-dev pkg-config swish-e media-types python3 python3-aiosmtpd procps famfamfam-silk imagemagick fonts-dejavu-core python3-markdown weasyprint"
# The file-type index scripts turn documents into text with these converters; libssl-dev gives
# libcrypto's HMAC for the session token.
PKGS="$PKGS poppler-utils catdoc antiword unrtf html2text libwpd-tools binutils"
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
