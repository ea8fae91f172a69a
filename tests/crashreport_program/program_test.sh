#!/usr/bin/env bash
# Real-program tests of the crash reporter: a copy of the built program's
# folder, run on the X display it is given (a private Xvfb, see
# tools/xvfb-session), driven with real X input. Boxes describe themselves on
# stderr (QUORVIK_CRASHBOX_ANSWER=none) with their buttons' places, and are
# answered by real clicks there.
#   program_test.sh <case> <path-to-Quorvik> <fault-preload-library>
# Cases:
#   fatal-signal               kill -SEGV from outside: report saved, the
#                              helper's box, "restart application"
#   handler-fault-continue     a null pointer inside rbCheckboxesClick:
#                              box, "continue application", window works
#   handler-exception-restart  a C++ exception there: "restart application"
#   handler-fault-close        a null pointer there: "close application"
#   corrupt-executable         a damaged copy refuses to start
set -euo pipefail
case=$1 program=$2 preload=$3
work=$(mktemp -d)
mkdir "$work/bin"
cp -a "$(dirname "$program")/." "$work/bin/"
rm -f "$work/bin/bugreport.txt"
exe=$work/bin/Quorvik
report=$work/bin/bugreport.txt
log=$work/out.log
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  cat "$log" 2>/dev/null || true
  [[ -f $report ]] && { echo "--- $report"; cat "$report"; }
  ps -eo pid,ppid,stat,comm,args | grep -E "Quorvik|crashhelper" | grep -v grep || true
  exit 1
}

# The one visible window titled Quorvik of process $1 other than $2, waiting
# up to 20 s for it.
window_of() {
  local w
  for _ in $(seq 200); do
    for w in $(xdotool search --onlyvisible --pid "$1" --name '^Quorvik$' 2>/dev/null); do
      [[ $w != "${2:-}" ]] && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
gone() {  # window $1 no longer visible, waiting up to 10 s
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Quorvik$' 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.1
  done
  return 1
}
# The last description of a box called $1 on the log, waiting up to 10 s.
description() {
  for _ in $(seq 100); do
    grep "^crash box: $1;" "$log" 2>/dev/null | tail -n 1 | grep . && return 0
    sleep 0.1
  done
  return 1
}
# Presses the button with text $3 of box window $1 described by line $2,
# with a real click in its middle.
press() {
  local place x y w h
  place=$(grep -o "button=$3\( ([a-z]*)\)* @[0-9,]*" <<<"$2" | sed 's/.*@//') || fail "no button '$3' in: $2"
  IFS=, read -r x y w h <<<"$place"
  xdotool mousemove --window "$1" $((x + w / 2)) $((y + h / 2)) click 1
}
reports() { grep -c '^======== bug report begin' "$report" 2>/dev/null || true; }
# The exception box's visible buttons, in order.
expect_buttons() {
  local got want
  got=$(grep -o 'button=[^;@]*' <<<"$1" | sed 's/ *$//' | paste -sd '|')
  want="button=mail bug report (focused)|button=show bug report|button=continue application$2|button=restart application|button=close application"
  [[ $got == "$want" ]] || fail "buttons: $got, want $want"
  grep -q '; title=Quorvik;' <<<"$1" || fail "title: $1"
  grep -q '; MessageLabel=An error occurred in the application\.' <<<"$1" || fail "text: $1"
}
start() {  # starts the copy with extra environment "$@"; sets pid and main
  env QUORVIK_CRASHBOX_ANSWER=none "$@" "$exe" >>"$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  main=$(window_of "$pid") || fail "no main window"
  sleep 0.3
}
shot() { import -window "$main" -crop 295x112+0+48 "$work/$1.png"; }
same() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
click() {  # window-relative x y of the main window
  xdotool mousemove --window "$main" "$1" "$2" click 1
  sleep 0.3
}
# A visible main window of a Quorvik process other than $1.
new_instance() {
  local w p
  for _ in $(seq 200); do
    for w in $(xdotool search --onlyvisible --name '^Quorvik$' 2>/dev/null); do
      p=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
      [[ $p != "$1" && $(cat "/proc/$p/comm" 2>/dev/null) == Quorvik ]] && { echo "$p"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
# Provokes the fault inside rbCheckboxesClick by a real click on "No
# Checkboxes"; sets box (its window) and seen (its description).
fault_in_handler() {
  touch "$work/arm"
  click 40 34
  box=$(window_of "$pid" "$main") || fail "no exception box"
  seen=$(description ExceptionBox) || fail "the box did not describe itself"
  [[ $(xdotool getwindowname "$box") == Quorvik ]] || fail "box title $(xdotool getwindowname "$box")"
  expect_buttons "$seen" ""
  [[ $(reports) == 1 ]] || fail "the report was not saved before the box showed"
  [[ ! -e $work/arm ]] || fail "the fault did not fire"
}

case $case in
fatal-signal)
  start
  kill -SEGV "$pid"
  status=0
  wait "$pid" || status=$?
  ((status == 128 + 11)) || fail "exit status $status, want death by SIGSEGV"
  [[ $(reports) == 1 ]] || fail "want one report, have $(reports)"
  grep -q '^exception class    : EAccessViolation$' "$report" || fail "error class"
  grep -q 'came from outside the program' "$report" || fail "no note on where the signal came from"
  grep -q "main thread" "$report" || fail "no thread"
  grep -q " Quorvik  main+0x[0-9a-f]*  .*Quorvik.cpp:[0-9]" "$report" || fail "the stack does not reach the program's main"
  box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quorvik$' | head -n 1) || fail "no box"
  helper=$(xdotool getwindowpid "$box")
  pids+=("$helper")
  [[ $(cat "/proc/$helper/comm") == quorvik-crashbo* ]] || fail "the box belongs to $(cat "/proc/$helper/comm")"
  seen=$(description ExceptionBox) || fail "the helper's box did not describe itself"
  expect_buttons "$seen" " (disabled)"
  grep -q 'NoteLabel=The program cannot continue: the signal came from outside' <<<"$seen" || fail "note: $seen"
  echo "SIGSEGV: report saved, helper $helper shows the box with continuing disabled"
  press "$box" "$seen" "restart application"
  again=$(new_instance "$pid") || fail "restart left no new main window"
  pids+=("$again")
  echo "restart application: new process $again with its main window"
  ;;
handler-fault-continue)
  start LD_PRELOAD="$preload" QUORVIK_TEST_FAULT=null QUORVIK_TEST_FAULT_ARM="$work/arm"
  shot shown
  fault_in_handler
  press "$box" "$seen" "continue application"
  gone "$box" || fail "the box stayed after continue application"
  kill -0 "$pid" || fail "the program ended"
  grep -q '^exception class    : EAccessViolation$' "$report" || fail "error class"
  grep -q '^handler            : rbCheckboxesClick$' "$report" || fail "handler"
  grep -q 'QTreeWidgetItem::setFlags' "$report" || fail "the stack does not name the faulting function"
  echo "null pointer in rbCheckboxesClick: box, report, continued"
  # The window works on: the radio buttons switch the check boxes, a click
  # on a row's box checks it.
  click 40 14 # "Show Checkboxes"
  shot again
  same shown again || fail "Show Checkboxes did not bring the list back as it was"
  click 40 34 # "No Checkboxes"
  shot hidden
  same shown hidden && fail "No Checkboxes left the list as it was"
  click 40 14
  shot shown2
  same shown shown2 || fail "the check boxes did not come back"
  # The first row's check box, twice: the first click also selects the row,
  # so only the second one's change is the check mark alone.
  click 12 82
  shot checked
  sleep 0.5 # not a double click
  click 12 82
  shot unchecked
  same checked unchecked && fail "clicking the first row's check box did not toggle it"
  kill -0 "$pid" || fail "the program ended"
  [[ $(reports) == 1 ]] || fail "further reports after continuing: $(reports)"
  echo "the window works after continuing"
  ;;
handler-exception-restart)
  start LD_PRELOAD="$preload" QUORVIK_TEST_FAULT=throw QUORVIK_TEST_FAULT_ARM="$work/arm"
  fault_in_handler
  grep -q '^exception class    : runtime_error$' "$report" || fail "error class"
  grep -q "^exception message  : setFlags refused by the test's fault library$" "$report" || fail "message"
  press "$box" "$seen" "restart application"
  status=0
  wait "$pid" || status=$?
  again=$(new_instance "$pid") || fail "restart left no new main window"
  pids+=("$again")
  echo "exception in rbCheckboxesClick: restart application gave process $again (old one ended with $status)"
  ;;
handler-fault-close)
  start LD_PRELOAD="$preload" QUORVIK_TEST_FAULT=null QUORVIK_TEST_FAULT_ARM="$work/arm"
  fault_in_handler
  press "$box" "$seen" "close application"
  status=0
  timeout 10 tail --pid="$pid" -f /dev/null || fail "close application left the process running"
  wait "$pid" || status=$?
  ((status == 1)) || fail "exit status $status after close application"
  echo "close application ended the process (status 1)"
  ;;
corrupt-executable)
  # Damage a byte the loader never reads (the compiler's note), so that only
  # the build seal can notice.
  offset=$(readelf -SW "$exe" | awk '$2 == ".comment" {print $5}')
  [[ -n $offset ]] || fail "no .comment section"
  offset=$((16#$offset + 1))
  printf 'Z' | dd of="$exe" bs=1 seek="$offset" conv=notrunc status=none
  QUORVIK_CRASHBOX_ANSWER=none "$exe" >"$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  box=$(window_of "$pid") || fail "no message box"
  seen=$(description MessageBox) || fail "the message box did not describe itself"
  grep -q "$exe is corrupt" <<<"$seen" || fail "the box does not say the file is corrupt: $seen"
  grep -q "^Quorvik: $exe is corrupt" "$log" || fail "no line on stderr naming the file"
  kill -0 "$pid" || fail "the program did not wait for the box"
  press "$box" "$seen" "&OK"
  status=0
  wait "$pid" || status=$?
  ((status == 1)) || fail "exit status $status, want 1"
  [[ ! -e $report ]] || fail "a report was written"
  echo "damaged copy refused: stderr, message box, status 1"
  ;;
*) fail "unknown case $case" ;;
esac
echo PASS
