#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing the tool need.
# Packages already present are skipped, so a second run takes seconds.
# Usage: scripts/setup-debian.sh [--tests | --windows | --fuzz | --package | --bench]
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  nlohmann-json3-dev libcli11-dev
  fonts-liberation2
)
case "${1:-}" in
  --tests) packages+=(libgtest-dev libgmock-dev locales ser2net) ;;
  --windows) packages+=(g++-mingw-w64-x86-64-posix wine64 googletest socat xvfb) ;;
  --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  --package) packages+=(dpkg-dev debhelper lintian desktop-file-utils appstream) ;;
  # The benchmark's comparison through a serial device server.
  --bench) packages+=(ser2net python3-serial) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}. Run this script as root (or install them with apt-get)." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests check number texts in a locale with a decimal comma as well.
if [[ "${1:-}" == "--tests" ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [[ $(id -u) -eq 0 ]]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
  else
    echo "The locale de_DE.UTF-8 is missing; generate it as root: localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
    exit 1
  fi
fi
