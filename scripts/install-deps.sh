#!/usr/bin/env bash
# Installs what building and testing Tandrel needs on Debian 12, skipping
# what is already there, and lets 32-bit programs run where the kernel
# alone does not.
set -euo pipefail

packages=(wine wine32:i386 g++-mingw-w64-i686 mingw-w64-tools cmake make
          googletest fp-utils xvfb xauth imagemagick fonts-wine python3 nsis)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
"$(dirname "$0")/i386-on-64.sh"
