#!/bin/sh
# No marker file in the program's directory: only the message box "信息："
# shows; pressing Return on it ends the launcher with 0; no request reached
# the update server or the share stub.
name=no_marker
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
rm -f "$game/ORVELLE_SIG.sys"
start_launcher "$game"
box=$(wait_for_window "信息：") || fail "no message box titled \"信息：\" within 20 s"
sleep 0.5
[ -z "$(windows_titled "Corvenhal ")" ] || fail "the main window showed without the marker"
shot message_box "$box"
xdotool mousemove --window "$box" 10 10 key Return || fail "cannot press Return"
expect_clean_exit "pressing OK on the message box"
[ ! -s "$state/share.log" ] || fail "a request reached the share stub"
[ -z "$(update_requests)" ] || fail "a request reached the update server: $(update_requests)"
echo "$name: ok (screenshot: $artifacts/message_box.png)"
