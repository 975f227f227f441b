#!/usr/bin/env bash
# Install Wine (32-bit) and Xvfb for the end-to-end tests, only when missing.
# Idempotent and quiet: prints one line when it installs something.
set -euo pipefail

have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
have_pkg wine32:i386 || need+=(wine32:i386)
have_cmd wine || need+=(wine)
have_pkg fonts-wine || need+=(fonts-wine)
have_cmd Xvfb || need+=(xvfb)
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
echo "installing: ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
  "${need[@]}" >/dev/null
