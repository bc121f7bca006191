# Shared by the end-to-end tests; sourced after setting `name`.
#   TEST.sh LAUNCHER TOOL ARTIFACTS_DIR PORT CERTS_DIR
# LAUNCHER is built for the local servers: update origin https://127.0.0.1:PORT,
# share origin https://127.0.0.1:PORT+1, CERTS_DIR/ca.pem its extra trusted CA.
# Gives: $launcher $tool $artifacts (ARTIFACTS_DIR/$name) $port $share_port
# $certs $work (a fresh directory) $www $state $game $home, a virtual display,
# a stand-in `wine` first on PATH recording its arguments in $work/wine.log,
# HOME=$home (desktop $home/Desktop), and the helpers below.
set -u
if [ $# -ne 5 ]; then
  echo "usage: $name.sh LAUNCHER TOOL ARTIFACTS_DIR PORT CERTS_DIR" >&2
  exit 2
fi
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
launcher=$(absolute "$1")
tool=$(absolute "$2")
artifacts=$(absolute "$3")/$name
port=$4
share_port=$(($4 + 1))
certs=$(absolute "$5")
e2e_here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$e2e_here/../.." && pwd)
servers_here="$root/tools/demo"
. "$servers_here/servers.sh"
. "$servers_here/scene.sh"

fail() {
  echo "$name: FAIL: $*" >&2
  for f in "${log:-}" "$state/nginx/access.log" "$state/share.log" "$work/wine.log"; do
    if [ -n "$f" ] && [ -s "$f" ]; then
      echo "--- $f ---" >&2
      cat "$f" >&2
    fi
  done
  [ -n "${DISPLAY:-}" ] && import -window root "$artifacts/at_failure.png" 2>/dev/null
  exit 1
}

for program in Xvfb xdotool import convert python3 nginx openssl curl; do
  command -v "$program" >/dev/null 2>&1 || fail "$program is missing (tools/setup.sh installs it)"
done
[ -x "$launcher" ] || fail "no launcher at $launcher"
[ -x "$tool" ] || fail "no corvenhal-tool at $tool"
rm -rf "$artifacts"
mkdir -p "$artifacts" || fail "cannot create $artifacts"

work=$(mktemp -d)
www="$work/www"
state="$work/state"
game="$work/game"
home="$work/home"
mkdir -p "$www" "$state" "$home/Desktop" "$work/bin"
xvfb_pid=""
launcher_pid=""
log="$work/launcher.log"
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  servers_stop
  cp "$state/nginx/access.log" "$artifacts/nginx_access.log" 2>/dev/null
  cp "$state/share.log" "$artifacts/share_requests.log" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

LSAN_OPTIONS="suppressions=$root/tests/window/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
HOME=$home
unset XDG_CONFIG_HOME XDG_DESKTOP_DIR
cat >"$work/bin/wine" <<WINE
#!/bin/sh
printf '%s\n' "\$*" >>"$work/wine.log"
WINE
chmod +x "$work/bin/wine"
PATH="$work/bin:$PATH"
SERVERS_LIFETIME=300
export LSAN_OPTIONS HOME PATH SERVERS_LIFETIME

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

# The published client (1.0.6), the notes, and a game directory at 1.0.5.
scene_publish "$tool" "$www" "$port" 1.0.6 >/dev/null || fail "corvenhal-tool publish failed"
scene_notes "$state/notes.json" "$port"
scene_game "$tool" "$game" "$launcher" "$www" 1.0.5 || fail "cannot make the game directory"

# start_launcher DIR: the launcher copy in DIR, started from DIR.
start_launcher() {
  (cd "$1" && exec ./corvenhal-launcher) >>"$log" 2>&1 &
  launcher_pid=$!
}

# The visible top-level windows titled exactly $1 (compared after decoding).
windows_titled() {
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
}

# wait_for_window TITLE [SECONDS]: the id of the first such window.
wait_for_window() {
  i=0
  limit=$((${2:-20} * 10))
  while :; do
    found=$(windows_titled "$1" | head -n 1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    i=$((i + 1))
    [ $i -le $limit ] || return 1
    sleep 0.1
  done
}

# wait_until SECONDS COMMAND...: polls the command every 0.1 s.
wait_until() {
  limit=$(($1 * 10))
  shift
  i=0
  until "$@"; do
    i=$((i + 1))
    [ $i -le $limit ] || return 1
    sleep 0.1
  done
}

# click X Y: a click at a point of a window's form (every window opens at 50,50).
click() {
  xdotool mousemove $((50 + $1)) $((50 + $2)) click 1
}

# shot NAME WINDOW: the window's picture as ARTIFACTS/NAME.png.
shot() {
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$artifacts/$1.png"
}

close_window() {
  python3 "$root/tools/wm_close.py" "$1" || fail "cannot ask window $1 to close"
}

# expect_clean_exit WHAT: the launcher ends within 10 s with exit code 0.
expect_clean_exit() {
  wait_until 10 launcher_gone ||
    fail "$1: the launcher is still running 10 s after it should have ended"
  wait "$launcher_pid"
  rc=$?
  launcher_pid=""
  [ "$rc" -eq 0 ] || fail "$1: the launcher exited with code $rc, not 0"
}

# The requests the launcher made of nginx (not the start-up probes).
update_requests() {
  grep -v ' /.ready-probe ' "$state/nginx/access.log" 2>/dev/null
}

# same_file A B: byte for byte equal.
same_file() { cmp -s "$1" "$2"; }

# client_whole: every published client file is in the game's Resource/.
client_whole() {
  (cd "$www/client-src" && find . -type f) | while read -r f; do
    cmp -s "$www/client-src/$f" "$game/Resource/$f" || return 1
  done
}

record() { "$tool" version read "$game/Update.dat" 2>/dev/null; }
record_is() { [ "$(record)" = "$1" ]; }

# other_windows MAIN: the visible top-level windows besides MAIN (and the
# root window, which a search also finds).
other_windows() {
  screen_root=$(xdotool search --maxdepth 0 --name '' 2>/dev/null | head -n 1)
  xdotool search --onlyvisible --name '' 2>/dev/null | grep -vx -e "$1" -e "${screen_root:-none}"
}
only_window() { [ -z "$(other_windows "$1")" ]; }
some_other_window() { [ -n "$(other_windows "$1")" ]; }
launcher_gone() { ! kill -0 "$launcher_pid" 2>/dev/null; }
no_window_titled() { [ -z "$(windows_titled "$1")" ]; }

# main_ready: after the main window showed, waits for its start-up to end
# (the announcement asked of the share stub) and for it to paint.
main_ready() {
  wait_until 30 test -s "$state/share.log" || fail "start-up asked the share stub nothing within 30 s"
  sleep 1
}
