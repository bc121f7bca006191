#!/bin/sh
# Start-up in a game directory: the main window "Corvenhal " shows at 50,50;
# exactly one request reached the share stub, the announcement note's, as the
# share service expects it (method, path and query, cookie, content type,
# body carrying the share key of the announcement link); nothing was asked of
# the update server. The window's screenshot shows the version of Update.dat
# (1.0.5) and the announcement. Closing the window ends the launcher with 0.
name=startup
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
eval "$(xdotool getwindowgeometry --shell "$main")"
[ "$X" -eq 50 ] && [ "$Y" -eq 50 ] || fail "main window at $X,$Y, not 50,50"
wait_until 10 test -s "$state/share.log" || fail "no request reached the share stub"
sleep 1
shot main_window "$main"

python3 - "$state/share.log" <<'PY' || fail "the announcement request is not the share service's"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()]
assert len(lines) == 1, "%d requests reached the share stub" % len(lines)
r = lines[0]
assert r["method"] == "POST", r["method"]
assert r["target"] == "/webapp/json/weiyunShareNoLogin/WeiyunShareView?refer=unknown_windows&g_tk=5820739164", r["target"]
h = {k.lower(): v for k, v in r["headers"]}
assert h.get("cookie") == "wyctoken=5820739164", h
assert h.get("content-type") == "application/json;charset=utf-8", h
assert h.get("content-length") == str(len(r["body"].encode("utf-8"))), h
body = json.loads(r["body"])
req = json.loads(body["req_body"])
view = req["ReqMsg_body"][".weiyun.WeiyunShareViewMsgReq_body"]
assert view == {"share_pwd": "", "share_key": "localAnnounce"}, view
head = json.loads(body["req_header"])
assert head["cmd"] == 12002 and head["appid"] == 30113, head
PY
[ -z "$(update_requests)" ] || fail "start-up asked the update server: $(update_requests)"
[ "$(record)" = 1.0.5 ] || fail "Update.dat changed at start-up: $(record)"

close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok (screenshot: $artifacts/main_window.png)"
