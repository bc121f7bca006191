#!/bin/sh
# 检查更新 in an up-to-date game directory whose character pack was corrupted:
# the verification window opens; its button downloads that one file from
# nginx and nothing else; the client is whole again and Update.dat still
# holds the published version. The window's screenshot shows the labels at
# the end ("效验文件：5/5", "客户端文件验证完成！").
name=check_updates
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
rm -rf "$game/Resource"
cp -R "$www/client-src" "$game/Resource"
(cd "$game" && "$tool" version write 1.0.6 Update.dat) >/dev/null
head -c 1000 "$www/client-src/data/characters.pak" >"$game/Resource/data/characters.pak"

start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
click 317 413
# The verification window has no title; it is the other visible window.
wait_until 20 some_other_window "$main" ||
  fail "检查更新 opened no window within 20 s"
verify=""
for id in $(other_windows "$main"); do
  [ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ] && verify=$id
done
[ -n "$verify" ] || fail "the verification window is not untitled"
eval "$(xdotool getwindowgeometry --shell "$verify")"
[ "$X" -eq 50 ] && [ "$Y" -eq 50 ] && [ "$WIDTH" -eq 380 ] && [ "$HEIGHT" -eq 440 ] ||
  fail "the verification window is ${WIDTH}x${HEIGHT} at $X,$Y, not 380x440 at 50,50"
sleep 0.5
shot verify_window_before "$verify"
[ -z "$(update_requests | grep ' /update/client/')" ] || fail "files were downloaded before the button was pressed"

click 187 351
wait_until 30 client_whole || fail "the client was not repaired within 30 s"
sleep 1
shot verify_window_after "$verify"
got=$(update_requests | awk '$2 ~ /^\/update\/client\// { print $1, $2, $3 }')
[ "$got" = "GET /update/client/data/characters.pak 200" ] || fail "client files downloaded: $got"
[ "$(record)" = 1.0.6 ] || fail "Update.dat holds $(record), not 1.0.6"
[ ! -s "$work/wine.log" ] || fail "checking for updates started the game"

close_window "$verify"
sleep 0.5
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok (screenshots in $artifacts)"
