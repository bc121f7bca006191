#!/bin/sh
# The launcher in front of you, with its servers on this machine.
#
# Builds into build-demo/ (beside the default build/) corvenhal-tool and
# corvenhal-launcher-demo, the launcher built for the local servers (update origin and share links on
# 127.0.0.1, the demo certificate authority built in as a trusted CA), then:
#   - makes a demo client and publishes version 1.0.6 of it with
#     `corvenhal-tool publish` (build-demo/demo/www/update/);
#   - starts nginx over HTTPS serving it and the share note stub answering the
#     announcement and the sponsorship notes (logs in build-demo/demo/state/);
#   - makes the game directory build-demo/demo/game: the marker, an Update.dat of
#     version 1.0.5 and part of the client (one file corrupted, some missing).
# Pressing 进入游戏 opens the update window, which repairs the client and
# renews Update.dat; closing it and pressing 进入游戏 again writes the starter
# Corvenhal.exe and starts it. Wine is not needed: a stand-in `wine`
# (build-demo/demo/bin/wine) prints what it would start and records it in
# build-demo/demo/wine.log.
#
# With a display, the launcher runs until you close its window. Without one,
# it runs on a virtual display (Xvfb), the demo presses the buttons itself and
# saves screenshots under build-demo/demo/ (their paths are printed).
# The servers stop when the launcher closes.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build="$root/build-demo"
cmake -S . -B "$build"
cmake --build "$build" -j2 --target corvenhal-tool corvenhal-launcher-demo

launcher="$build/tools/corvenhal-launcher-demo"
tool="$build/tools/corvenhal-tool"
for f in "$launcher" "$tool"; do
  [ -x "$f" ] || { echo "demo: $f was not built" >&2; exit 1; }
done
port=$(sed -n 's/^CORVENHAL_DEMO_PORT:STRING=//p' "$build/CMakeCache.txt")
share_port=$((port + 1))
certs="$build/demo-build/certs"

demo="$build/demo"
game="$demo/game"
servers_here="$root/tools/demo"
. "$servers_here/servers.sh"
. "$servers_here/scene.sh"

rm -rf "$demo/state" "$demo/bin" "$demo/wine.log"
mkdir -p "$demo/www" "$demo/state" "$demo/bin"
scene_publish "$tool" "$demo/www" "$port" 1.0.6
scene_notes "$demo/state/notes.json" "$port"
scene_game "$tool" "$game" "$launcher" "$demo/www" 1.0.5
cat >"$demo/bin/wine" <<EOF
#!/bin/sh
# Stand-in for Wine: records and prints what the launcher asked it to start.
echo "wine \$*" >>"$demo/wine.log"
echo "demo: the launcher started the game: wine \$*"
EOF
chmod +x "$demo/bin/wine"
PATH="$demo/bin:$PATH"
export PATH

work=$(mktemp -d)
xvfb_pid=""
launcher_pid=""
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || :
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || :
  servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

SERVERS_LIFETIME=${DEMO_SECONDS:-3600}
servers_start "$demo/state" "$certs" "$port" "$share_port" "$demo/www" "$demo/state/notes.json"
echo "demo: update server https://127.0.0.1:$port/update/ (nginx), share note stub https://127.0.0.1:$share_port"
echo "demo: game directory $game"

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: starting the launcher; press 进入游戏, close the update window, press 进入游戏 again; close the launcher to end the demo"
  (cd "$game" && ./corvenhal-launcher) || echo "demo: the launcher exited with code $?" >&2
  exit 0
fi

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

# shot NAME WINDOW: the window's picture as build-demo/demo/NAME.png.
shot() {
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$demo/$1.png"
  echo "demo: screenshot: $demo/$1.png"
}
# Every window opens at 50,50; a click at a point of its form.
click() {
  xdotool mousemove $((50 + $1)) $((50 + $2)) click 1
}

(cd "$game" && exec ./corvenhal-launcher) &
launcher_pid=$!
if ! window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Corvenhal $' | head -n 1) || [ -z "$window" ]; then
  echo "demo: the launcher's main window did not appear" >&2
  exit 1
fi
sleep 1  # let it paint
shot main_window "$window"

echo "demo: pressing 进入游戏 (installed 1.0.5, published 1.0.6)"
click 113 413
# The first visible window titled exactly $1 within 20 s (titles compared
# after decoding, which xdotool's own match does not do for non-ASCII).
window_titled() {
  i=0
  while [ $i -lt 200 ]; do
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
    done
    i=$((i + 1))
    sleep 0.1
  done
  return 1
}
if update=$(window_titled 发现新版本); then
  i=0
  while [ "$("$tool" version read "$game/Update.dat" 2>/dev/null)" != 1.0.6 ] && [ $i -lt 300 ]; do
    i=$((i + 1))
    sleep 0.1
  done
  sleep 1
  shot update_window "$update"
  echo "demo: Update.dat now holds $("$tool" version read "$game/Update.dat" 2>/dev/null)"
  python3 "$root/tools/wm_close.py" "$update"
  sleep 1
  echo "demo: pressing 进入游戏 again"
  click 113 413
  i=0
  while [ ! -s "$demo/wine.log" ] && [ $i -lt 100 ]; do
    i=$((i + 1))
    sleep 0.1
  done
  [ -s "$demo/wine.log" ] || echo "demo: the game was not started" >&2
  shot main_window_after "$window"
else
  echo "demo: the update window did not appear" >&2
fi

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
  echo "demo: the launcher closed; stopping the servers"
else
  rc=$?
  launcher_pid=""
  echo "demo: the launcher exited with code $rc" >&2
  exit 1
fi
