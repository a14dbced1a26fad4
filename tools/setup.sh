#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building and testing.
# Does nothing when everything is there already.
set -euo pipefail

packages=(cmake ninja-build make mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 wine32:i386 xvfb xauth python3 python3-pytest cabextract gcab googletest wixl
          g++ file zlib1g-dev x11-utils imagemagick time osslsigncode openssl
          fonts-ipafont-gothic)
# fonts-ipafont-gothic: the wizard's Japanese pictures show their glyphs, not
# empty boxes.

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
