#!/bin/sh
# The update server dying in the middle of a client file: the character pack
# (corrupted in the game directory) is sent slowly, and nginx is killed while
# it is on the way. The old file stays as it was, nothing half-written is
# left beside it, Update.dat is not renewed (1.0.5), and with the server back
# the next 进入游戏 opens UpdateWindow again and completes the client.
name=server_drop
. "$(dirname "$0")/lib.sh"

printf 'old pack\r\n' >"$game/Resource/data/characters.pak"
cp "$game/Resource/data/characters.pak" "$work/old.pak"
SERVERS_NGINX_UPDATE_EXTRA="limit_rate 20k;"
servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
click 113 413
# Files go in manifest order: config.ini comes just before the pack.
wait_until 30 same_file "$www/client-src/config.ini" "$game/Resource/config.ini" ||
  fail "config.ini was not repaired within 30 s"
sleep 2
master=$(cat "$state/nginx/nginx.pid")
workers=$(ps -o pid= --ppid "$master")
# shellcheck disable=SC2086
kill -KILL $workers "$master" || fail "cannot kill nginx"
servers_stop_nginx
update=$(wait_for_window "发现新版本" 60) || fail "no UpdateWindow"
wait_until 60 record_is 1.0.5 ||
  fail "Update.dat holds $(record), not 1.0.5, after the failed walk"
sleep 2
shot update_window_failed "$update"
same_file "$work/old.pak" "$game/Resource/data/characters.pak" || fail "the old pack was not kept whole"
leftover=$(ls -A "$game/Resource/data" | grep -v -x -e characters.pak -e 地图)
[ -z "$leftover" ] || fail "left beside the pack: $leftover"
[ "$(record)" = 1.0.5 ] || fail "Update.dat holds $(record), not 1.0.5"
close_window "$update"
wait_until 20 no_window_titled 发现新版本 ||
  fail "UpdateWindow did not close within 20 s"

SERVERS_NGINX_UPDATE_EXTRA=""
servers_start "$state" "$certs" "$port" 0 "$www" "$state/notes.json" || fail "nginx did not start again"
sleep 0.5
click 113 413
update=$(wait_for_window "发现新版本" 30) || fail "the next 进入游戏 opened no UpdateWindow"
wait_until 30 client_whole || fail "the client was not completed within 30 s"
wait_until 10 record_is 1.0.6 ||
  fail "Update.dat holds $(record), not 1.0.6"
shot update_window_again "$update"
close_window "$update"
sleep 0.5
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok (screenshots in $artifacts)"
