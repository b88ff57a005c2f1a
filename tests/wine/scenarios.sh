# shellcheck shell=bash
# The scenarios of the Wine suite, each an operator-visible case of the program, in the order
# they run (sourced by tests/wine/run.sh; helpers in checks.sh). Texts are compared as the
# driver reads them back in Unicode: a wrong code page fails the comparison.

# shellcheck disable=SC2034  # read by run.sh
SCENARIOS=(
  startup_found
  firmware_write
  libraries_roundtrip
  no_controller
  no_ports
  third_port
  port_auto
  regions_full
  scenes_short_file
  failure_texts
  verify_difference
  firmware_verify
  repeat_other_kind
  escape_by_keyboard
  keys_without_transfer
  close_during_transfer
  kind_change_during_transfer
  action_during_transfer
  file_rules
  console_program
  console_port_beyond_com4
)

NOT_FOUND='Nie znalazłem Dm730 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.'
# MessageBoxA styles as the relay trace shows them.
WARNING=30
ERROR=10
INFORMATION=40
QUESTION_NO_DEFAULT=124   # MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2

# The program's window is up, has shown no message box and handles messages.
expect_quiet_start() {
  drv_expect "idle box=none enabled" find idle
}

close_and_expect_exit() {   # CODE
  drv close gone || fail "the window did not close"
  local code
  code=$(selvo_exit_code 15) || fail "the program did not end after its window closed"
  [ "$code" = "$1" ] || fail "exit code $code, expected $1"
  ok "window closed, exit code $code"
}

# The last message box in the relay trace had this caption and style.
expect_last_box_style() {   # CAPTION STYLE [OWNER]
  local last
  last=$(message_boxes | tail -1)
  [ "$last" = "${3:-window}|$1|$2" ] || fail "MessageBoxA: '$last', expected '${3:-window}|$1|$2'"
}

# Runs an action through the menus: the data-kind item of ActionsMenu (2 program, 3 libraries,
# 4 user scenes), then the action command (103 write, 102 read, 104 verify), then the file.
menu_action() {   # KIND_POSITION COMMAND FILE
  local am
  am=$(actions_menu) || fail "no ActionsMenu in the relay trace"
  drv select "$am" "$1" command "$2" file "$3" || fail "action $2 on $3: ${LAST##*$'\n'}"
}

# The file dialog's own question for a read into a new file (OFN_CREATEPROMPT) or over an
# existing one (OFN_OVERWRITEPROMPT): answered Yes. It belongs to the dialog, not the program.
answer_dialog_question() {
  drv box none || fail "no question of the file dialog"
  grep -q 'owner=other' <<<"$LAST" || fail "expected the file dialog's question, got: $LAST"
  drv box yes || fail "could not answer the file dialog's question"
}

# A user-scenes read cut short: scenes.usr holds whole blocks, the ones read
# before WHAT (the last frame sent may still have been on the line), equal to
# the simulator's memory from block 896.
expect_partial_scenes_read() {   # SENT WHAT
  local sent=$1 size blocks
  size=$(stat -c %s "$W/scenes.usr")
  blocks=$((size / 256))
  [ $((size % 256)) = 0 ] && [ $blocks -ge $((sent - 1)) ] && [ $blocks -le "$sent" ] ||
    fail "scenes.usr holds $size bytes after $sent blocks were sent"
  memory_blocks "$SCEN/mem1.bin" 896 "$blocks" >"$SCEN/prefix.want"
  same_bytes "$SCEN/prefix.want" "$W/scenes.usr" "blocks read before $2"
  ok "scenes.usr holds the $blocks blocks read before $2"
}

wait_file_size() {   # FILE SIZE [LIMIT]
  wait_until "${3:-30}" bash -c '[ "$(stat -c %s "$1" 2>/dev/null)" = "$2" ]' _ "$1" "$2" ||
    fail "$1 is $(stat -c %s "$1" 2>/dev/null || echo missing) bytes, expected $2"
}

# --- start-up ----------------------------------------------------------------------------------

scenario_startup_found() {
  start_sim 1 --versions 4.07,2.31
  start_selvo
  expect_quiet_start
  ok "started with no message"
  sim_wait 1 '^ident$' 5
  local pm marks
  pm=$(port_menu) || fail "no PortMenu in the relay trace"
  marks=$(menu_marks "$pm" | tr '\n' ' ')
  [ "$marks" = "1+ " ] || fail "PortMenu marks: '$marks', expected only position 1"
  ok "controller found on COM1, its item checked"
  local am flags
  am=$(actions_menu)
  flags=$(relay_calls user32.AppendMenuA | awk -F, -v m="${am#0x}" '$1 == m && $3 ~ /6b$/ { print $2 }')
  [ $((16#${flags:-0} & 1)) -eq 1 ] || fail "P&owtórz was not appended grayed (flags '$flags')"
  ok "P&owtórz grayed before the first action"
  wait_drawn ' Wersja firmware : N/A \| N/A$'
  ok "firmware line shows N/A | N/A before any transfer"
  shot idle
  close_and_expect_exit 0
}

scenario_no_controller() {
  mkdir -p "$SCEN/held"
  start_selvo
  drv find || fail "no window"
  expect_box ok "Mamy problem :" "$NOT_FOUND"
  expect_last_box_style "Mamy problem :" $WARNING
  ok "not-found message over the window, warning icon"
  drv_expect "idle box=none enabled" idle
  wait_drawn ' Wersja firmware : N/A \| N/A$'
  ok "versions N/A, window works"
  drv command 100 || fail "help"
  expect_box ok "Brak dostępu !" "Plik pomocy nie jest na razie dostępny !"
  expect_last_box_style "Brak dostępu !" $INFORMATION
  ok "help file missing"
  drv command 101 || fail "about"
  drv box ok || fail "no about box"
  grep -q '^box caption="O programie :" text="..*" buttons=ok ' <<<"$LAST" || fail "about box: $LAST"
  # Free software under the licence shipped beside it, its version, and where the guide is.
  for part in "wersja $(project_version)" "licencji MIT" "CZYTAJ.TXT"; do
    grep -qF "$part" <<<"$LAST" || fail "about box without \"$part\": $LAST"
  done
  expect_last_box_style "O programie :" $INFORMATION
  ok "about box: version, MIT licence, guide"
  # A port another program holds: Wine does not make ports exclusive, and a link to a directory
  # fails to open as a held port does on Windows (access denied).
  com_link 2 "$SCEN/held"
  drv command 202 || fail "port 2"
  expect_box ok "Ostrzeżenie" "Błąd otwarcia portu !"
  expect_last_box_style "Ostrzeżenie" $WARNING
  [ -z "$(menu_marks "$(port_menu)" | grep '+')" ] || fail "a port item was checked"
  ok "port chosen by hand that cannot be opened"
  close_and_expect_exit 0
}

scenario_no_ports() {
  SPOOLER_CHANGED=1   # the cleanup restores the list
  spooler_ports
  start_selvo
  expect_box none "Klęska !" "Brak dostępnych portów szeregowych" ok ok none
  drv_expect "no window" nowindow
  drv box ok || fail "could not answer the message"
  local code
  code=$(selvo_exit_code 15) || fail "the program did not end"
  [ "$code" = 255 ] || fail "exit code $code, expected 255 (-1)"
  expect_last_box_style "Klęska !" $WARNING none
  [ -z "$(relay_calls user32.CreateWindowExA)" ] || fail "a window was created"
  ok "no ports: message without a window, exit code -1"
}

scenario_third_port() {
  start_sim 1 --ident-silent
  start_sim 2 --ident-nak
  start_sim 3
  start_selvo
  expect_quiet_start
  sim_wait 1 '^fault ident-silent$' 1
  sim_wait 2 '^fault ident-nak$' 1
  sim_wait 3 '^ident$' 1
  local marks
  marks=$(menu_marks "$(port_menu)" | tr '\n' ' ')
  [ "$marks" = "3+ " ] || fail "PortMenu marks: '$marks', expected only position 3"
  ok "COM1 (silent) and COM2 (NAK) probed and passed over; COM3 is the only check mark"
  close_and_expect_exit 0
}

# The controller switched on after start-up is found by "&Auto", and used.
scenario_port_auto() {
  random_bytes 300 12 >"$W/fw.upg"
  start_selvo
  drv find || fail "no window"
  expect_box ok "Mamy problem :" "$NOT_FOUND"
  start_sim 2
  drv command 200 || fail "auto"
  drv_expect "idle box=none enabled" idle
  sim_wait 2 '^ident$' 1
  local marks
  marks=$(menu_marks "$(port_menu)" | tr '\n' ' ')
  [ "$marks" = "2+ " ] || fail "PortMenu marks: '$marks', expected only position 2"
  ok "Auto found the controller on COM2 and checked it"
  menu_action 2 103 "$W/fw.upg"
  sim_wait 2 '^block-in 1 ack$' 10
  head -c 256 "$W/fw.upg" >"$SCEN/block0.want"
  memory_blocks "$SCEN/mem2.bin" 0 1 >"$SCEN/block0.got"
  same_bytes "$SCEN/block0.want" "$SCEN/block0.got" "block 0 on COM2"
  ok "and the next write went to COM2"
  close_and_expect_exit 0
}

# --- transfers -------------------------------------------------------------------------------

scenario_firmware_write() {
  make_memory "$SCEN/mem1.bin" 1
  cp "$SCEN/mem1.bin" "$SCEN/mem1.before"
  random_bytes 300 2 >"$W/fw.upg"
  start_sim 1 --versions 4.07,2.31
  start_selvo
  expect_quiet_start
  local am
  am=$(actions_menu)
  # Pointing at the user scenes and then at the program selects the program.
  drv select "$am" 4 || fail "select"
  menu_action 2 103 "$W/fw.upg"
  grep -q '^file dialog "Wybierz plik z danymi :"' <<<"$LAST" || fail "dialog title: $LAST"
  sim_wait 1 '^block-in 1 ack$' 20
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^command write')" = 2 ] || fail "expected exactly 2 block commands: $(grep command "$SCEN/sim1.out")"
  head -c 256 "$W/fw.upg" >"$SCEN/block0.want"
  { tail -c 44 "$W/fw.upg"; head -c 212 /dev/zero; } >"$SCEN/block1.want"
  memory_blocks "$SCEN/mem1.bin" 0 1 >"$SCEN/block0.got"
  memory_blocks "$SCEN/mem1.bin" 1 1 >"$SCEN/block1.got"
  same_bytes "$SCEN/block0.want" "$SCEN/block0.got" "block 0"
  same_bytes "$SCEN/block1.want" "$SCEN/block1.got" "block 1 (44 file bytes, 212 zeros)"
  memory_blocks "$SCEN/mem1.before" 2 4094 >"$SCEN/rest.want"
  memory_blocks "$SCEN/mem1.bin" 2 4094 >"$SCEN/rest.got"
  same_bytes "$SCEN/rest.want" "$SCEN/rest.got" "blocks 2 to 4095 untouched"
  ok "300-byte firmware file written: blocks 0 and 1 hold it, nothing else changed"
  wait_drawn ' Wersja firmware : 4\.07 \| 2\.31$'
  ok "firmware line shows the simulator's versions 4.07 | 2.31"
  drawn_matches '^10 [0-9]+ Zapisywanie do Dm730 : program$' || fail "line 2 of a firmware write not drawn"
  drawn_matches '^10 [0-9]+ Blok 2 z 2$' || fail "line 3 'Blok 2 z 2' not drawn"
  ok "status lines of the write"
  [ "$(menu_enables "$am" | head -1)" = "0:400" ] || fail "P&owtórz not enabled: $(menu_enables "$am")"
  ok "P&owtórz enabled after the first action"
  close_and_expect_exit 0
}

scenario_libraries_roundtrip() {
  make_memory "$SCEN/mem1.bin" 3
  random_bytes $((40 * 256)) 4 >"$W/random.lib"
  # Every byte value crosses the line, the flow-control characters included.
  for b in 11 13; do
    od -An -tx1 -v "$W/random.lib" | grep -cw "$b" >/dev/null || fail "test file lacks byte 0x$b"
  done
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 3 103 "$W/random.lib"
  # A file of whole blocks is followed by one block of zeros.
  sim_wait 1 '^block-in 552 ack$' 30
  memory_blocks "$SCEN/mem1.bin" 512 40 >"$SCEN/written.got"
  same_bytes "$W/random.lib" "$SCEN/written.got" "libraries written"
  [ "$(memory_blocks "$SCEN/mem1.bin" 552 1 | tr -d '\0' | wc -c)" = 0 ] || fail "block 552 is not zeros"
  ok "random library file (0x11 and 0x13 included) written, then a zero block"
  drv_expect "idle box=none enabled" idle
  menu_action 3 102 "$W/back.lib"
  answer_dialog_question
  sim_wait 1 '^block-out 895$' 60
  wait_file_size "$W/back.lib" $((384 * 256))
  memory_blocks "$SCEN/mem1.bin" 512 384 >"$SCEN/region.want"
  same_bytes "$SCEN/region.want" "$W/back.lib" "libraries read back"
  ok "read of the libraries region equals the simulator's memory"
  drv_expect "idle box=none enabled" idle
  menu_action 3 104 "$W/back.lib"
  wait_until 30 bash -c '[ "$(grep -c "^block-out 895$" "$1")" = 2 ]' _ "$SCEN/sim1.out" || fail "verify did not reach block 895"
  drv_expect "idle box=none enabled" idle
  [ -z "$(relay_calls user32.MessageBoxA)" ] || fail "a message was shown: $(message_boxes)"
  ok "libraries verified against the device with no difference"
  close_and_expect_exit 0
}

# Whole regions: the firmware written from a file of its exact size, the user scenes read into a
# file of 3200 blocks.
scenario_regions_full() {
  make_memory "$SCEN/mem1.bin" 10
  random_bytes $((512 * 256)) 11 >"$W/full.upg"
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 2 103 "$W/full.upg"
  sim_wait 1 '^block-in 511 ack$' 60
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^command write')" = 512 ] || fail "$(sim_count 1 '^command write') block commands for 512 blocks"
  memory_blocks "$SCEN/mem1.bin" 0 512 >"$SCEN/firmware.got"
  same_bytes "$W/full.upg" "$SCEN/firmware.got" "firmware region"
  ok "firmware region written whole (512 blocks, no block past it)"
  menu_action 2 102 "$W/back.upg"
  answer_dialog_question
  wait_file_size "$W/back.upg" $((512 * 256)) 60
  same_bytes "$W/full.upg" "$W/back.upg" "firmware read back"
  ok "firmware region read back equal"
  menu_action 4 102 "$W/all.usr"
  answer_dialog_question
  sim_wait 1 '^block-out 4095$' 90
  wait_file_size "$W/all.usr" $((3200 * 256))
  memory_blocks "$SCEN/mem1.bin" 896 3200 >"$SCEN/scenes.want"
  same_bytes "$SCEN/scenes.want" "$W/all.usr" "user scenes read"
  ok "user scenes read: 3200 blocks, block 896 first, equal to the memory"
  close_and_expect_exit 0
}

# User scenes from a short file: written with the zero fill, then verified without a question.
scenario_scenes_short_file() {
  make_memory "$SCEN/mem1.bin" 15
  random_bytes 300 16 >"$W/short.usr"
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 4 103 "$W/short.usr"
  sim_wait 1 '^block-in 897 ack$' 10
  drv_expect "idle box=none enabled" idle
  { cat "$W/short.usr"; head -c 212 /dev/zero; } >"$SCEN/scenes.want"
  memory_blocks "$SCEN/mem1.bin" 896 2 >"$SCEN/scenes.got"
  same_bytes "$SCEN/scenes.want" "$SCEN/scenes.got" "blocks 896 and 897"
  ok "300-byte scene file written to blocks 896 and 897"
  menu_action 4 104 "$W/short.usr"
  sim_wait 1 '^block-out 897$' 10
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^command read')" = 2 ] || fail "verify sent $(sim_count 1 '^command read') block commands"
  [ -z "$(relay_calls user32.MessageBoxA)" ] || fail "a message was shown: $(message_boxes)"
  ok "and verified: two blocks, no question"
  close_and_expect_exit 0
}

# Each fault of the controller ends the transfer with its text, caption "Niepowodzenie" and the
# error icon. The simulator is restarted with the next fault on the same link; the program
# reopens the port before every action. A line that goes away in mid-transfer fails the pending
# read with 109 (ERROR_BROKEN_PIPE): Wine's code for a pty whose far end closed; a USB adapter
# pulled out of a Windows PC gives another code, so only the prefix of that text is Windows'.
scenario_failure_texts() {
  random_bytes 300 5 >"$W/fw.upg"
  start_sim 1
  start_selvo
  expect_quiet_start
  local faults text kind cmd file
  while IFS='|' read -r faults kind cmd file text; do
    stop_sim 1
    # shellcheck disable=SC2086
    start_sim 1 $faults
    if [ "$kind" = repeat ]; then
      drv command 107 || fail "repeat"
    else
      menu_action "$kind" "$cmd" "$W/$file"
      [ "$cmd" != 102 ] || answer_dialog_question
    fi
    expect_box ok "Niepowodzenie" "$text"
    expect_last_box_style "Niepowodzenie" $ERROR
    ok "$faults: $text"
  done <<'EOF'
--nak-command 0|2|103|fw.upg|Błąd potwierdzenia : NAK
--status-byte 0:0x07|repeat|||Błąd potwierdzenia : błąd ACK :  7
--nak-block 1|repeat|||Błąd przesyłania : NAK
--silent-after 1|repeat|||Błąd potwierdzenia : brak danych : 0
--bad-ident-checksum=0x0a|repeat|||Błąd inicjacji : sumy kontrolnej : a
--hangup-after 1|repeat|||Kod błędu : 109
--bad-checksum 513:0x3f|3|102|bad.lib|Błąd przesyłania : sumy kontrolnej : 3f
--short-frame 512|3|102|short.lib|Błąd przesyłania : brak danych : 200
EOF
  # The blocks read before the bad checksum stay in the file.
  [ "$(stat -c %s "$W/bad.lib")" = 256 ] || fail "bad.lib holds $(stat -c %s "$W/bad.lib") bytes, expected 256"
  ok "the block read before the bad checksum stays in the file"
  close_and_expect_exit 0
}

scenario_verify_difference() {
  random_bytes 300 6 >"$W/fw.upg"
  make_memory "$SCEN/mem1.bin" 7
  # Device memory = the file, zero-filled to two blocks, but for three bytes.
  {
    head -c 300 "$W/fw.upg"
    head -c 212 /dev/zero
    tail -c +513 "$SCEN/mem1.bin"
  } >"$SCEN/mem1.new"
  mv "$SCEN/mem1.new" "$SCEN/mem1.bin"
  poke_byte "$W/fw.upg" 5 1
  poke_byte "$SCEN/mem1.bin" 5 2
  poke_byte "$W/fw.upg" 7 3
  poke_byte "$SCEN/mem1.bin" 7 4
  poke_byte "$SCEN/mem1.bin" $((256 + 50)) 9
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 2 104 "$W/fw.upg"
  grep -q '^file dialog "Wybierz plik do weryfikacji :"' <<<"$LAST" || fail "dialog title: $LAST"
  expect_box yes "Ostrzeżenie" 'Błąd weryfikacji : blok 1 poz. 5\n1, 2\nKontynuować ?' yes,no no
  expect_last_box_style "Ostrzeżenie" $QUESTION_NO_DEFAULT
  expect_box yes "Ostrzeżenie" 'Błąd weryfikacji : blok 1 poz. 7\n3, 4\nKontynuować ?' yes,no no
  # Past the end of the short file the device's bytes are compared with the zero fill.
  expect_box yes "Ostrzeżenie" 'Błąd weryfikacji : blok 2 poz. 50\n0, 9\nKontynuować ?' yes,no no
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^command read')" = 2 ] || fail "verify of a 2-block file sent $(sim_count 1 '^command read') commands"
  ok "differences answered Yes: every one asked, the short file ends the verify after block 2"
  drv command 107 || fail "repeat"
  expect_box no "Ostrzeżenie" 'Błąd weryfikacji : blok 1 poz. 5\n1, 2\nKontynuować ?' yes,no no
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^command read')" = 3 ] || fail "the verify went on after No"
  ok "difference answered No stops the verify"
  close_and_expect_exit 0
}

# A file equal to the device's first three blocks verifies without a question; one byte changed
# in it asks, with the block counted from 1, the position and both bytes, and No ends the verify.
scenario_firmware_verify() {
  make_memory "$SCEN/mem1.bin" 20
  # A file of whole blocks is followed by one block compared with the zero fill: block 3 holds
  # zeros, so that comparison finds nothing either.
  {
    memory_blocks "$SCEN/mem1.bin" 0 3
    head -c 256 /dev/zero
    tail -c +$((4 * 256 + 1)) "$SCEN/mem1.bin"
  } >"$SCEN/mem1.new"
  mv "$SCEN/mem1.new" "$SCEN/mem1.bin"
  cp "$SCEN/mem1.bin" "$SCEN/mem1.before"
  memory_blocks "$SCEN/mem1.bin" 0 3 >"$W/same.upg"
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 2 104 "$W/same.upg"
  grep -q '^file dialog "Wybierz plik do weryfikacji :"' <<<"$LAST" || fail "dialog title: $LAST"
  sim_wait 1 '^block-out 3$' 10
  drv_expect "idle box=none enabled" idle
  local reads
  reads=$(grep '^command read' "$SCEN/sim1.out" | cut -d' ' -f3 | tr '\n' ' ')
  [ "$reads" = "0 1 2 3 " ] || fail "verify read blocks '$reads', expected 0 1 2 3 (the last against the zero fill)"
  [ -z "$(relay_calls user32.MessageBoxA)" ] || fail "a message was shown: $(message_boxes)"
  wait_drawn '^10 [0-9]+ Weryfikacja : program$'
  ok "3-block file equal to the device: blocks 0 to 3 read, no message, no question"
  # Block 1, position 200: absolute offset 456.
  local device file
  device=$(byte_at "$SCEN/mem1.bin" 456)
  file=$(((device + 77) % 256))
  poke_byte "$W/same.upg" 456 "$file"
  menu_action 2 104 "$W/same.upg"
  expect_box no "Ostrzeżenie" "Błąd weryfikacji : blok 2 poz. 200\\n$file, $device\\nKontynuować ?" yes,no no
  expect_last_box_style "Ostrzeżenie" $QUESTION_NO_DEFAULT
  drv_expect "idle box=none enabled" idle
  sleep 0.5   # an absence is seen only over a span of time
  [ "$(sim_count 1 '^command read')" = 6 ] || fail "after No: $(sim_count 1 '^command read') block commands in all, expected 4 + 2"
  [ "$(message_boxes | wc -l)" = 1 ] || fail "messages: $(message_boxes | tr '\n' ' ')"
  same_bytes "$SCEN/mem1.before" "$SCEN/mem1.bin" "the device memory after two verifies"
  ok "one byte changed ($file, device $device): the question for block 2 position 200, No ends the verify"
  close_and_expect_exit 0
}

# "P&owtórz" after pointing at another data kind, with no action clicked: the last file (a
# libraries file) is refused for the firmware region with the dialog's own message and nothing
# reaches the controller; pointing at the libraries again, the repeat writes it as before. Then a
# read over an existing file while the controller keeps silent: the old file survives.
scenario_repeat_other_kind() {
  make_memory "$SCEN/mem1.bin" 21
  random_bytes 300 22 >"$W/short.lib"
  { cat "$W/short.lib"; head -c 212 /dev/zero; } >"$SCEN/blocks.want"
  random_bytes 5000 23 >"$W/old.lib"
  cp "$W/old.lib" "$SCEN/old.want"
  # Start-up's probe and the two writes are answered, the read's request is not.
  start_sim 1 --ident-faults-after 3 --ident-silent
  start_selvo
  expect_quiet_start
  menu_action 3 103 "$W/short.lib"
  sim_wait 1 '^block-in 513 ack$' 10
  drv_expect "idle box=none enabled" idle
  memory_blocks "$SCEN/mem1.bin" 512 2 >"$SCEN/libraries.got"
  same_bytes "$SCEN/blocks.want" "$SCEN/libraries.got" "blocks 512 and 513"
  cp "$SCEN/mem1.bin" "$SCEN/mem1.before"
  local commands
  commands=$(sim_count 1 '^(command|ident)')
  ok "libraries file written to blocks 512 and 513"
  drv select "$(actions_menu)" 2 || fail "select"
  drv_expect "idle box=none enabled" idle
  drv command 107 || fail "repeat"
  expect_box ok "Ostrzeżenie" "Nie zmieniaj rozszerzenia !"
  expect_last_box_style "Ostrzeżenie" $ERROR
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^(command|ident)')" = "$commands" ] || fail "the refused repeat reached the controller"
  same_bytes "$SCEN/mem1.before" "$SCEN/mem1.bin" "the memory after the refused repeat"
  [ "$(relay_calls comdlg32.GetOpenFileNameA | wc -l)" = 1 ] || fail "the repeat showed a file dialog"
  ok "repeat after pointing at the program: 'Nie zmieniaj rozszerzenia !', nothing sent"
  drv select "$(actions_menu)" 3 || fail "select"
  drv_expect "idle box=none enabled" idle
  drv command 107 || fail "repeat"
  wait_until 10 bash -c '[ "$(grep -c "^block-in 513 ack$" "$1")" = 2 ]' _ "$SCEN/sim1.out" ||
    fail "the repeat with the libraries kind did not write block 513 again"
  drv_expect "idle box=none enabled" idle
  [ "$(relay_calls comdlg32.GetOpenFileNameA | wc -l)" = 1 ] || fail "the repeat showed a file dialog"
  ok "repeat after pointing at the libraries: short.lib written again, no dialog"
  menu_action 3 102 "$W/old.lib"
  local path='Z:'"${W//\//\\}"
  expect_box yes "Ostrzeżenie" "Plik $path\\old.lib już istnieje !\nCzy chcesz go nadpisać ?" yes,no no
  expect_box ok "Niepowodzenie" "Błąd inicjacji : brak danych : 0"
  same_bytes "$SCEN/old.want" "$W/old.lib" "old.lib after the failed identification"
  ok "read over old.lib with the controller silent: 'Błąd inicjacji : brak danych : 0', old.lib kept"
  close_and_expect_exit 0
}

# The menus reached by real key presses (Alt, then the mnemonics), Esc in mid-transfer, and a
# larger font afterwards.
scenario_escape_by_keyboard() {
  make_memory "$SCEN/mem1.bin" 8
  # The user scenes take long enough at full speed; a paced line (--line-rate) would only add
  # the risk of a pause over the 100 ms interval timeout when the machine is busy.
  start_sim 1 --port-events
  start_selvo
  expect_quiet_start
  wait_drawn ' Wersja firmware : N/A \| N/A$'
  keys alt+a u o
  drv file "$W/scenes.usr" || fail "no file dialog after Alt, A, U, O"
  grep -q '^file dialog "Wybierz plik do zapisu :"' <<<"$LAST" || fail "dialog title: $LAST"
  answer_dialog_question
  sim_wait 1 '^block-out 905$' 30
  ok "read of user scenes started by keyboard"
  wait_drawn '^10 [0-9]+ Odczyt z Dm730 : dane użytkownika$'
  wait_drawn '^10 [0-9]+ Blok [0-9]+ z 3200$'
  shot transfer
  local before
  before=$(wc -l <"$SCEN/relay.log")
  keys Escape
  # Esc repaints the whole window: line 1 again, and no block counter after it.
  wait_until 10 bash -c 'tail -n +"$2" "$1" | grep -ac "Call gdi32.TextOutA(.*Wersja firmware" >/dev/null' _ "$SCEN/relay.log" "$before" ||
    fail "no repaint after Esc"
  local sent closed
  sent=$(sim_count 1 '^block-out')
  closed=$(sim_count 1 '^port closed$')
  drv_expect "idle box=none enabled" idle
  [ "$(sim_count 1 '^block-out')" -le $((sent + 1)) ] || fail "blocks still flow after Esc"
  tail -n +"$before" "$SCEN/relay.log" | grep -ac 'Call user32.MessageBoxA(' >/dev/null && fail "a message after Esc"
  tail -n +"$before" "$SCEN/relay.log" | grep -a 'Call user32.CheckMenuItem(' && fail "port marks changed by Esc"
  [ "$(sim_count 1 '^port closed$')" = "$closed" ] || fail "Esc closed the port"
  ok "Esc stopped the transfer after $sent blocks, no message, port kept open"
  # A larger font moves the right-aligned version line to the left (wider characters).
  local x_before x_after
  x_before=$(drawn_texts | grep ' Wersja firmware' | tail -1 | cut -d' ' -f1)
  drv command 108 font 28 "DejaVu Sans Mono" || fail "font dialog"
  wait_until 10 font_line_moved "$x_before" || fail "the version line did not move with the larger font"
  x_after=$(drawn_texts | grep ' Wersja firmware' | tail -1 | cut -d' ' -f1)
  [ "$x_after" -lt "$x_before" ] || fail "version line at x=$x_after, before $x_before"
  shot font
  ok "larger font: version line moved from x=$x_before to x=$x_after"
  close_and_expect_exit 0
  [ "$(sim_count 1 '^port closed$')" -gt "$closed" ] || fail "the port was not closed at exit"
  # The file holds the blocks read before Esc, complete once the program closed it.
  expect_partial_scenes_read "$sent" "Esc"
}

# Esc and a letter with no transfer running: each repaints the whole window and does nothing
# else: no message, no port closed, no byte on the line, no file changed.
scenario_keys_without_transfer() {
  make_memory "$SCEN/mem1.bin" 23
  random_bytes 300 24 >"$W/fw.upg"
  start_sim 1 --port-events
  start_selvo
  expect_quiet_start
  menu_action 2 103 "$W/fw.upg"
  sim_wait 1 '^block-in 1 ack$' 10
  drv_expect "idle box=none enabled" idle
  local main events sums
  main=$(main_window_handle)
  [ -n "$main" ] || fail "no main window in the relay trace"
  events=$(wc -l <"$SCEN/sim1.out")
  sums=$(md5sum "$W"/* "$SCEN/mem1.bin")
  # Esc sends itself the stop command (105); every character invalidates the whole window with
  # erase. Nothing else is called: no message, no check mark, no text drawn inside the handler.
  local key code want own
  for key in Escape x; do
    if [ $key = Escape ]; then
      code=27
      want="WM_COMMAND 00000069 user32.InvalidateRect($main,00000000,00000001) "
    else
      code=120
      want="user32.InvalidateRect($main,00000000,00000001) "
    fi
    keys $key
    wait_until 10 char_repainted "$code" || fail "key $key: no WM_CHAR $code, or no repaint after it"
    own=$(calls_in_char "$code" | tr '\n' ' ')
    [ "$own" = "$want" ] || fail "key $key: the window procedure did '$own', expected '$want'"
    drv_expect "idle box=none enabled" idle
    ok "$key: ${want% }; repainted"
  done
  drv command 101 box ok || fail "no about box after the keys"
  grep -q '^box caption="O programie :"' <<<"$LAST" || fail "about box: $LAST"
  ok "the program answers: the about box opens and closes"
  [ "$(message_boxes | cut -d'|' -f2 | tr '\n' ' ')" = "O programie : " ] || fail "messages: $(message_boxes | tr '\n' ' ')"
  [ "$(wc -l <"$SCEN/sim1.out")" = "$events" ] || fail "the keys reached the line: $(tail -n +$((events + 1)) "$SCEN/sim1.out" | tr '\n' ' ')"
  [ "$(md5sum "$W"/* "$SCEN/mem1.bin")" = "$sums" ] || fail "a file changed"
  [ "$(relay_calls user32.CheckMenuItem | wc -l)" = 1 ] || fail "port marks changed"
  ok "no message but the about box, the port stayed open, nothing sent, no file changed"
  close_and_expect_exit 0
  [ "$(sim_count 1 '^port closed$')" -ge 1 ] || fail "the port was not closed at exit"
}

font_line_moved() {
  [ "$(drawn_texts | grep ' Wersja firmware' | tail -1 | cut -d' ' -f1)" != "$1" ]
}

scenario_close_during_transfer() {
  make_memory "$SCEN/mem1.bin" 14
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 4 102 "$W/scenes.usr"
  answer_dialog_question
  sim_wait 1 '^block-out 900$' 30
  close_and_expect_exit 0
  [ -z "$(relay_calls user32.MessageBoxA)" ] || fail "a message was shown: $(message_boxes)"
  ok "closing the window in mid-transfer: exit code 0, no message"
  # The open file was closed at exit with every block stored so far.
  local size
  size=$(stat -c %s "$W/scenes.usr")
  [ $((size % 256)) = 0 ] && [ "$size" -ge $((5 * 256)) ] || fail "scenes.usr holds $size bytes"
  memory_blocks "$SCEN/mem1.bin" 896 $((size / 256)) >"$SCEN/prefix.want"
  same_bytes "$SCEN/prefix.want" "$W/scenes.usr" "blocks read before the close"
  ok "the file holds the $((size / 256)) blocks read before the close"
}

# Pointing at another data kind while a transfer runs renames it on line 2 at once; the
# transfer goes on in the region it started with.
scenario_kind_change_during_transfer() {
  make_memory "$SCEN/mem1.bin" 13
  start_sim 1
  start_selvo
  expect_quiet_start
  menu_action 4 102 "$W/scenes.usr"
  answer_dialog_question
  sim_wait 1 '^block-out 900$' 20
  wait_drawn '^10 [0-9]+ Odczyt z Dm730 : dane użytkownika$'
  drv select "$(actions_menu)" 3 || fail "select"
  wait_drawn '^10 [0-9]+ Odczyt z Dm730 : biblioteki$'
  local n
  n=$(grep '^block-out' "$SCEN/sim1.out" | tail -1 | cut -d' ' -f2)
  sim_wait 1 "^block-out $((n + 2))\$" 10
  [ "$(awk '$1 == "command" && $3 < 896' "$SCEN/sim1.out" | wc -l)" = 0 ] ||
    fail "the transfer moved below the user-scene region"
  ok "line 2 names the libraries at once, blocks still come from the user scenes ($((n + 2)))"
  # A message box holds the pump up: the transfer waits while it is open and goes on after.
  drv command 101 box none || fail "about box"
  local held
  held=$(sim_count 1 '^block-out')
  sleep 1   # an absence is seen only over a span of time
  [ "$(sim_count 1 '^block-out')" -le $((held + 1)) ] || fail "blocks flowed while the about box was open"
  drv box ok || fail "about box"
  held=$(sim_count 1 '^block-out')
  wait_until 10 bash -c '[ "$(grep -c "^block-out" "$1")" -ge "$2" ]' _ "$SCEN/sim1.out" $((held + 3)) ||
    fail "the transfer did not go on after the about box"
  ok "the about box held the transfer up, which went on after it closed"
  close_and_expect_exit 0
  local blocks
  blocks=$(($(stat -c %s "$W/scenes.usr") / 256))
  memory_blocks "$SCEN/mem1.bin" 896 "$blocks" >"$SCEN/scenes.want"
  same_bytes "$SCEN/scenes.want" "$W/scenes.usr" "user-scene blocks read"
  ok "the $blocks blocks read are the user scenes'"
}

# An action started while a read runs: the port is closed and opened again, the new transfer
# starts from the identification request, and the file of the read keeps its blocks.
scenario_action_during_transfer() {
  make_memory "$SCEN/mem1.bin" 25
  # The file to verify equals the user scenes: the verify runs without a question until Esc.
  memory_blocks "$SCEN/mem1.bin" 896 3200 >"$W/copy.usr"
  start_sim 1 --port-events
  start_selvo
  expect_quiet_start
  menu_action 4 102 "$W/scenes.usr"
  answer_dialog_question
  sim_wait 1 '^block-out 910$' 20
  local mark
  mark=$(wc -l <"$SCEN/sim1.out")
  menu_action 4 104 "$W/copy.usr"
  grep -q '^file dialog "Wybierz plik do weryfikacji :"' <<<"$LAST" || fail "dialog title: $LAST"
  # What the line saw from the command on: the read went on until the port closed; then the
  # port opened again, the identification request came and the region began anew.
  wait_until 10 bash -c '[ "$(grep -c "^command read 896 ack$" "$1")" = 2 ]' _ "$SCEN/sim1.out" ||
    fail "the verify did not start at block 896"
  local sequence
  sequence=$(tail -n +$((mark + 1)) "$SCEN/sim1.out" | grep -E '^(port |ident$|command read 896 )' | tr '\n' ' ')
  [ "$sequence" = "port closed port open ident command read 896 ack " ] ||
    fail "after the command the line saw: $sequence"
  local sent
  sent=$(awk 'NR > m && /^port closed$/ { exit } /^block-out/ { n++ } END { print n }' m="$mark" "$SCEN/sim1.out")
  ok "port closed and opened again, identification request, then block 896 again ($sent blocks read before)"
  wait_drawn '^10 [0-9]+ Weryfikacja : dane użytkownika$'
  wait_until 10 bash -c '[ "$(grep -c "^block-out" "$1")" -ge "$2" ]' _ "$SCEN/sim1.out" $((sent + 10)) ||
    fail "the verify did not go on"
  keys Escape
  drv_expect "idle box=none enabled" idle
  local stopped
  stopped=$(sim_count 1 '^block-out')
  sleep 0.5   # an absence is seen only over a span of time
  [ "$(sim_count 1 '^block-out')" -le $((stopped + 1)) ] || fail "blocks still flow after Esc"
  [ "$(tail -n +$((mark + 1)) "$SCEN/sim1.out" | grep -c '^port closed$')" = 1 ] || fail "Esc closed the port"
  [ -z "$(relay_calls user32.MessageBoxA)" ] || fail "a message was shown: $(message_boxes)"
  ok "the verify ran without a question and stopped at Esc; no message at all"
  close_and_expect_exit 0
  # The read's file, left open by the new start, was closed at exit with its blocks.
  expect_partial_scenes_read "$sent" "the verify"
}

scenario_file_rules() {
  printf 'scene' >"$W/x.dat"
  printf 'scene' >"$W/X.BIN"
  printf 'scene' >"$W/y.bin"
  printf 'keep me' >"$W/existing.lib"
  printf 'read only' >"$W/ro.lib"
  chmod 444 "$W/ro.lib"
  start_sim 1
  start_selvo
  expect_quiet_start
  # The repeat command before any file was chosen: the dialog of the first action cancelled.
  local am
  am=$(actions_menu)
  drv select "$am" 2 command 103 cancel-file || fail "cancel"
  drv command 107 || fail "repeat"
  expect_box ok "Ostrzeżenie" "Plik  nie istnieje !"
  expect_last_box_style "Ostrzeżenie" $ERROR
  ok "repeat with no file yet: 'Plik  nie istnieje !'"
  menu_action 4 103 "$W/x.dat"
  expect_box ok "Ostrzeżenie" "Nie zmieniaj rozszerzenia !"
  expect_last_box_style "Ostrzeżenie" $ERROR
  menu_action 2 103 "$W/y.bin"
  expect_box ok "Ostrzeżenie" "Nie zmieniaj rozszerzenia !"
  [ "$(sim_count 1 '^command')" = 0 ] || fail "a refused file reached the controller"
  ok "x.dat refused for user scenes, y.bin refused for the program"
  menu_action 4 103 "$W/X.BIN"
  sim_wait 1 '^block-in 896 ack$' 10
  drv_expect "idle box=none enabled" idle
  ok "X.BIN accepted for user scenes"
  # GetOpenFileName leaves OFN_OVERWRITEPROMPT to save dialogs: the program's question is the only one.
  menu_action 3 102 "$W/existing.lib"
  local path='Z:'"${W//\//\\}"
  expect_box no "Ostrzeżenie" "Plik $path\\existing.lib już istnieje !\nCzy chcesz go nadpisać ?" yes,no no
  expect_last_box_style "Ostrzeżenie" $QUESTION_NO_DEFAULT
  [ "$(cat "$W/existing.lib")" = "keep me" ] || fail "existing.lib changed"
  ok "read into an existing file answered No: file unchanged"
  menu_action 3 102 "$W/ro.lib"
  expect_box yes "Ostrzeżenie" "Plik $path\\ro.lib już istnieje !\nCzy chcesz go nadpisać ?" yes,no no
  expect_box ok "Niepowodzenie" "$path\\ro.lib :\nBrak dostępu do zapisu !"
  expect_last_box_style "Niepowodzenie" $ERROR
  [ "$(cat "$W/ro.lib")" = "read only" ] || fail "ro.lib changed"
  ok "read into a read-only file: no write access"
  close_and_expect_exit 0
}

# --- the console program ---------------------------------------------------------------------

# dm730.exe finds the controller on COM1 of the spooler's ports as the window does, backs the
# three regions up into a folder, restores it onto a blank controller on COM2, reports a
# verification difference with its values, and says all of it in Polish, as UTF-8 when its
# output goes to a file.
scenario_console_program() {
  make_memory "$SCEN/mem1.bin" 27
  start_sim 1
  run_dm730 90 backup kopia
  [ "$DM730_CODE" = 0 ] || fail "backup: exit code $DM730_CODE, expected 0"
  local name first count
  for name in firmware.upg:0:512 libraries.lib:512:384 scenes.usr:896:3200; do
    IFS=: read -r name first count <<<"$name"
    memory_blocks "$SCEN/mem1.bin" "$first" "$count" >"$SCEN/$name.want"
    same_bytes "$SCEN/$name.want" "$W/kopia/$name" "kopia/$name"
  done
  grep -qx 'Port : COM1' "$SCEN/dm730.err" || fail "backup did not name COM1 (a message, on stderr)"
  grep -qx 'Kopia zapasowa w kopia : gotowe, 4096 bloków w [0-9]*,[0-9] s' "$SCEN/dm730.out" ||
    fail "no closing line of the backup"
  ok "backup into kopia: three files equal to the simulator's memory, closing line in Polish"
  grep -q '"port": "COM1"' "$W/kopia/manifest.json" || fail "the manifest does not name COM1"
  (cd "$W/kopia" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match kopia"
  ok "kopia describes itself: manifest.json names COM1, sha256sum -c SHA256SUMS passes"
  make_memory "$SCEN/mem2.bin"
  start_sim 2
  run_dm730 100 restore kopia --port COM2
  [ "$DM730_CODE" = 0 ] || fail "restore: exit code $DM730_CODE, expected 0"
  same_bytes "$SCEN/mem1.bin" "$SCEN/mem2.bin" "the memory of COM2 after the restore"
  [ "$(sim_count 2 '^block-out ')" = 4096 ] || fail "restore did not read every block back"
  grep -qx 'Odtworzenie kopii kopia : gotowe, zapisano 4096 bloków, odczytano z powrotem 4096 bez różnic w [0-9]*,[0-9] s' "$SCEN/dm730.out" ||
    fail "no closing line of the restore"
  stop_sim 2
  ok "restore of kopia onto the blank controller on COM2: memory equal, every block read back"
  cp "$W/kopia/scenes.usr" "$W/zmienione.usr"
  local device file
  device=$(byte_at "$SCEN/mem1.bin" $((896 * 256 + 5)))
  file=$(((device + 1) % 256))
  poke_byte "$W/zmienione.usr" 5 "$file"
  run_dm730 60 verify scenes zmienione.usr --port COM1
  [ "$DM730_CODE" = 4 ] || fail "verify: exit code $DM730_CODE, expected 4"
  grep -qx "Różnica : blok 1 z 3200 poz. 5 (bajt 5 pliku) : plik $file, Dm730 $device" "$SCEN/dm730.out" ||
    fail "no difference line for block 1 of 3200 position 5"
  grep -qx 'Różnic : 1' "$SCEN/dm730.out" || fail "no count of the differences"
  ok "verify on --port COM1: the one difference with its values, exit code 4"
  printf 'x' >"$W/lista.dat"
  run_dm730 30 write libraries lista.dat
  [ "$DM730_CODE" = 2 ] || fail "write of a .dat file: exit code $DM730_CODE, expected 2"
  grep -qx 'Nie zmieniaj rozszerzenia !' "$SCEN/dm730.err" || fail "not the window's extension message"
  [ "$(sim_count 1 '^command write')" = 0 ] || fail "the refused file reached the controller"
  ok "a libraries file named .dat: the window's message, exit code 2, nothing written"
  # Links at the part file. Wine shows a Unix link to a folder as a reparse point; a link to a
  # file it shows as that file, a dangling one as nothing; Windows links it cannot make. Wine
  # removes what a Unix link leads to, not the link, so --force over a link is not shown here.
  local reads
  reads=$(sim_count 1 '^command read')
  mkdir "$W/inna"
  ln -s inna "$W/folder.lib.part"
  ln -s nigdzie "$W/dangling.lib.part"
  run_dm730 30 read libraries folder.lib
  [ "$DM730_CODE" = 3 ] || fail "read beside a reparse point: exit code $DM730_CODE, expected 3"
  grep -qx 'Plik folder.lib.part jest dowiązaniem ; nie zapiszę nic przez nie.' "$SCEN/dm730.err" ||
    fail "the reparse point is not named as a link"
  [ -z "$(ls -A "$W/inna")" ] && [ ! -e "$W/folder.lib" ] || fail "the read went through the link"
  run_dm730 60 read libraries dangling.lib --force
  [ "$DM730_CODE" = 3 ] || fail "read --force beside a dangling link: exit code $DM730_CODE, expected 3"
  grep -qx 'dangling.lib.part : nie mogę utworzyć pliku' "$SCEN/dm730.err" || fail "no message about the part file"
  [ -L "$W/dangling.lib.part" ] && [ ! -e "$W/nigdzie" ] && [ ! -e "$W/dangling.lib" ] ||
    fail "the read went through the dangling link"
  [ "$(sim_count 1 '^command read')" = "$reads" ] || fail "a read began beside a link"
  ok "links at FILE.part: a reparse point refused by name, a dangling link never written through, exit code 3"
  # A file another program holds open without sharing its deletion cannot be replaced.
  printf 'stary' >"$W/trzymany.lib"
  hold_file trzymany.lib
  run_dm730 60 read libraries trzymany.lib --force
  release_file
  [ "$DM730_CODE" = 3 ] || fail "read over a held file: exit code $DM730_CODE, expected 3"
  grep -qx 'Nie mogę zastąpić pliku trzymany.lib ; odczytany obszar jest w pliku trzymany.lib.part' \
    "$SCEN/dm730.err" || fail "the held file is not named"
  grep -A1 -x 'Nie mogę zastąpić pliku trzymany.lib ;.*' "$SCEN/dm730.err" | tail -1 | grep -qx '  (..*)' ||
    fail "no reason after the message"
  [ "$(cat "$W/trzymany.lib")" = stary ] || fail "the held file was changed"
  same_bytes "$SCEN/libraries.lib.want" "$W/trzymany.lib.part" "trzymany.lib.part"
  ok "a file held open: not replaced, named with the reason, the region in its .part, exit code 3"
  stop_sim 1
  run_dm730 30 detect
  [ "$DM730_CODE" = 5 ] || fail "detect with no controller: exit code $DM730_CODE, expected 5"
  grep -qx 'Nie znalazłem Dm730 !' "$SCEN/dm730.err" || fail "not the window's not-found message"
  ok "no controller: the window's not-found message in Polish, exit code 5"
  run_dm730 30 detect --port COM1
  [ "$DM730_CODE" = 6 ] || fail "detect on a port that cannot be opened: exit code $DM730_CODE, expected 6"
  grep -q '^Nie mogę użyć portu COM1 : ' "$SCEN/dm730.err" || fail "the port's reason is not named"
  ok "--port COM1 that cannot be opened: the reason named, exit code 6"
}

# A controller on COM5, which the spooler does not list (under Wine it lists COM1..COM4): dm730.exe
# lists it from the system's other lists of ports and finds the controller there without --port.
scenario_console_port_beyond_com4() {
  make_memory "$SCEN/mem5.bin" 31
  start_sim 5
  run_dm730 30 ports
  [ "$DM730_CODE" = 0 ] || fail "ports: exit code $DM730_CODE, expected 0"
  grep -q '^COM5  ' "$SCEN/dm730.out" || fail "ports does not list COM5"
  run_dm730 60 detect
  [ "$DM730_CODE" = 0 ] || fail "detect: exit code $DM730_CODE, expected 0"
  grep -qx 'Port : COM5' "$SCEN/dm730.out" || fail "detect did not find the controller on COM5"
  ok "COM5, beyond the spooler's ports: listed by dm730 ports and found by dm730 detect"
  run_dm730 60 linetest --port COM5
  [ "$DM730_CODE" = 0 ] || fail "linetest: exit code $DM730_CODE, expected 0"
  grep -qx 'Werdykt : linia w porządku' "$SCEN/dm730.out" || fail "linetest: no verdict of a sound line"
  [ "$(sim_count 5 '^block-out ')" = 200 ] || fail "linetest did not read 100 blocks twice"
  stop_sim 5
  start_sim 5 --echo
  run_dm730 60 linetest --loopback --port COM5 --seconds 1
  [ "$DM730_CODE" = 0 ] || fail "linetest --loopback: exit code $DM730_CODE, expected 0"
  grep -q ' : zgubione 0, zmienione 0, nadmiarowe 0$' "$SCEN/dm730.out" || fail "linetest --loopback: bytes lost or changed"
  ok "linetest on COM5: two reads agree; through an echo, nothing lost or changed"
  run_dm730 30 detect --port COM5
  [ "$DM730_CODE" = 5 ] || fail "detect on the echo: exit code $DM730_CODE, expected 5"
  grep -q '^Port COM5 : wraca echo wysłanych bajtów (1b)' "$SCEN/dm730.err" || fail "the echo is not named"
  ok "detect on a port that echoes: the echo named, exit code 5"
  stop_sim 5
  make_memory "$SCEN/mem1.bin"
  start_sim 1
  start_sim 5
  printf 'kopia' >"$W/dwa.lib"
  run_dm730 60 write libraries dwa.lib --port COM1 --port COM5
  [ "$DM730_CODE" = 0 ] || fail "write on two controllers: exit code $DM730_CODE, expected 0"
  grep -q '^COM1  .* 0 .* gotowe$' "$SCEN/dm730.out" && grep -q '^COM5  .* 0 .* gotowe$' "$SCEN/dm730.out" ||
    fail "no table row of each controller"
  [ "$(sim_count 1 '^block-in 512 ack$')" = 1 ] && [ "$(sim_count 5 '^block-in 512 ack$')" = 1 ] ||
    fail "the file did not reach both controllers"
  ok "write on COM1 and COM5 at once, each dm730.exe in its own process: one table, both written"
  # The language: Polish by the user's interface language above; English when asked for, by
  # the option, by DM730_LANG, or by an interface language that is not Polish (Wine's C locale).
  run_dm730 30 detect --port COM5 --lang en
  grep -qx 'Port: COM5' "$SCEN/dm730.out" && grep -qx 'Firmware version: 3.05 | 1.20' "$SCEN/dm730.out" ||
    fail "detect --lang en did not answer in English"
  stop_sim 5
  start_sim 5 --ident-silent
  run_dm730 60 detect --port COM1 --port COM5
  [ "$DM730_CODE" = 5 ] || fail "detect on COM1 and a silent COM5: exit code $DM730_CODE, expected 5"
  grep -qx '\[COM5\] Nie znalazłem Dm730 !' "$SCEN/dm730.err" ||
    fail "a controller's Polish message did not reach the parent's stderr whole"
  DM730_LANG=en run_dm730 30 detect --port COM5
  [ "$DM730_CODE" = 5 ] || fail "detect on a silent COM5: exit code $DM730_CODE, expected 5"
  grep -qx 'No Dm730 found!' "$SCEN/dm730.err" || fail "DM730_LANG=en did not give English"
  LC_ALL=C LANG=C run_dm730 30 frobnicate
  [ "$DM730_CODE" = 2 ] || fail "an unknown command: exit code $DM730_CODE, expected 2"
  grep -qx 'dm730: unknown command: frobnicate' "$SCEN/dm730.err" ||
    fail "an interface language other than Polish did not give English"
  stop_sim 5
  ok "English by --lang en, by DM730_LANG=en and by Wine's C locale; Polish by pl_PL"
}
