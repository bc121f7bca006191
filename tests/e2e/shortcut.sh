#!/bin/sh
# 快捷方式: a desktop entry "Corvenhal启动器.desktop" appears in the desktop
# directory ($HOME/Desktop), executable, naming the launcher in the game
# directory; pressing again keeps one entry.
name=shortcut
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
entry="$home/Desktop/Corvenhal启动器.desktop"
click 521 413
wait_until 10 test -s "$entry" || fail "no desktop entry in $home/Desktop: $(ls -A "$home/Desktop")"
[ -x "$entry" ] || fail "the desktop entry is not executable"
grep -qx 'Type=Application' "$entry" || fail "the entry is not an application: $(cat "$entry")"
grep -qx 'Name=Corvenhal启动器' "$entry" || fail "the entry's name: $(cat "$entry")"
grep -q "^Exec=.*$game/corvenhal-launcher" "$entry" || fail "the entry does not start the launcher: $(cat "$entry")"
click 521 413
sleep 1
[ "$(ls -A "$home/Desktop" | wc -l)" -eq 1 ] || fail "the desktop holds: $(ls -A "$home/Desktop")"
cp "$entry" "$artifacts/"
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok"
