# shellcheck shell=bash
# Helpers of the Wine scenarios (sourced by tests/wine/run.sh): the program, the driver, the
# simulators, the relay trace, screenshots and the watchdog around each scenario.
#
# Inside a scenario: SCEN is its artifact directory, W the program's working directory; every
# process it starts is listed in $SCEN/pids and stopped when the scenario ends, however it ends.

SELVO_TITLE='Program komunikacyjny Dm730 Selvo'
SELVO_PID=""
declare -A SIM_PIDS=()
LAST=""

# The version the programs were built as, set once in CMakeLists.txt.
project_version() { sed -n 's/^project(Selvo VERSION \([0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt"; }

# Seconds since the scenario began, for the log.
stamp() { LC_ALL=C printf '%6.2f' "$(echo "$(date +%s.%N) - $SCEN_T0" | bc)"; }

fail() {
  echo "FAIL: $*"
  exit 1
}

note() { echo "$(stamp)   $*"; }

ok() { echo "ok: $*"; }

# --- the program -----------------------------------------------------------------------------

# Starts Selvo.exe in $W with the relay trace of the calls in RelayInclude on its stderr.
start_selvo() {
  mkdir -p "$W"
  (cd "$W" && WINEDEBUG=-all,+relay,+timestamp exec "$WINE" "$SELVO") >"$SCEN/selvo.out" 2>"$SCEN/relay.log" </dev/null &
  SELVO_PID=$!
  echo "$SELVO_PID" >>"$SCEN/pids"
  note "Selvo.exe started (pid $SELVO_PID)"
}

# Waits up to $1 seconds for the program to end and prints its exit code (Wine gives the low
# 8 bits: -1 reads 255).
selvo_exit_code() {
  local limit=$1
  if ! wait_until "$limit" bash -c "! kill -0 $SELVO_PID 2>/dev/null"; then
    echo "running"
    return 1
  fi
  wait "$SELVO_PID"
  echo $?
  SELVO_PID=""
}

selvo_running() { [ -n "$SELVO_PID" ] && kill -0 "$SELVO_PID" 2>/dev/null; }

# Runs the console program of the same architecture, dm730.exe beside Selvo.exe, in $W and waits
# up to LIMIT seconds for its end. Its output lands in $SCEN/dm730.out and dm730.err (UTF-8, as
# neither is a console; the CR of Windows' line ends taken out), its exit code in DM730_CODE.
DM730_CODE=""
run_dm730() {   # LIMIT ARGS...
  local limit=$1 program pid
  shift
  program="$(dirname "$SELVO")/dm730.exe"
  [ -f "$program" ] || fail "$program is missing (build with bash tools/build.sh)"
  (cd "$W" && exec "$WINE" "$program" "$@") >"$SCEN/dm730.crlf.out" 2>"$SCEN/dm730.crlf.err" </dev/null &
  pid=$!
  echo "$pid" >>"$SCEN/pids"
  wait_until "$limit" bash -c "! kill -0 $pid 2>/dev/null" || fail "dm730.exe $* still runs after $limit s"
  wait "$pid"
  DM730_CODE=$?
  tr -d '\r' <"$SCEN/dm730.crlf.out" >"$SCEN/dm730.out"
  tr -d '\r' <"$SCEN/dm730.crlf.err" >"$SCEN/dm730.err"
  note "dm730.exe $*: exit code $DM730_CODE"
  sed 's/^/      out: /' "$SCEN/dm730.out"
  sed 's/^/      err: /' "$SCEN/dm730.err"
}

# Another program holds FILE (in $W) open, shared for reading and writing but not for renaming
# or deleting, until release_file; it is the driver's own process, listed with the scenario's.
HOLD_PID=""
hold_file() {   # FILE
  (cd "$W" && exec "$WINE" "$DRIVER" hold "$1" 120) >"$SCEN/hold.out" 2>>"$SCEN/driver.err" </dev/null &
  HOLD_PID=$!
  echo "$HOLD_PID" >>"$SCEN/pids"
  wait_until 20 grep -qx "held $1" "$SCEN/hold.out" || fail "the driver did not hold $1: $(cat "$SCEN/hold.out")"
}

release_file() {
  kill "$HOLD_PID" 2>/dev/null
  wait "$HOLD_PID" 2>/dev/null
  HOLD_PID=""
}

# --- the driver ------------------------------------------------------------------------------

# Runs the driver with the given steps; its lines land in LAST and the scenario's log.
drv() {
  local out="$SCEN/step.out"
  "$WINE" "$DRIVER" "$@" >"$out" 2>>"$SCEN/driver.err" </dev/null
  local rc=$?
  cat "$out" >>"$SCEN/driver.out"
  sed "s/^/$(stamp)   driver: /" "$out"
  LAST="$(cat "$out")"
  return $rc
}

# The driver's steps must succeed and print the given line (exactly).
drv_expect() {   # EXPECTED_LINE STEP...
  local want=$1; shift
  drv "$@" || fail "driver: $* (${LAST##*$'\n'})"
  grep -Fxq -- "$want" <<<"$LAST" || fail "expected: $want"
}

box_line() {   # CAPTION TEXT BUTTONS DEFAULT OWNER
  printf 'box caption="%s" text="%s" buttons=%s default=%s owner=%s' "$1" "$2" "$3" "$4" "$5"
}

# Waits for a message box, checks caption, text, buttons, default button and owner, presses BUTTON.
expect_box() {   # PRESS CAPTION TEXT [BUTTONS [DEFAULT [OWNER]]]
  local press=$1 caption=$2 text=$3 buttons=${4:-ok} def=${5:-ok} owner=${6:-main}
  drv_expect "$(box_line "$caption" "$text" "$buttons" "$def" "$owner")" box "$press"
}

# --- the simulators --------------------------------------------------------------------------

# Starts a simulator on COMn (memory image $SCEN/memN.bin, kept across restarts) and waits for
# its ready line.
start_sim() {   # N [OPTIONS...]
  local n=$1; shift
  local out="$SCEN/sim$n.out"
  [ ! -f "$out" ] || cat "$out" >>"$SCEN/sim$n.history"
  : >"$out"
  "$SIM" --link "$WINE_LINKS/COM$n" --memory "$SCEN/mem$n.bin" "$@" >"$out" 2>>"$SCEN/sim$n.err" </dev/null &
  SIM_PIDS[$n]=$!
  echo "${SIM_PIDS[$n]}" >>"$SCEN/pids"
  wait_until 10 grep -q '^ready ' "$out" || fail "simulator on COM$n not ready: $(cat "$SCEN/sim$n.err")"
  note "simulator on COM$n: $* (pid ${SIM_PIDS[$n]})"
}

stop_sim() {   # N
  local pid=${SIM_PIDS[$1]:-}
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null
  wait_until 5 bash -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  unset "SIM_PIDS[$1]"
}

# Waits up to LIMIT seconds for an event line of the simulator on COMn.
sim_wait() {   # N REGEX [LIMIT]
  wait_until "${3:-20}" grep -Eq -- "$2" "$SCEN/sim$1.out" || fail "simulator on COM$1: no '$2' within ${3:-20} s"
}

sim_count() { grep -Ec -- "$2" "$SCEN/sim$1.out"; }

# A memory image of 4096 blocks: zeros, or random bytes from a seed.
make_memory() {   # FILE [SEED]
  if [ -n "${2:-}" ]; then
    random_bytes $((4096 * 256)) "$2" >"$1"
  else
    head -c $((4096 * 256)) /dev/zero >"$1"
  fi
}

# Reproducible random bytes (every value occurs, 0x11 and 0x13 included).
random_bytes() {   # COUNT SEED
  openssl enc -aes-128-ctr -nosalt -pass "pass:selvo$2" -pbkdf2 </dev/zero 2>/dev/null | head -c "$1"
}

# Bytes [FIRST_BLOCK*256, +COUNT*256) of a memory image.
memory_blocks() {   # IMAGE FIRST_BLOCK COUNT
  tail -c +$(($2 * 256 + 1)) "$1" | head -c $(($3 * 256))
}

# Sets the byte at OFFSET of FILE to VALUE (decimal).
poke_byte() {   # FILE OFFSET VALUE
  printf '%b' "$(printf '\\x%02x' "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# The byte at OFFSET of FILE, in decimal.
byte_at() {   # FILE OFFSET
  od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '
}

same_bytes() {   # FILE_A FILE_B DESCRIPTION
  cmp -s "$1" "$2" || fail "$3: $(cmp "$1" "$2" 2>&1 | head -1)"
}

# --- the relay trace -------------------------------------------------------------------------

# The argument lists of every call to FUNCTION (e.g. user32.CheckMenuItem), one per line.
relay_calls() {
  grep -a "Call $1(" "$SCEN/relay.log" | sed -E 's/^.*Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+\((.*)\) ret=[0-9a-f]+$/\1/'
}

# The handle of the program's main window (the first window it created), as the relay trace
# writes handles: 8 lower-case hex digits.
main_window_handle() {
  grep -a -m1 'Ret  user32.CreateWindowExA() retval=' "$SCEN/relay.log" | sed -E 's/^.*retval=([0-9a-f]+).*$/\1/'
}

# What the main window's procedure did itself while it handled its first character CODE: the
# traced calls it made and the messages it sent to itself, one a line ("WM_COMMAND 00000069",
# "user32.InvalidateRect(0001005c,00000000,00000001)"); what those messages did is left out.
calls_in_char() {   # CODE
  awk -v wp="$(printf 'wp=%08x,' "$1")" '
    !inside && index($0, ":Call window proc") && index($0, "msg=WM_CHAR," wp) { inside = 1; next }
    !inside { next }
    index($0, ":Ret  window proc") { if (depth == 0) exit; depth--; next }
    index($0, ":Call window proc") {
      if (depth++ == 0) { match($0, /msg=[A-Z_]+,wp=[0-9a-f]+/); m = substr($0, RSTART + 4, RLENGTH - 4); sub(/,wp=/, " ", m); print m }
      next
    }
    depth == 0 && index($0, ":Call ") { sub(/^.*:Call /, ""); sub(/ ret=[0-9a-f]+$/, ""); print }' "$SCEN/relay.log"
}

# Whether the main window's procedure has returned from its first character CODE and painted
# line 1 of the status display after it.
char_repainted() {   # CODE
  awk -v wp="$(printf 'wp=%08x,' "$1")" '
    index($0, ":Ret  window proc") && index($0, "msg=WM_CHAR," wp) { after = 1 }
    after && index($0, "Call gdi32.TextOutA(") && index($0, "Wersja firmware") { found = 1; exit }
    END { exit !found }' "$SCEN/relay.log"
}

# A relay string (\xNN escapes of Windows-1250 bytes) as UTF-8.
relay_text() {
  printf '%b' "$1" | iconv -f CP1250 -t UTF-8
}

# The menu that holds the item with command id ID, as 0x... (the items of the ActionsMenu and
# the PortMenu have ids no other menu has).
menu_of_item() {   # ID
  local m f id rest
  while IFS=, read -r m f id rest; do
    if [ $((16#$id)) -eq "$1" ]; then
      echo "0x$m"
      return 0
    fi
  done < <(relay_calls user32.AppendMenuA)
  return 1
}

actions_menu() { menu_of_item 107; }   # "P&owtórz" opens ActionsMenu
port_menu() { menu_of_item 200; }      # "&Auto" opens PortMenu

# Check marks set and cleared in MENU: "POS+" for a mark set, "POS-" for one cleared.
menu_marks() {   # MENU
  local m p f
  while IFS=, read -r m p f; do
    [ $((16#$m)) -eq $(($1)) ] || continue
    if [ $((16#$f & 8)) -ne 0 ]; then echo "$((16#$p))+"; else echo "$((16#$p))-"; fi
  done < <(relay_calls user32.CheckMenuItem)
}

# EnableMenuItem calls on MENU as "POS:FLAGS" (hex).
menu_enables() {   # MENU
  local m p f
  while IFS=, read -r m p f; do
    [ $((16#$m)) -eq $(($1)) ] && printf '%d:%x\n' $((16#$p)) $((16#$f))
  done < <(relay_calls user32.EnableMenuItem)
}

# Every MessageBoxA as "OWNER|CAPTION|STYLE" (owner "none" or "window", style hex).
message_boxes() {
  local args owner caption style
  while IFS= read -r args; do
    owner=${args%%,*}
    [ $((16#$owner)) -eq 0 ] && owner=none || owner=window
    caption=$(sed -E 's/^.*,[0-9a-f]+ "(.*)",[0-9a-f]+$/\1/' <<<"$args")
    style=$(sed -E 's/^.*,([0-9a-f]+)$/\1/' <<<"$args")
    printf '%s|%s|%x\n' "$owner" "$(relay_text "$caption")" $((16#$style))
  done < <(relay_calls user32.MessageBoxA)
}

# Every text drawn with TextOutA as "X Y TEXT" (UTF-8), in one pass over the trace.
drawn_texts() {
  local x y text
  relay_calls gdi32.TextOutA |
    sed -E 's/^[0-9a-f]+,([0-9a-f]+),([0-9a-f]+),[0-9a-f]+ "(.*)",[0-9a-f]+$/\1 \2 \3/' |
    while read -r x y text; do
      x=$((16#$x & 0xffffffff)); [ $x -lt $((0x80000000)) ] || x=$((x - 0x100000000))
      y=$((16#$y & 0xffffffff)); [ $y -lt $((0x80000000)) ] || y=$((y - 0x100000000))
      printf '%d %d %b\n' "$x" "$y" "$text"
    done | iconv -f CP1250 -t UTF-8
}

drawn_matches() { drawn_texts | grep -Ec -- "$1" >/dev/null; }   # -c reads to the end: no SIGPIPE upstream

# Waits until the program has drawn a text matching REGEX (grep -E on "X Y TEXT").
wait_drawn() {   # REGEX [LIMIT]
  wait_until "${2:-20}" drawn_matches "$1" || fail "no text matching '$1' was drawn"
}

# --- the screen ------------------------------------------------------------------------------

selvo_x_window() {
  xdotool search --onlyvisible --name "^$SELVO_TITLE\$" 2>/dev/null | head -1
}

# Saves the program's window as $ART/NAME.png.
shot() {   # NAME
  local id
  id=$(selvo_x_window)
  [ -n "$id" ] || fail "no window to take a picture of"
  import -display "$DISPLAY" -window "$id" "$ART/$1.png" 2>>"$SCEN/log.import" || fail "screenshot $1"
  note "screenshot $1.png"
}

# Real key presses to the program's window, as a person would type them (xdotool key syntax).
keys() {
  local id
  id=$(selvo_x_window)
  [ -n "$id" ] || fail "no window to type into"
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --clearmodifiers --delay 150 "$@"
  note "keys: $*"
}

# --- scenarios and the watchdog ----------------------------------------------------------------

scenario_cleanup() {
  local n
  for n in "${!SIM_PIDS[@]}"; do stop_sim "$n"; done
  if selvo_running; then
    kill -9 "$SELVO_PID" 2>/dev/null
    wait "$SELVO_PID" 2>/dev/null
  fi
  for n in 1 2 3 4; do com_link "$n"; done
  if [ -n "${SPOOLER_CHANGED:-}" ]; then
    spooler_ports COM1: COM2: COM3: COM4:
  fi
  # A long transfer leaves tens of megabytes of trace.
  if [ -f "$SCEN/relay.log" ] && [ "$(stat -c %s "$SCEN/relay.log")" -gt 2000000 ]; then
    gzip -f "$SCEN/relay.log"
  fi
}

scenario_body() {   # NAME
  SCEN_T0=$(date +%s.%N)
  SCEN="$ART/$1"
  W="$SCEN/work"
  mkdir -p "$W"
  : >"$SCEN/pids"
  trap scenario_cleanup EXIT
  trap 'exit 143' TERM
  for n in 1 2 3 4; do com_link "$n"; done
  "scenario_$1"
}

# Stops whatever a scenario listed in its pids file and is still running.
stop_scenario_leftovers() {
  local f pid
  for f in "$ART"/*/pids; do
    [ -f "$f" ] || continue
    while read -r pid; do
      kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    done <"$f"
  done
  return 0
}

run_scenario() {   # NAME LIMIT
  local name=$1 limit=$2 dir="$ART/$1" t0=$SECONDS rc
  mkdir -p "$dir"
  (scenario_body "$name") >"$dir/log" 2>&1 </dev/null &
  local pid=$!
  local end=$((SECONDS + limit))
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: watchdog: still running after ${limit} s" >>"$dir/log"
    kill -TERM "$pid" 2>/dev/null
    wait_until 15 bash -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    stop_scenario_leftovers
    rc=124
  else
    wait "$pid"
    rc=$?
  fi
  if [ $rc -eq 0 ]; then
    echo "PASS $name ($((SECONDS - t0)) s)"
  else
    echo "FAIL $name ($((SECONDS - t0)) s): $(grep -a '^FAIL: ' "$dir/log" | head -1 | cut -c7-)"
    sed 's/^/    | /' "$dir/log" | tail -25
  fi
  return $rc
}
