#!/bin/sh
# 进入游戏 with Update.dat at 1.0.5 and 1.0.6 published: UpdateWindow
# ("发现新版本") opens and downloads from nginx exactly the missing and the
# corrupted client files (not the whole ones), after which the client is whole
# and Update.dat holds 1.0.6. After it is closed, the next press asks for
# Vers.txt again, writes the starter Corvenhal.exe and starts it through
# `wine` with its full path; the launcher stays open.
name=enter_game
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
click 113 413
update=$(wait_for_window "发现新版本") || fail "进入游戏 opened no UpdateWindow within 20 s"
wait_until 30 client_whole || fail "the client was not repaired within 30 s"
wait_until 10 record_is 1.0.6 ||
  fail "Update.dat holds $(record), not 1.0.6"
sleep 1
shot update_window "$update"

got=$(update_requests | awk '$2 ~ /^\/update\/client\// { print $1, $2, $3 }' | sort)
want=$(printf '%s\n' "GET /update/client/config.ini 200" \
  "GET /update/client/data/%E5%9C%B0%E5%9B%BE/%E9%95%BF%E5%AE%89%E5%9F%8E.map 200" \
  "GET /update/client/sound/%E6%89%93%E5%BC%80.wav 200" | sort)
[ "$got" = "$want" ] || fail "client files downloaded:
$got
expected:
$want"
update_requests | grep -q '^GET /update/Vers.txt 200' || fail "Vers.txt was never asked for"
update_requests | grep -q '^GET /update/Updata.ini 200' || fail "Updata.ini was never asked for"
[ ! -e "$game/Corvenhal.exe" ] || fail "the starter was written while the client was out of date"
[ ! -s "$work/wine.log" ] || fail "the game started while the client was out of date"

close_window "$update"
wait_until 10 only_window "$main" || fail "UpdateWindow did not close"
sleep 0.5
before=$(update_requests | grep -c '^GET /update/Vers.txt ')
click 113 413
wait_until 20 test -s "$work/wine.log" || fail "the second press started nothing through wine"
after=$(update_requests | grep -c '^GET /update/Vers.txt ')
[ "$after" -gt "$before" ] || fail "the second press did not ask for Vers.txt"
[ "$(cat "$work/wine.log")" = "$game/Corvenhal.exe" ] || fail "wine was asked to start: $(cat "$work/wine.log")"
[ -s "$game/Corvenhal.exe" ] || fail "no starter Corvenhal.exe in the game directory"
[ "$(head -c 2 "$game/Corvenhal.exe")" = MZ ] || fail "Corvenhal.exe is not a Windows image"
[ -z "$(windows_titled "发现新版本")" ] || fail "UpdateWindow opened again with the client up to date"
kill -0 "$launcher_pid" 2>/dev/null || fail "the launcher ended after starting the game"
shot main_window_after "$main"
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok (screenshots in $artifacts)"
