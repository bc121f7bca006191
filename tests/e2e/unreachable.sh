#!/bin/sh
# The update server unreachable (nothing listens on its port): 进入游戏 opens
# UpdateWindow in good time, which cannot fetch the update list (its
# screenshot shows "获取更新列表失败，请检查网络后重试！"); no client file is
# lost or changed, Update.dat keeps 1.0.5, no game is started, and both
# windows still close.
name=unreachable
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" 0 "$share_port" "$www" "$state/notes.json" || fail "the share stub did not start"
(cd "$game" && find . -type f ! -name Update.dat -exec md5sum {} + | sort) >"$work/before.md5"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
click 113 413
update=$(wait_for_window "发现新版本" 60) || fail "no UpdateWindow within 60 s"
sleep 2
shot update_window "$update"
(cd "$game" && find . -type f ! -name Update.dat -exec md5sum {} + | sort) >"$work/after.md5"
cmp -s "$work/before.md5" "$work/after.md5" || fail "client files changed: $(diff "$work/before.md5" "$work/after.md5")"
[ "$(record)" = 1.0.5 ] || fail "Update.dat holds $(record), not 1.0.5"
[ ! -e "$game/Corvenhal.exe" ] || fail "the starter was written"
[ ! -s "$work/wine.log" ] || fail "a game was started"
close_window "$update"
wait_until 20 no_window_titled 发现新版本 ||
  fail "UpdateWindow did not close within 20 s"
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok (screenshot: $artifacts/update_window.png)"
