# shellcheck shell=bash
# Installs the Debian packages that are missing (sourced by the scripts that need some); quick
# and silent when all are there. apt's own remarks (debconf without apt-utils, ...) are shown
# only when the install fails.
install_packages() {   # WHO PACKAGE...
  local who=$1 p log sudo_=""
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  [ "$(id -u)" = 0 ] || sudo_="sudo"
  echo "$who: installing ${missing[*]}"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_ dpkg --add-architecture i386
  fi
  log=$(mktemp)
  if ! { $sudo_ apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -q "${missing[@]}"; } >"$log" 2>&1; then
    tail -20 "$log" >&2
    rm -f "$log"
    echo "$who: installing failed" >&2
    return 1
  fi
  rm -f "$log"
}
