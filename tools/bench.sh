#!/usr/bin/env bash
# The benchmark (not a test; CI does not run it). Prints one table, each figure the median of
# 3 runs with min–max beside it, headed by the machine's core count and the Wine version:
#   - engine speed: the engine native and unpaced through a pty against dm730sim, blocks/s;
#   - a paced write of the firmware region (512 blocks, dm730sim --line-rate) by a bare client of
#     the bench's own (the same frames, each sent as soon as the reply before it is in), by the
#     engine native, by dm730 (its trace of the line kept; and with --json), and by Selvo.exe
#     under Wine (64-bit; 32-bit where the host runs it): seconds,
#     ratio to the line limit and to the bare client, processor time of the program and of the
#     wineserver in % of one core. These run with one `nice -n 19` busy process beside them, as
#     on a machine that is doing something else too; bare, native and Wine take turns;
#   - processor time of the idle program under Wine (the 64-bit one while the others write);
#   - detection time per silent port, native and under Wine;
#   - dm730 writing the firmware at the line's pace, quiet, and then 10 times with three busy
#     processes beside it (not niced): how many of the 10 end, and their time to the quiet one;
#   - dm730 writing the firmware at the line's pace to four simulated controllers in one command
#     (--port four times) and to one, taking turns: the time of the four to the one, and the
#     processor time per controller of each (the parent's and its children's together), by the
#     release build of dm730 (build/release, made when missing);
#   - a whole paced restore by dm730 (written and read back), clean and through dm730sim
#     --noise-rate 0.01: the time of the noisy one to the clean one (BENCH_RESTORE_RUNS rounds,
#     1 by default: a round takes about 20 minutes).
# Times come from the simulator's own stamps (--timestamps), from the transfer's identification
# request to its last block, the same for every client.
#
# Usage: tools/bench.sh   (builds what is missing; about 40 minutes on two cores where only the
# 64-bit program runs, about 42 where the 32-bit one runs too). Each run's figures go to
# build/bench/figures.txt as `name value` lines; tools/bench_figures.py takes the medians and
# renders the table, also saved as build/bench/table.md; the runs' logs stay in build/bench/.
# Environment: SELVO_EXE measures that program only (another build, to compare; SELVO_DRIVER then
# names a driver of its architecture); SELVO_WINE64_ONLY=1 behaves as a host that runs 64-bit
# code only.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT=$PWD
RUNS=${BENCH_RUNS:-3}
RESTORE_RUNS=${BENCH_RESTORE_RUNS:-1}
LOADED_WRITES=10
DM730=$ROOT/build/native/dm730
# The processor time per controller is the program's as users get it: a build without the
# sanitizers, whose start-up in every child process would weigh more than the transfer.
RELEASE_DM730=$ROOT/build/release/dm730
# 512 blocks of 263 bytes (command, its ACK, data frame, its ACK) at 10 bits a byte, 38400 baud.
LINE_LIMIT=35.07
OUT=$ROOT/build/bench
SIM=$ROOT/build/native/tools/dm730sim/dm730sim
BENCH=$ROOT/build/native/tools/bench/selvo-bench
FIRMWARE=$OUT/firmware.upg
FIGURES=$OUT/figures.txt
SILENT_PORTS=2
IDLE_SECONDS=3

# shellcheck source=tests/wine/prefix.sh
source "$ROOT/tests/wine/prefix.sh"

declare -A BENCH_PREFIX=([x86]=build/wine-bench-prefix [x64]=build/wine-bench-prefix64)
declare -A SIDE_NAME=([x86]=32-bit [x64]=64-bit)

say() { echo "bench: $*" >&2; }

# --- what it needs ---------------------------------------------------------------------------

needed=("$SIM" "$BENCH" "$DM730" build/windows-x64/Selvo.exe build/windows-x64/tests/wine/selvo-driver.exe
        build/windows-x86/Selvo.exe build/windows-x86/tests/wine/selvo-driver.exe)
for f in "${needed[@]}"; do
  if [ ! -f "$f" ]; then
    say "building (build/bench-build.log)"
    mkdir -p build
    bash tools/build.sh >build/bench-build.log 2>&1 || { tail -20 build/bench-build.log >&2; say "the build failed"; exit 1; }
    break
  fi
done

if [ ! -f "$RELEASE_DM730" ]; then
  say "building the release dm730 (build/bench-build.log)"
  mkdir -p build
  { cmake --preset release && cmake --build --preset release --target dm730; } >>build/bench-build.log 2>&1 ||
    { tail -20 build/bench-build.log >&2; say "the build failed"; exit 1; }
fi

rm -rf "$OUT"
mkdir -p "$OUT/ports"
head -c $((512 * 256)) /dev/urandom >"$FIRMWARE"

# --- processes it starts, and stops whatever happens -------------------------------------------

SIM_PIDS=()
BUSY_PID=""
BUSY_PIDS=()
SELVO_PID=""

stop_pid() {   # PID
  kill -TERM "$1" 2>/dev/null || return 0
  wait_until 5 bash -c "! kill -0 $1 2>/dev/null" || kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# Stops the simulators started since the one given (all when none is).
stop_sims() {   # [FIRST_INDEX]
  local i
  for ((i = ${1:-0}; i < ${#SIM_PIDS[@]}; i++)); do stop_pid "${SIM_PIDS[$i]}"; done
  SIM_PIDS=("${SIM_PIDS[@]:0:${1:-0}}")
}

stop_selvo() {
  [ -n "$SELVO_PID" ] || return 0
  if kill -0 "$SELVO_PID" 2>/dev/null; then
    "$WINE" "$DRIVER" timeout 10 close gone >>"$OUT/driver.out" 2>&1 </dev/null
    wait_until 10 bash -c "! kill -0 $SELVO_PID 2>/dev/null" || kill -9 "$SELVO_PID" 2>/dev/null
  fi
  wait "$SELVO_PID" 2>/dev/null
  SELVO_PID=""
}

busy_start() {
  nice -n 19 bash -c 'while :; do :; done' >/dev/null 2>&1 </dev/null &
  BUSY_PID=$!
}

busy_stop() {
  [ -z "$BUSY_PID" ] || stop_pid "$BUSY_PID"
  BUSY_PID=""
  local pid
  for pid in "${BUSY_PIDS[@]}"; do stop_pid "$pid"; done
  BUSY_PIDS=()
}

# Three processes as busy as the program, as a laptop with other work on it.
busy_three_start() {
  local i
  for i in 1 2 3; do
    bash -c 'while :; do :; done' >/dev/null 2>&1 </dev/null &
    BUSY_PIDS+=($!)
  done
}

bench_stop() {
  [ -z "${WINE:-}" ] || stop_selvo
  stop_sims
  busy_stop
  wine_fixture_stop
}
trap bench_stop EXIT
trap 'exit 130' INT TERM

# --- measuring ---------------------------------------------------------------------------------

now() { date +%s.%N; }

# Processor time in clock ticks (user + system), from /proc/PID/stat: what a running process
# has used so far, or with `children` what the children it has waited for used.
cpu_ticks() {   # PID [children]
  local stat whose=${2:-self}
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  # Fields after the name, which is in parentheses and may hold spaces: utime is the 12th,
  # then stime, cutime, cstime.
  # shellcheck disable=SC2086  # split into fields on purpose
  set -- ${stat##*) }
  if [ "$whose" = children ]; then echo $((${14} + ${15})); else echo $((${12} + ${13})); fi
}

# Seconds from one `now` to another.
# Runs COMMAND with its output in OUTFILE and ERRFILE and prints the processor ticks it and every
# child it waited for used, as the subshell that waited for it sees them; ends with its exit code.
ticks_of() {   # OUTFILE ERRFILE COMMAND...
  local out=$1 err=$2
  shift 2
  (
    "$@" >"$out" 2>"$err" </dev/null
    rc=$?
    cpu_ticks $BASHPID children
    exit $rc
  )
}

seconds_between() { echo "$2 - $1" | bc; }

# A simulator on LINK with its event lines stamped in OUTFILE.
bench_sim() {   # LINK OUTFILE OPTIONS...
  local link=$1 out=$2
  shift 2
  "$SIM" --link "$link" --timestamps "$@" >"$out" 2>>"$OUT/sim.err" </dev/null &
  SIM_PIDS+=($!)
  wait_until 10 grep -Eqs '^[0-9.]+ ready ' "$out" || { say "the simulator did not start: $(tail -1 "$OUT/sim.err")"; return 1; }
}

# Seconds from the Nth transfer's identification request to its last block, by the simulator's
# stamps (the last ident before that block: a start-up probe comes earlier).
transfer_seconds() {   # SIMFILE [N]
  LC_ALL=C awk -v n="${2:-1}" '$2 == "ident" { t0 = $1 }
       $2 == "block-in" && $3 == "511" && $4 == "ack" && ++seen == n { printf "%.3f\n", $1 - t0; exit }' "$1"
}

last_blocks() { grep -cs ' block-in 511 ack$' "$1"; }

# Waits for the last block of the Nth paced write; 1 when the line falls silent for 3 s first
# (the writer gave up) or the write takes over 120 s.
wait_last_block() {   # SIMFILE [N]
  local end=$((SECONDS + 120)) size=-1 still=0 grown
  until [ "$(last_blocks "$1")" -ge "${2:-1}" ]; do
    grown=$(stat -c %s "$1" 2>/dev/null || echo 0)
    if [ "$grown" = "$size" ]; then still=$((still + 1)); else still=0 size=$grown; fi
    [ $still -lt 15 ] && [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

# One figure of a run, or a fact of the machine, as a `name value` line for bench_figures.py;
# nothing when the value is missing (that run then has no such figure).
record() {   # NAME VALUE
  [ -z "$2" ] || printf '%s %s\n' "$1" "${2//$'\n'/ }" >>"$FIGURES"
}

# --- native ------------------------------------------------------------------------------------

engine_speed() {
  local i out
  for i in $(seq $RUNS); do
    out=$("$BENCH" engine 3200 2>>"$OUT/bench.err") || { say "engine run $i failed: $(tail -1 "$OUT/bench.err")"; return 1; }
    record engine_write "$(LC_ALL=C awk '$1 == "write_blocks_per_s" { print $2 }' <<<"$out")"
    record engine_read "$(LC_ALL=C awk '$1 == "read_blocks_per_s" { print $2 }' <<<"$out")"
  done
}

native_detection() {
  local i out
  for i in $(seq $RUNS); do
    out=$("$BENCH" detect $SILENT_PORTS 2>>"$OUT/bench.err") || { say "native detection failed: $(tail -1 "$OUT/bench.err")"; return 1; }
    record detect_native "$(LC_ALL=C awk '$1 == "seconds_per_port" { print $2 }' <<<"$out")"
  done
}

# One paced write by the bare client, the native engine, or dm730 (keeping its trace of the
# line's last exchanges, as it always does).
native_paced_run() {   # bare|native|cli|cli_json RUN
  local who=$1 simout="$OUT/$1-$2.sim" out first=${#SIM_PIDS[@]}
  bench_sim "$OUT/ports/com1" "$simout" --line-rate --memory "$OUT/memory.bin" || return 1
  local t0 t1 ticks rc
  if [ "$who" = bare ]; then
    "$BENCH" bare-client "$OUT/ports/com1" "$FIRMWARE" 2>"$OUT/$who-$2.err"
    rc=$?
  elif [ "$who" = cli ] || [ "$who" = cli_json ]; then
    local json=()
    [ "$who" = cli ] || json=(--json)
    "$DM730" write firmware "$FIRMWARE" --port "$OUT/ports/com1" -q "${json[@]}" >"$OUT/$who-$2.out" 2>"$OUT/$who-$2.err" </dev/null
    rc=$?
  else
    t0=$(now)
    ticks=$(ticks_of "$OUT/$who-$2.out" "$OUT/$who-$2.err" "$BENCH" paced-write "$OUT/ports" "$FIRMWARE")
    rc=$?
    t1=$(now)
  fi
  wait_last_block "$simout"
  stop_sims "$first"
  if [ $rc -ne 0 ]; then
    # The message the transfer showed says most; the client's last word otherwise.
    record "failed_$who" "run $2: $( { grep -a -m1 'showed' "$OUT/$who-$2.err" || tail -1 "$OUT/$who-$2.err"; } | iconv -f CP1250 -t UTF-8)"
    say "the $who write did not end (run $2; see build/bench)"
    return 1
  fi
  if [ "$who" = native ]; then
    record native_ticks "$ticks"
    record native_wall_s "$(seconds_between "$t0" "$t1")"
  fi
  record "${who}_s" "$(transfer_seconds "$simout")"
}

# --- Wine --------------------------------------------------------------------------------------

drive() {   # DRIVER STEPS...
  "$WINE" "$DRIVER" "$@" >"$OUT/step.out" 2>>"$OUT/driver.err" </dev/null
  local rc=$?
  cat "$OUT/step.out" >>"$OUT/driver.out"
  return $rc
}

start_selvo() {   # LOG
  "$WINE" "$SELVO" >"$1" 2>&1 </dev/null &
  SELVO_PID=$!
}

# The prefix, display and server of one side; 1 when they cannot be had.
wine_side_up() {   # ARCH
  SELVO=$(realpath -m "${SELVO_EXE:-$ROOT/build/windows-$1/Selvo.exe}")
  DRIVER=$(realpath -m "${SELVO_DRIVER:-$ROOT/build/windows-$1/tests/wine/selvo-driver.exe}")
  wine_fixture_init "$ROOT/${BENCH_PREFIX[$1]}" "$1"
  [ -n "$XVFB_PID" ] || xvfb_start || return 1
  if ! wine_prefix_ensure || ! wine_windows_managed N; then
    say "the ${SIDE_NAME[$1]} prefix could not be made ($WINE_FIXTURE_LOG)"
    return 1
  fi
  local n
  for n in 1 2 3 4; do com_link "$n"; done
  # The wineserver script execs the server binary of the side (wineserver64, wineserver32).
  case $(cat "/proc/$WINESERVER_PID/comm" 2>/dev/null) in
    wineserver*) ;;
    *) say "pid $WINESERVER_PID is not the wineserver"; return 1 ;;
  esac
}

wine_side_down() {
  wine_fixture_stop_server_only
}

# The time the program takes per silent port: from its open of COM1 to its close of the last
# silent port, by the simulators' stamps.
wine_detection_run() {   # ARCH RUN
  local arch=$1 n first last
  for n in $(seq $SILENT_PORTS); do
    bench_sim "$WINE_LINKS/COM$n" "$OUT/detect-$arch-$2-com$n.sim" --ident-silent --port-events || return 1
  done
  start_selvo "$OUT/selvo-detect-$arch-$2.log"
  drive timeout 60 find box ok || { say "no not-found message (${SIDE_NAME[$arch]}): $(tail -1 "$OUT/step.out")"; stop_selvo; stop_sims; return 1; }
  stop_selvo
  stop_sims
  first=$(LC_ALL=C awk '$2 == "port" && $3 == "open" { print $1; exit }' "$OUT/detect-$arch-$2-com1.sim")
  last=$(LC_ALL=C awk '$2 == "port" && $3 == "closed" { print $1; exit }' "$OUT/detect-$arch-$2-com$SILENT_PORTS.sim")
  if [ -z "$first" ] || [ -z "$last" ]; then
    say "no port events in the detection run"
    return 1
  fi
  record "detect_$arch" "$(LC_ALL=C awk -v a="$first" -v b="$last" -v n=$SILENT_PORTS 'BEGIN { printf "%.3f", (b - a) / n }')"
}

# The program of one side started with the controller on COM1 and idle; it stays up for all
# the side's paced writes.
wine_program_up() {   # ARCH
  wine_side_up "$1" || return 1
  WINE_SIM_OUT=$OUT/wine-$1.sim
  bench_sim "$WINE_LINKS/COM1" "$WINE_SIM_OUT" --line-rate --memory "$OUT/memory-wine.bin" || return 1
  start_selvo "$OUT/selvo-$1.log"
  if ! drive timeout 60 find idle || ! grep -q 'box=none' "$OUT/step.out"; then
    say "the ${SIDE_NAME[$1]} program did not come up idle: $(tail -1 "$OUT/step.out")"
    return 1
  fi
}

wine_program_down() {
  stop_selvo
  stop_sims
  wine_side_down
}

# Processor time of the program and the wineserver over a stretch of wall-clock time, recorded
# as NAME_program_ticks, NAME_server_ticks and NAME_wall_s.
wine_cpu_begin() { CPU_T0=$(now) CPU_P0=$(cpu_ticks "$SELVO_PID") CPU_W0=$(cpu_ticks "$WINESERVER_PID"); }
wine_cpu_end() {   # NAME
  local t1 p1 w1
  t1=$(now) p1=$(cpu_ticks "$SELVO_PID") w1=$(cpu_ticks "$WINESERVER_PID")
  record "$1_program_ticks" $((p1 - CPU_P0))
  record "$1_server_ticks" $((w1 - CPU_W0))
  record "$1_wall_s" "$(seconds_between "$CPU_T0" "$t1")"
}

# The Nth paced firmware write of the running program, with its processor time and the
# wineserver's from the moment the file was chosen until the simulator stored the last block.
wine_paced_write() {   # ARCH N
  local arch=$1 blocks
  # The firmware is the data kind at start-up: the write command and the file are all it takes.
  if ! drive timeout 30 command 103 file "$FIRMWARE"; then
    record "failed_$arch" "run $2 not started: $(tail -1 "$OUT/step.out")"
    say "the ${SIDE_NAME[$arch]} program's write could not be started (run $2)"
    return 1
  fi
  wine_cpu_begin
  if ! wait_last_block "$WINE_SIM_OUT" "$2"; then
    # Most likely the program reported a failure: its message box says which, and OK on it
    # leaves the program ready for the next write.
    drive timeout 3 box ok
    blocks=$(LC_ALL=C awk '$2 == "ident" { n = 0 } $2 == "block-in" { n++ } END { print n + 0 }' "$WINE_SIM_OUT")
    record "failed_$arch" "run $2 after $blocks blocks: $(sed -n 's/^box caption=.* text="\(.*\)" buttons=.*$/\1/p' "$OUT/step.out" | head -1)"
    say "the ${SIDE_NAME[$arch]} program's write did not end (run $2; see build/bench)"
    return 1
  fi
  wine_cpu_end "wine_$arch"
  record "wine_${arch}_s" "$(transfer_seconds "$WINE_SIM_OUT" "$2")"
  drive timeout 5 idle
  grep -q 'box=none' "$OUT/step.out" || say "the ${SIDE_NAME[$arch]} program shows a message after its write: $(tail -1 "$OUT/step.out")"
}

# --- the runs ----------------------------------------------------------------------------------

SIDES=()
declare -A SKIPPED=()      # side -> why it was not measured
declare -A DETECTION_FAILED=()
if [ -n "${SELVO_EXE:-}" ]; then
  chosen=$(pe_arch "$SELVO_EXE") || { say "$SELVO_EXE is not a Windows program"; exit 2; }
fi
for arch in x64 x86; do
  if [ -n "${SELVO_EXE:-}" ] && [ "$arch" != "$chosen" ]; then
    SKIPPED[$arch]="not run: SELVO_EXE is a ${SIDE_NAME[$chosen]} program"
  elif [ "$arch" = x86 ] && ! wine_runs_32bit; then
    SKIPPED[$arch]="not run: $WINE32_MISSING"
  else
    SIDES+=("$arch")
  fi
done

LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$SECONDS
say "engine speed, native, unpaced"
engine_speed || exit 1
say "detection on $SILENT_PORTS silent ports, native"
native_detection || exit 1
for arch in "${SIDES[@]}"; do
  say "detection on $SILENT_PORTS silent ports, ${SIDE_NAME[$arch]} program under Wine"
  if wine_side_up "$arch"; then
    for i in $(seq $RUNS); do
      wine_detection_run "$arch" "$i" || { DETECTION_FAILED[$arch]="failed (see build/bench)"; break; }
    done
  else
    SKIPPED[$arch]="failed: no Wine prefix (see build/bench)"
  fi
  wine_side_down
done

say "paced firmware writes, $RUNS rounds, with a nice -n 19 busy process beside them"
busy_start
# Bare, native and the 64-bit program take turns, so that whatever else the machine does falls
# on all of them alike; the program idles meanwhile, which is its idle measurement.
if [ -z "${SKIPPED[x64]:-}" ] && ! wine_program_up x64; then
  SKIPPED[x64]="failed: the program did not come up (see build/bench)"
fi
for i in $(seq $RUNS); do
  say "round $i of $RUNS"
  [ -n "${SKIPPED[x64]:-}" ] || wine_cpu_begin
  native_paced_run bare "$i"
  native_paced_run native "$i"
  native_paced_run cli "$i"
  native_paced_run cli_json "$i"
  [ -n "${SKIPPED[x64]:-}" ] || { wine_cpu_end idle_x64; wine_paced_write x64 "$i"; }
done
wine_program_down
if [[ " ${SIDES[*]} " == *" x86 "* ]] && [ -z "${SKIPPED[x86]:-}" ]; then
  if wine_program_up x86; then
    for i in $(seq $RUNS); do
      wine_cpu_begin
      sleep $IDLE_SECONDS
      wine_cpu_end idle_x86
      wine_paced_write x86 "$i"
    done
  else
    SKIPPED[x86]="failed: the program did not come up (see build/bench)"
  fi
  wine_program_down
fi
busy_stop
wine_fixture_stop

# --- dm730 on a busy machine and on a noisy line ------------------------------------------------

# One paced firmware write by dm730 on the simulator's port; its time by the simulator's stamps.
dm730_paced_write() {   # NAME RUN
  local simout="$OUT/$1-$2.sim" first=${#SIM_PIDS[@]} rc
  bench_sim "$OUT/ports/com1" "$simout" --line-rate --memory "$OUT/memory-dm730.bin" || return 1
  "$DM730" write firmware "$FIRMWARE" --port "$OUT/ports/com1" -q >"$OUT/$1-$2.out" 2>&1 </dev/null
  rc=$?
  stop_sims "$first"
  if [ $rc -ne 0 ]; then
    record "failed_$1" "run $2: exit $rc, $(grep -a -m1 -v '^Port' "$OUT/$1-$2.out")"
    return 1
  fi
  record "$1_s" "$(transfer_seconds "$simout")"
}

# One command of dm730 writing the firmware at the line's pace to COUNT simulated controllers
# (1: one --port, dm730 alone; 4: four, one child process each): its wall-clock seconds from
# start to end, and the processor ticks of dm730 and every child it waited for.
dm730_many_write() {   # COUNT RUN
  local count=$1 run=$2 first=${#SIM_PIDS[@]} ports=() i t0 t1 ticks rc
  for i in $(seq "$count"); do
    rm -f "$OUT/memory-many$i.bin"
    bench_sim "$OUT/ports/com$((3 + i))" "$OUT/many$count-$run-$i.sim" --line-rate \
      --memory "$OUT/memory-many$i.bin" || return 1
    ports+=(--port "$OUT/ports/com$((3 + i))")
  done
  t0=$(now)
  ticks=$(ticks_of "$OUT/many$count-$run.out" "$OUT/many$count-$run.err" \
          "$RELEASE_DM730" write firmware "$FIRMWARE" "${ports[@]}" -q)
  rc=$?
  t1=$(now)
  stop_sims "$first"
  if [ $rc -ne 0 ]; then
    record "failed_many$count" "run $run: exit $rc, $(tail -1 "$OUT/many$count-$run.err")"
    return 1
  fi
  record "many${count}_s" "$(seconds_between "$t0" "$t1")"
  record "many${count}_ticks" "$ticks"
}

# A whole backup to restore, taken unpaced from a simulator of random memory.
make_restore_backup() {
  head -c $((4096 * 256)) /dev/urandom >"$OUT/memory-backup.bin"
  bench_sim "$OUT/ports/com2" "$OUT/backup.sim" --memory "$OUT/memory-backup.bin" || return 1
  "$DM730" backup "$OUT/backup" --port "$OUT/ports/com2" -q >"$OUT/backup.out" 2>&1 </dev/null
  local rc=$?
  stop_sims
  [ $rc -eq 0 ] || { say "the backup to restore failed: $(tail -1 "$OUT/backup.out")"; return 1; }
}

# One paced restore onto a blank simulator, wall-clock seconds from its start to its end.
dm730_paced_restore() {   # NAME RUN OPTIONS...
  local name=$1 run=$2 t0 t1 rc
  shift 2
  rm -f "$OUT/memory-restore.bin"
  bench_sim "$OUT/ports/com3" "$OUT/$name-$run.sim" --line-rate --memory "$OUT/memory-restore.bin" "$@" || return 1
  t0=$(now)
  "$DM730" restore "$OUT/backup" --port "$OUT/ports/com3" -q >"$OUT/$name-$run.out" 2>&1 </dev/null
  rc=$?
  t1=$(now)
  stop_sims
  if [ $rc -ne 0 ]; then
    record "failed_$name" "run $run: exit $rc, $(grep -a -m1 -v '^Port\|^Uwaga' "$OUT/$name-$run.out")"
    return 1
  fi
  record "${name}_s" "$(seconds_between "$t0" "$t1")"
  record "${name}_retried" "$(grep -ao 'ponowiono [0-9]*' "$OUT/$name-$run.out" | grep -o '[0-9]*' || echo 0)"
}

say "dm730 paced firmware writes: $RUNS quiet, then $LOADED_WRITES with three busy processes"
for i in $(seq $RUNS); do dm730_paced_write cli_quiet "$i"; done
busy_three_start
ended=0
for i in $(seq $LOADED_WRITES); do
  dm730_paced_write cli_loaded "$i" && ended=$((ended + 1))
done
busy_stop
record cli_loaded_ended "$ended"
record cli_loaded_runs "$LOADED_WRITES"

say "dm730 paced firmware writes to four controllers in one command and to one, $RUNS rounds"
for i in $(seq $RUNS); do
  dm730_many_write 1 "$i"
  dm730_many_write 4 "$i"
done

say "dm730 paced restores, $RESTORE_RUNS rounds, clean and through --noise-rate 0.01"
if make_restore_backup; then
  for i in $(seq $RESTORE_RUNS); do
    dm730_paced_restore restore_clean "$i"
    dm730_paced_restore restore_noisy "$i" --noise-rate 0.01 --seed "$i"
  done
fi

# --- the table ---------------------------------------------------------------------------------

record runs "$RUNS"
record cores "$(nproc)"
record wine "$("$WINE64_LOADER" --version 2>/dev/null)"
record load "$LOAD_AT_START"
record seconds $((SECONDS - STARTED))
record program "${SELVO_EXE:-}"
record line_limit_s "$LINE_LIMIT"
record clock_ticks_per_s "$(getconf CLK_TCK)"
for arch in x64 x86; do
  record "skipped_$arch" "${SKIPPED[$arch]:-}"
  record "detection_failed_$arch" "${DETECTION_FAILED[$arch]:-}"
done
python3 tools/bench_figures.py "$FIGURES" | tee "$OUT/table.md"
