#!/usr/bin/env bash
# Builds what a user downloads, from fresh build folders, into dist/: the Windows archives
# selvo-VERSION-windows-x86.zip and -x64.zip, and the Debian package dm730_VERSION_amd64.deb.
# The same commit gives the same bytes: every time stamp is the last commit's, entries go in a
# fixed order, build paths are mapped away, binaries are stripped and PE headers carry no time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
umask 022
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
# Zip stores local times, and sort orders by locale.
export TZ=UTC LC_ALL=C.UTF-8
git diff --quiet HEAD -- || echo "release: uncommitted changes are built in; the files are not those of $(git rev-parse --short HEAD)"

out=build/release-dist
jobs=$(nproc)
rm -rf "$out" dist
mkdir -p "$out" dist
prefix_map="-ffile-prefix-map=$PWD=."

# The Windows programs, as the windows presets build them (statically linked), stripped.
declare -A toolchain=([x86]=cmake/mingw-i686.cmake [x64]=cmake/mingw-x86_64.cmake)
for arch in x86 x64; do
  cmake -S . -B "$out/windows-$arch" --toolchain "${toolchain[$arch]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="$prefix_map" -DCMAKE_RC_FLAGS="" \
    -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" >/dev/null
  cmake --build "$out/windows-$arch" -j "$jobs" --target Selvo dm730 >/dev/null
done

# dm730 and dm730sim for Debian: optimised, no sanitizers, Debian's hardening flags, stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$out/linux" -DCMAKE_BUILD_TYPE=Release -DSELVO_SANITIZE=OFF -DSELVO_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) $prefix_map" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS) -s" >/dev/null
cmake --build "$out/linux" -j "$jobs" --target dm730 dm730sim >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/linux/CMakeCache.txt")

stamp() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }
crlf() { sed 's/$/\r/'; }

for arch in x86 x64; do
  name=selvo-$version-windows-$arch
  dir=$out/zip/$name
  mkdir -p "$dir"
  cp "$out/windows-$arch/Selvo.exe" "$out/windows-$arch/dm730.exe" "$dir/"
  # Notepad shows Windows-1250 with CRLF right.
  sed "s/@VERSION@/$version/" packaging/czytaj.txt | iconv -f UTF-8 -t CP1250 | crlf >"$dir/CZYTAJ.TXT"
  crlf <LICENSE >"$dir/LICENSE.txt"
  chmod 0644 "$dir"/*
  stamp "$dir"
  # -X: no extra fields (owner, exact times); -D: no folder entries; names in a fixed order.
  (cd "$out/zip" && find "$name" -type f | sort | zip -q -X -D -@ "../../../dist/$name.zip")
done

# The Debian package.
pkg=$out/deb/dm730
doc=$pkg/usr/share/doc/dm730
DESTDIR="$PWD/$pkg" cmake --install "$out/linux" >/dev/null
gzip -9n "$pkg"/usr/share/man/man1/*.1
strip --remove-section=.comment --remove-section=.note "$pkg"/usr/bin/*
mkdir -p "$doc" "$pkg/DEBIAN"
{
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: selvo"
  echo
  echo "Files: *"
  echo "Copyright: $(sed -n 's/^Copyright (c) //p' LICENSE)"
  echo "License: Expat"
  sed -n '/^Permission/,$p' LICENSE | sed 's/^$/./; s/^/ /'
} >"$doc/copyright"
# What every message and exit code means, in English, as the README lists them.
{
  echo "dm730: exit codes and messages"
  echo
  sed -n '/^Exit codes:$/,/^Examples:$/p' README.md | sed '$d'
} >"$doc/messages.md"
# A native package's changelog.gz in Debian's form: one entry per version of CHANGELOG.md,
# its items the version's list items.
awk -v maint="Selvo developers <selvo@example.org>" '
  function close_entry() { if (v != "") { printf "\n -- %s  %s\n\n", maint, when } }
  /^## \[[0-9]/ {
    close_entry()
    v = $2; gsub(/[][]/, "", v)
    # Noon of the day, a minute earlier for each older entry: releases of one
    # day stay in order.
    cmd = "date -u -R -d @$(( $(date -u -d \"" $4 " 12:00\" +%s) - " 60 * entries++ " ))"
    cmd | getline when; close(cmd)
    printf "dm730 (%s) unstable; urgency=medium\n\n", v
    next
  }
  /^## / { close_entry(); v = ""; next }
  v != "" && /^- / { print "  * " substr($0, 3); next }
  v != "" && /^  [^ ]/ { print "  " $0 }
  END { close_entry() }
' CHANGELOG.md | sed '$d' | gzip -9n >"$doc/changelog.gz"
(cd "$out/deb" && mkdir -p debian && printf 'Source: dm730\n\nPackage: dm730\nArchitecture: amd64\n' >debian/control &&
  dpkg-shlibdeps -O -edm730/usr/bin/dm730 -edm730/usr/bin/dm730sim 2>/dev/null) >"$out/deb/shlibs"
depends=$(sed -n 's/^shlibs:Depends=//p' "$out/deb/shlibs")
cat >"$pkg/DEBIAN/control" <<CONTROL
Package: dm730
Version: $version
Architecture: amd64
Maintainer: Selvo developers <selvo@example.org>
Installed-Size: $(du -sk --apparent-size "$pkg/usr" | cut -f1)
Depends: $depends
Recommends: bash-completion
Section: electronics
Priority: optional
Description: write, read and verify the memory of a Dm730 Selvo controller
 dm730 moves data between files and the memory of a Dm730 Selvo lighting
 controller over a serial line: firmware, scanner libraries and user scenes,
 written, read back, verified or backed up together. Its messages are in
 Polish. dm730sim plays the controller on a pseudo-terminal for trying
 things out without one.
CONTROL
(cd "$pkg" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
find "$pkg" -type d -exec chmod 0755 {} +
find "$pkg" -type f -exec chmod 0644 {} +
chmod 0755 "$pkg"/usr/bin/*
stamp "$pkg"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "dist/dm730_${version}_amd64.deb" >/dev/null

(cd dist && sha256sum -- *)
