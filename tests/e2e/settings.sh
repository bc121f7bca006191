#!/bin/sh
# 游戏设置: the settings window "游戏设置" opens at 50,50; full screen, the
# recommended preset, music off and the resolution 1280*800 chosen by clicks,
# 确定 writes SysSetting.xml in the game directory byte for byte and closes
# the window; nothing else in the directory changes.
name=settings
. "$(dirname "$0")/lib.sh"

servers_start "$state" "$certs" "$port" "$share_port" "$www" "$state/notes.json" || fail "the servers did not start"
start_launcher "$game"
main=$(wait_for_window "Corvenhal ") || fail "no main window within 20 s"
main_ready
click 575 35
settings=$(wait_for_window "游戏设置") || fail "游戏设置 opened no window within 20 s"
eval "$(xdotool getwindowgeometry --shell "$settings")"
[ "$X" -eq 50 ] && [ "$Y" -eq 50 ] && [ "$WIDTH" -eq 340 ] && [ "$HEIGHT" -eq 254 ] ||
  fail "the settings window is ${WIDTH}x${HEIGHT} at $X,$Y, not 340x254 at 50,50"
sleep 1
shot settings_window_before "$settings"
click 188 146   # 全屏模式
click 312 154   # 推荐配置
click 136 210   # 背景音乐关
# 分辨率: the list opens on its selected item (1024*768); two down is 1280*800.
click 127 166
sleep 0.5
xdotool key Down key Down key Return
sleep 0.5
shot settings_window_chosen "$settings"
[ ! -e "$game/SysSetting.xml" ] || fail "SysSetting.xml was written before 确定"
click 274 228    # 确定按钮1
wait_until 10 test -e "$game/SysSetting.xml" || fail "确定 wrote no SysSetting.xml"
wait_until 10 only_window "$main" ||
  fail "the settings window stayed open after 确定"
printf '<?xml version="1.0" encoding="GB2312" ?>\r\n<Res ScreenWidth="1280" ScreenHeight="800" FullScreen="1" Music="0" Sound="1" ThreeDimension="0" Friend="0" Group="0" Business="1" FloodLight="0" Antialiasing="2" MusicVolume="100" SoundVolume="100" ThreeDimensionValue="0" />' >"$work/expected.xml"
cp "$game/SysSetting.xml" "$artifacts/"
cmp -s "$work/expected.xml" "$game/SysSetting.xml" || fail "SysSetting.xml differs:
$(cat "$game/SysSetting.xml")"
close_window "$main"
expect_clean_exit "closing the main window"
echo "$name: ok"
