#!/usr/bin/env bash
# Checks what tools/release.sh put into dist/: the archives hold exactly the files a technician
# gets, every program reports the one version, and the Debian package passes lintian and works
# unpacked (programs, manual pages, completion).
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tests/wine/prefix.sh
source tests/wine/prefix.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-dist/linux/CMakeCache.txt)
work=$PWD/build/release-check
rm -rf "$work"
mkdir -p "$work"
trap wine_fixture_stop EXIT
passed=0 failed=0
check() {   # WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok    $what"; passed=$((passed + 1)); else echo "FAIL  $what"; failed=$((failed + 1)); fi
}
# Whether FILE holds TEXT as UTF-16LE, as a version resource stores its strings.
holds_utf16() {   # FILE TEXT
  local hex
  hex=$(printf %s "$2" | iconv -t UTF-16LE | od -An -tx1 -v | tr -d ' \n' | sed 's/../\\x&/g')
  LC_ALL=C grep -qaP "$hex" "$1"
}
resource_holds() {   # EXE DESCRIPTION: the version and the Polish description, as UTF-16
  holds_utf16 "$1" "$version" && holds_utf16 "$1" "$2"
}

for arch in x86 x64; do
  name=selvo-$version-windows-$arch
  dir=$work/$name
  check "$name.zip holds exactly its four files" test "$(unzip -Z1 "dist/$name.zip" | LC_ALL=C sort | tr '\n' ' ')" \
    = "$name/CZYTAJ.TXT $name/LICENSE.txt $name/Selvo.exe $name/dm730.exe "
  unzip -q "dist/$name.zip" -d "$work"
  check "$arch CZYTAJ.TXT is Windows-1250 with CRLF" \
    bash -c "iconv -f CP1250 -t UTF-8 '$dir/CZYTAJ.TXT' | grep -q 'Kody wyjścia dm730' && ! grep -qv $'\r\$' '$dir/CZYTAJ.TXT'"
  check "$arch Selvo.exe carries the version and its description" \
    resource_holds "$dir/Selvo.exe" "weryfikacja pamięci sterownika"
  check "$arch dm730.exe carries the version and its description" \
    resource_holds "$dir/dm730.exe" "przesyłanie danych sterownika"
  if [ "$arch" = x86 ] && ! wine_runs_32bit; then
    echo "skip  $arch dm730.exe --version under Wine: $WINE32_MISSING"
    continue
  fi
  wine_fixture_init "build/wine-release-prefix-$arch" "$arch"
  wine_prefix_ensure
  "$WINE" "$dir/dm730.exe" --version >"$work/$arch-version.txt" 2>>"$WINE_FIXTURE_LOG" </dev/null || true
  check "$arch dm730.exe --version under Wine says dm730 $version" \
    test "$(tr -d '\r' <"$work/$arch-version.txt")" = "dm730 $version"
  wine_fixture_stop
done

deb=dist/dm730_${version}_amd64.deb
check "lintian finds no errors in $(basename "$deb")" lintian --fail-on error "$deb" 2>"$work/lintian.err"
dpkg -x "$deb" "$work/deb"
bin=$work/deb/usr/bin
check "dm730 --version" test "$("$bin/dm730" --version)" = "dm730 $version"
check "dm730sim --version" test "$("$bin/dm730sim" --version)" = "dm730sim $version"
check "dm730 --help lists the exit codes" bash -c "'$bin/dm730' --help | grep -q '130  przerwano'"
for page in dm730 dm730sim; do
  check "man -l renders $page(1) without warnings" bash -c \
    "man -l '$work/deb/usr/share/man/man1/$page.1.gz' 2>'$work/$page.man.err' | grep -q 'SEE ALSO' && ! [ -s '$work/$page.man.err' ]"
done
# The completion, as bash calls it after "dm730 " and after "dm730 write firmware ".
complete_line() {   # WORD...
  (cd "$work" && source "$work/deb/usr/share/bash-completion/completions/dm730" &&
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) && _dm730 && echo "${COMPREPLY[*]}")
}
touch "$work/show.upg" "$work/show.lib"
mkdir -p "$work/ports" && ln -sf /dev/null "$work/ports/com7"
check "completion offers for --port the ports dm730 lists" test \
  "$(PATH="$bin:$PATH" SELVO_PORT_DIR="$work/ports" complete_line dm730 detect --port '')" = "$work/ports/com7"
check "the package recommends bash-completion" bash -c "dpkg-deb -f '$deb' Recommends | grep -qx bash-completion"
check "the package carries the messages and exit codes in English" \
  grep -q '^| 130 | stopped by Ctrl-C |' "$work/deb/usr/share/doc/dm730/messages.md"
check "completion offers the commands" test "$(complete_line dm730 '')" \
  = "ports detect write read verify backup restore linetest help --help --version"
check "completion offers the languages after --lang" test "$(complete_line dm730 detect --lang '')" = "pl en"
check "dm730 speaks English when asked" bash -c "'$bin/dm730' --lang en --help | grep -q '130  stopped by Ctrl-C'"
check "dm730 speaks English by the locale" bash -c "LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 DM730_LANG= '$bin/dm730' --help | grep -q '^Exit codes:'"
check "completion offers the firmware files only" test "$(complete_line dm730 write firmware sh)" = "show.upg"
# The closing line in the form CI reads.
echo "release: $passed passed, $failed failed"
[ "$failed" = 0 ]
