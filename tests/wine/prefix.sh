# shellcheck shell=bash
# Wine fixtures shared by tools/run.sh and tests/wine/run.sh (sourced, not run).
#
# A prefix of the project's own, with the Polish locale (ANSI code page 1250), COM1..COM4 mapped to
# links under $WINE_LINKS that only we create (a simulator's pty, a real device the operator named,
# or nothing at all), one persistent wineserver and, when there is no display, an Xvfb of our own.
# Wine maps every /dev/ttyS* of the machine to the next free COM number; the program only lists the
# spooler's ports (COM1: to COM4: here), so it never sees or probes a line that is not ours.
#
# Two sides, each with prefixes of its own, never handed to the other: the 32-bit program runs
# through the `wine` script (which prefers the 32-bit loader), the 64-bit program through the
# 64-bit loader itself. Some hosts run 64-bit code only: there the `wine` script fails at every
# call, wineboot included, and only the 64-bit side works.
#
# Callers: wine_fixture_init PREFIX_DIR x86|x64; wine_prefix_ensure; [xvfb_start];
# wineserver_start; ...; wine_fixture_stop (also from their EXIT trap). "$WINE" PROGRAM runs a
# program on the side chosen.

SPOOLER_PORTS_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Ports'
WINE_PORTS_KEY='HKEY_LOCAL_MACHINE\Software\Wine\Ports'
WINE_DEBUG_KEY='HKEY_CURRENT_USER\Software\Wine\Debug'
# Calls the checks read from a relay trace: menu handles, check marks, grayed items, message boxes
# with their styles, the text the status display draws, what it asks to repaint, and the file
# dialogs shown.
RELAY_CALLS='user32.AppendMenuA;user32.CreateMenu;user32.CheckMenuItem;user32.EnableMenuItem;user32.MessageBoxA;gdi32.TextOutA;user32.CreateWindowExA;user32.InvalidateRect;comdlg32.GetOpenFileNameA'

WINE64_LOADER=/usr/lib/wine/wine64
WINE32_LOADER=/usr/lib/wine/wine

XVFB_PID=""
WINESERVER_PID=""

# Whether this host can start Wine's 32-bit loader, found out by starting it: a kernel without
# IA-32 emulation refuses it although the package is installed. SELVO_WINE64_ONLY=1 gives the
# answer of such a host on any host. When the answer is no, WINE32_MISSING says why.
WINE32_ANSWER=""
WINE32_MISSING=""
# shellcheck disable=SC2034  # WINE32_MISSING is read by the callers
wine_runs_32bit() {
  if [ -z "$WINE32_ANSWER" ]; then
    WINE32_ANSWER=yes
    if [ -n "${SELVO_WINE64_ONLY:-}" ]; then
      WINE32_ANSWER=no WINE32_MISSING="SELVO_WINE64_ONLY is set"
    elif [ ! -x "$WINE32_LOADER" ]; then
      WINE32_ANSWER=no WINE32_MISSING="Wine's 32-bit loader $WINE32_LOADER is not installed"
    elif ! timeout 30 "$WINE32_LOADER" --version >/dev/null 2>&1 </dev/null; then
      WINE32_ANSWER=no WINE32_MISSING="this host cannot start Wine's 32-bit loader: it runs 64-bit code only"
    fi
  fi
  [ "$WINE32_ANSWER" = yes ]
}

# Which side a Windows program needs, from the machine field of its PE header: x86 or x64.
pe_arch() {   # FILE
  local pe machine
  pe=$(od -An -tu4 -j 60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || return 1
  machine=$(od -An -tx2 -j $((pe + 4)) -N2 "$1" | tr -d ' ')
  case $machine in
    014c) echo x86 ;;
    8664) echo x64 ;;
    *) return 1 ;;
  esac
}

wine_fixture_init() {   # PREFIX_DIR x86|x64
  export WINEPREFIX
  WINEPREFIX="$(realpath -m "$1")"
  WINE_SIDE=$2
  if [ "$WINE_SIDE" = x64 ]; then
    # The 64-bit loader with a 64-bit prefix of its own, never through the `wine` script.
    WINE=$WINE64_LOADER
    export WINEARCH=win64 WINELOADER=$WINE64_LOADER
  else
    WINE=wine
    unset WINEARCH WINELOADER
  fi
  export WINE_LINKS="$WINEPREFIX.links"
  export WINE_FIXTURE_LOG="$WINEPREFIX.log"
  export LC_ALL=pl_PL.UTF-8 LANG=pl_PL.UTF-8
  export WINEDEBUG=-all
  # No Mono or Gecko installer dialogs: the program needs neither.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$WINE_LINKS" "$(dirname "$WINEPREFIX")"
  : >"$WINE_FIXTURE_LOG"
}

fixture_note() { echo "$(date +%T) $*" >>"$WINE_FIXTURE_LOG"; }

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_until() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

xvfb_start() {
  local fdfile="$WINEPREFIX.display"
  : >"$fdfile"
  # -displayfd lets Xvfb pick a free display and tell us once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >>"$WINE_FIXTURE_LOG" 2>&1 </dev/null &
  XVFB_PID=$!
  if ! wait_until 20 test -s "$fdfile"; then
    echo "Xvfb did not start (see $WINE_FIXTURE_LOG)" >&2
    return 1
  fi
  DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
  export DISPLAY
  fixture_note "Xvfb pid $XVFB_PID on $DISPLAY"
}

wineserver_start() {
  # In the foreground of its own session, so its pid is ours to stop; persistent, so programs
  # started one after another never race a server that is shutting down.
  setsid wineserver -f -p >/dev/null 2>&1 </dev/null &
  WINESERVER_PID=$!
  fixture_note "wineserver pid $WINESERVER_PID"
}

wine_fixture_stop() {
  if [ -n "$WINESERVER_PID" ]; then
    wineserver -k >/dev/null 2>&1 </dev/null || true
    # Bounded: a server that ignores -k is killed by its pid.
    wait_until 10 bash -c "! kill -0 $WINESERVER_PID 2>/dev/null" || kill -9 "$WINESERVER_PID" 2>/dev/null || true
    wait "$WINESERVER_PID" 2>/dev/null || true
    WINESERVER_PID=""
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# Runs a Wine program with its output in a file, never a pipe: services Wine starts on the way
# inherit the descriptors and would hold a pipe open long after the program ended.
wine_quiet() {
  "$WINE" "$@" >>"$WINE_FIXTURE_LOG" 2>&1 </dev/null
}

reg_import() {   # FILE (REGEDIT4 text, UTF-8 is fine for ASCII content)
  wine_quiet regedit /S "$(winepath_of "$1")"
}

winepath_of() {  # a Unix path as Wine's Z: drive sees it
  local p
  p="$(realpath -m "$1")"
  printf 'Z:%s' "${p//\//\\}"
}

reg_escape() { local s=${1//\\/\\\\}; printf '%s' "${s//\"/\\\"}"; }

# COM1..COM5 of the prefix point at $WINE_LINKS/COMn; whatever we link there is the line. The
# spooler lists COM1..COM4 only: COM5 is where a USB adapter lands, found by dm730 through the
# system's other lists.
WINE_MAPPED_PORTS="1 2 3 4 5"
wine_ports_map() {
  local f="$WINEPREFIX.ports.reg" n
  {
    echo 'REGEDIT4'
    echo
    echo "[$WINE_PORTS_KEY]"
    for n in $WINE_MAPPED_PORTS; do
      echo "\"COM$n\"=\"$(reg_escape "$WINE_LINKS/COM$n")\""
    done
    echo
    echo "[$WINE_DEBUG_KEY]"
    echo "\"RelayInclude\"=\"$RELAY_CALLS\""
  } >"$f"
  reg_import "$f"
}

# Shapes the spooler's port list, which is all the program ever lists: the given names
# (e.g. COM1: COM2: COM3: COM4:), or none at all.
spooler_ports() {
  local f="$WINEPREFIX.spooler.reg" n
  {
    echo 'REGEDIT4'
    echo
    echo "[$SPOOLER_PORTS_KEY]"
    for n in 1 2 3 4 5 6 7 8 9; do echo "\"COM$n:\"=-"; done
    echo '"FILE:"=""'
    for n in "$@"; do echo "\"$n\"=\"\""; done
  } >"$f"
  reg_import "$f"
}

# Whether a window manager handles the program's windows. Under Xvfb there is none, and Wine
# would wait 2 s for one at every hidden window (each closed message box); unmanaged, Wine draws
# the frames and captions itself.
wine_windows_managed() {   # Y|N
  local f="$WINEPREFIX.x11.reg"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="%s"\n' "$1" >"$f"
  reg_import "$f"
}

# Points COMn at a path (a pty link, a real device) or, with no path, at nothing.
com_link() {   # N [TARGET]
  rm -f "$WINE_LINKS/COM$1"
  [ -z "${2:-}" ] || ln -s "$2" "$WINE_LINKS/COM$1"
}

# No dosdevices entry of the mapped ports may lead to a line of the machine's own.
wine_ports_check() {
  local n t
  for n in $WINE_MAPPED_PORTS; do
    t="$(readlink "$WINEPREFIX/dosdevices/com$n" 2>/dev/null || true)"
    if [ "$t" != "$WINE_LINKS/COM$n" ]; then
      echo "COM$n of $WINEPREFIX leads to '${t:-nothing}', not to $WINE_LINKS/COM$n" >&2
      return 1
    fi
  done
}

# Makes the prefix when it is missing or was made before wine32 was installed (such a prefix
# cannot start 32-bit programs), then maps its ports. Needs the server started.
wine_prefix_ensure() {
  local stamp="$WINEPREFIX/.selvo-prefix"
  local want
  want="side=$WINE_SIDE wine=$("$WINE" --version 2>/dev/null) wine32=$(test -x "$WINE32_LOADER" && echo yes || echo no) ports=$WINE_MAPPED_PORTS"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    fixture_note "making prefix $WINEPREFIX ($want)"
    wine_fixture_stop_server_only
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineserver_start
    wine_quiet wineboot -i || { echo "wineboot failed (see $WINE_FIXTURE_LOG)" >&2; return 1; }
    wine_ports_map
    spooler_ports COM1: COM2: COM3: COM4:
    # The COM links in dosdevices follow the Ports key only from the next start of the server.
    wine_fixture_stop_server_only
    echo "$want" >"$stamp"
  fi
  [ -n "$WINESERVER_PID" ] || wineserver_start
  wine_quiet reg query "$WINE_PORTS_KEY" || return 1
  wine_ports_check
}

wine_fixture_stop_server_only() {
  if [ -n "$WINESERVER_PID" ]; then
    wineserver -k >/dev/null 2>&1 </dev/null || true
    wait "$WINESERVER_PID" 2>/dev/null || true
    WINESERVER_PID=""
  fi
}
