#!/bin/sh
# The launcher's real window on a virtual X display of its own.
#   real_window_test.sh LAUNCHER ARTIFACTS_DIR TOOL
# 1. In a demo game directory (marker file, Update.dat of version 1.0.5), the
#    main window "Corvenhal " shows at 50,50 with a 640x628 client area; a
#    screenshot is kept as ARTIFACTS_DIR/main_window.png; closing the window
#    the way a window manager does ends the launcher with exit code 0.
# 2. In a directory without the marker (started from one that has it), only the
#    message box "信息：" shows; pressing Return on it ends the launcher with
#    exit code 0.
set -u
if [ $# -ne 3 ]; then
  echo "usage: real_window_test.sh LAUNCHER ARTIFACTS_DIR TOOL" >&2
  exit 2
fi
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
launcher=$(absolute "$1")
artifacts=$(absolute "$2")
tool=$(absolute "$3")
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "real_window_test: FAIL: $*" >&2
  if [ -n "${log:-}" ] && [ -s "$log" ]; then
    echo "--- launcher output ---" >&2
    cat "$log" >&2
  fi
  exit 1
}

for program in Xvfb xdotool import convert python3; do
  command -v "$program" >/dev/null 2>&1 || fail "$program is missing (tools/setup.sh installs it)"
done
[ -x "$launcher" ] || fail "no launcher at $launcher"
[ -x "$tool" ] || fail "no corvenhal-tool at $tool"
mkdir -p "$artifacts" || fail "cannot create $artifacts"

work=$(mktemp -d)
xvfb_pid=""
launcher_pid=""
log=""
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Sanitizer builds: FLTK's JPEG reader and fontconfig keep allocations to the end.
LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS

# A display of our own, whatever DISPLAY says: Xvfb picks a free number and
# writes it to the descriptor once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  i=$((i + 1))
  [ $i -le 100 ] || fail "Xvfb did not become ready within 10 s"
  sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

# Waits up to 10 s for launcher_pid to end and checks its exit code is 0.
expect_clean_exit() {
  i=0
  while kill -0 "$launcher_pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 100 ] || fail "$1: the launcher is still running 10 s after it should have ended"
    sleep 0.1
  done
  wait "$launcher_pid"
  rc=$?
  launcher_pid=""
  [ "$rc" -eq 0 ] || fail "$1: the launcher exited with code $rc, not 0"
}

# The visible top-level windows titled exactly $1 (names are compared after
# decoding, which xdotool's own pattern match does not do for non-ASCII).
windows_titled() {
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
}

wait_for_window() {
  i=0
  while :; do
    found=$(windows_titled "$1" | head -n 1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    i=$((i + 1))
    [ $i -le 200 ] || return 1
    sleep 0.1
  done
}

# The colour of one pixel of an image as #RRGGBB.
pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n 's/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n 1
}

# --- 1. the main window in a game directory ---------------------------------
game="$work/game"
mkdir -p "$game" "$work/elsewhere"
: >"$game/ORVELLE_SIG.sys"
(cd "$game" && "$tool" version write 1.0.5 Update.dat) || fail "corvenhal-tool could not write Update.dat"
cp "$launcher" "$game/corvenhal-launcher" || fail "cannot copy the launcher"
log="$work/main.log"
(cd "$work/elsewhere" && exec "$game/corvenhal-launcher") >"$log" 2>&1 &
launcher_pid=$!

main=$(wait_for_window "Corvenhal ") || fail "no window titled \"Corvenhal \" appeared within 20 s"
geometry=$(xdotool getwindowgeometry --shell "$main") || fail "cannot read the main window's geometry"
eval "$geometry"
[ "$WIDTH" -eq 640 ] && [ "$HEIGHT" -eq 628 ] || fail "main window is ${WIDTH}x${HEIGHT}, not 640x628"
[ "$X" -eq 50 ] && [ "$Y" -eq 50 ] || fail "main window is at $X,$Y, not 50,50"
[ -z "$(windows_titled "信息：")" ] || fail "a message box showed in a game directory"

# Give it a moment to paint, then keep what it shows.
sleep 1
import -window root -crop 640x628+50+50 +repage "$artifacts/main_window.png" || fail "cannot take the screenshot"
# Painted, not blank: the announcement box's ground and a button face.
board=$(pixel "$artifacts/main_window.png" 30 360)
[ "$board" = "#262626" ] || fail "the announcement box's ground is $board, not #262626 (see $artifacts/main_window.png)"
face=$(pixel "$artifacts/main_window.png" 40 440)
[ "$face" != "#262626" ] && [ "$face" != "#000000" ] && [ "$face" != "#F0F0F0" ] ||
  fail "no button face at 40,440 (see $artifacts/main_window.png)"

python3 "$here/../../tools/wm_close.py" "$main" || fail "cannot ask the main window to close"
expect_clean_exit "closing the main window"

# --- 2. no marker: the message box alone -------------------------------------
stray="$work/stray"
mkdir -p "$stray" "$work/with_marker"
: >"$work/with_marker/ORVELLE_SIG.sys"
cp "$launcher" "$stray/corvenhal-launcher" || fail "cannot copy the launcher"
log="$work/stray.log"
(cd "$work/with_marker" && exec "$stray/corvenhal-launcher") >"$log" 2>&1 &
launcher_pid=$!

box=$(wait_for_window "信息：") || fail "no message box titled \"信息：\" appeared within 20 s"
sleep 0.5
[ -z "$(windows_titled "Corvenhal ")" ] || fail "the main window showed outside a game directory"
import -window root "$artifacts/message_box.png" 2>/dev/null
# Without a window manager the keyboard goes to the window under the pointer.
xdotool mousemove --window "$box" 10 10 key Return || fail "cannot press Return"
expect_clean_exit "pressing OK on the message box"
[ -z "$(windows_titled "Corvenhal ")" ] || fail "the main window showed after the message box"

echo "real_window_test: ok (screenshot: $artifacts/main_window.png)"
