#!/bin/sh
# Builds everything into build/ and runs the launcher on a demo game directory
# (build/demo/game: the marker file, an Update.dat of version 1.0.5 and a copy
# of the launcher).
# With a display, the launcher runs until you close its window. Without one,
# it runs on a virtual display (Xvfb); the main window's screenshot is saved
# as build/demo/main_window.png, and then the launcher and Xvfb are closed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake -S . -B build
cmake --build build -j2

launcher="$root/build/src/corvenhal-launcher"
tool="$root/build/tools/corvenhal-tool"
for f in "$launcher" "$tool"; do
  [ -x "$f" ] || { echo "demo: $f was not built" >&2; exit 1; }
done

demo="$root/build/demo"
game="$demo/game"
rm -rf "$game"
mkdir -p "$game"
: >"$game/ORVELLE_SIG.sys"
(cd "$game" && "$tool" version write 1.0.5 Update.dat)
cp "$launcher" "$game/corvenhal-launcher"
echo "demo: game directory $game"

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: starting the launcher; close its window to end the demo"
  exec "$game/corvenhal-launcher"
fi

work=$(mktemp -d)
xvfb_pid=""
launcher_pid=""
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

echo "demo: no DISPLAY, starting a virtual one (Xvfb)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  if ! kill -0 "$xvfb_pid" 2>/dev/null || [ $i -ge 100 ]; then
    echo "demo: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  i=$((i + 1))
  sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

"$game/corvenhal-launcher" &
launcher_pid=$!
if ! window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Corvenhal $' | head -n 1) || [ -z "$window" ]; then
  echo "demo: the launcher's main window did not appear" >&2
  exit 1
fi
sleep 1  # let it paint
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$demo/main_window.png"
echo "demo: screenshot of the main window: $demo/main_window.png"

python3 "$root/tools/wm_close.py" "$window"
i=0
while kill -0 "$launcher_pid" 2>/dev/null && [ $i -lt 100 ]; do
  i=$((i + 1))
  sleep 0.1
done
if kill -0 "$launcher_pid" 2>/dev/null; then
  echo "demo: the launcher did not close when asked" >&2
  exit 1
fi
if wait "$launcher_pid"; then
  launcher_pid=""
  echo "demo: the launcher closed"
else
  rc=$?
  launcher_pid=""
  echo "demo: the launcher exited with code $rc" >&2
  exit 1
fi
