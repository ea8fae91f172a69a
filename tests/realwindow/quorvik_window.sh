#!/usr/bin/env bash
# Real-window test: starts the program on the X display it is given (a
# private Xvfb at 120 pixels per inch, see tools/xvfb-session), finds its
# window, checks the stored geometry, and drives it with real X input.
#   quorvik_window.sh <path-to-Quorvik>
set -euo pipefail
program=$1
work=$(mktemp -d)
"$program" >"$work/out.log" 2>&1 &
pid=$!
cleanup() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/out.log"; exit 1; }

win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quorvik$' | head -n 1) || fail "no window titled Quorvik"
sleep 0.3
geometry=$(xwininfo -id "$win")
field() { awk -F: -v k="$1" '$1 ~ k {gsub(/ /, "", $2); print $2}' <<<"$geometry"; }
[[ $(field 'Width') == 295 && $(field 'Height') == 160 ]] || fail "client size $(field Width)x$(field Height), want 295x160"
[[ $(field 'Absolute upper-left X') == 560 && $(field 'Absolute upper-left Y') == 335 ]] ||
  fail "position $(field 'Absolute upper-left X'),$(field 'Absolute upper-left Y'), want 560,335"
echo "window $win: 295x160 at 560,335"

# The list's area, to see the check boxes go and come back.
shot() { import -window "$win" -crop 295x112+0+48 "$work/$1.png"; }
differs() { ! compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
click() {  # window-relative x y
  xdotool mousemove --window "$win" "$1" "$2" click 1
  sleep 0.3
}
shot shown
click 40 34 # "No Checkboxes"
shot hidden
differs shown hidden || fail "clicking No Checkboxes left the list as it was"
click 40 14 # "Show Checkboxes"
shot again
differs shown again && fail "the check boxes did not come back as they were"
echo "check boxes hidden and shown again by real clicks"

# F1 in the list opens the help viewer at the topic the built book maps to
# context 100, which is titled "The Quorvik window".
click 60 100
xdotool key --window "$win" F1
viewer=$(timeout 10 xdotool search --sync --onlyvisible --name '^Quorvik Help - The Quorvik window$' | head -n 1) ||
  fail "F1 opened no viewer at the main window's topic; windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' ',')"
echo "F1 opened the help viewer ($viewer) at the main window's topic"
kill -0 "$pid" || fail "the program ended"
echo "PASS"
