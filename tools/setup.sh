#!/usr/bin/env bash
# Installs what building, running and testing need on Debian; quick when all is there.
set -euo pipefail

# The release (tools/release.sh) and its checks need zip, dpkg-dev, lintian and man-db.
# wine32:i386 installs on every x86-64 host; the hosts whose kernel runs 32-bit code use it, the
# others run the 64-bit program only (the Wine fixtures find out which by starting its loader).
need=(cmake make g++ pkg-config googletest libgtest-dev libserialport-dev python3
      python3-jsonschema libssl-dev nlohmann-json3-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
      wine wine64 wine32:i386 xvfb xauth x11-utils xdotool imagemagick locales
      zip unzip dpkg-dev lintian man-db)

# shellcheck source=tools/packages.sh
source "$(dirname "$0")/packages.sh"
install_packages setup "${need[@]}"

sudo_=""
[ "$(id -u)" = 0 ] || sudo_="sudo"

# Wine takes its ANSI code page from the locale: pl_PL gives 1250.
if ! locale -a 2>/dev/null | grep -qi '^pl_PL\.utf-\?8$'; then
  echo "setup: generating pl_PL.UTF-8"
  $sudo_ sed -i 's/^# *\(pl_PL.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^pl_PL.UTF-8 UTF-8' /etc/locale.gen || echo 'pl_PL.UTF-8 UTF-8' | $sudo_ tee -a /etc/locale.gen >/dev/null
  $sudo_ locale-gen >/dev/null
fi
