# The published client and a player's game directory for the demo and the
# end-to-end tests; sourced by sh scripts (needs corvenhal-tool).
#
#   scene_publish TOOL WWW UPDATE_PORT VERSION
#     The demo client (a few files, one with a Chinese name, a subfolder) in
#     WWW/client-src, its copy served at WWW/update/client/, and what
#     `corvenhal-tool publish` makes for it at WWW/update/ (Vers.txt holding
#     VERSION, Updata.ini listing https://127.0.0.1:UPDATE_PORT/update/client/...).
#   scene_notes FILE UPDATE_PORT
#     The share notes by share key: localAnnounce, an announcement in Chinese
#     with markup, and localSponsor, holding a local sponsorship address.
#   scene_game TOOL GAME LAUNCHER WWW OLD_VERSION
#     A game directory: the marker, Update.dat of OLD_VERSION, the launcher, and
#     Resource/ holding part of the published client: one file missing, one
#     corrupted, one folder missing.

scene_publish() {
  scene_tool=$1 scene_www=$2 scene_port=$3 scene_version=$4
  rm -rf "$scene_www/client-src" "$scene_www/update"
  mkdir -p "$scene_www/client-src/data/地图" "$scene_www/client-src/sound" "$scene_www/update"
  src=$scene_www/client-src
  printf 'Corvenhal client stand-in\r\n' >"$src/CorvenhalClient.exe"
  printf '[Client]\r\nServer=127.0.0.1\r\nVersion=%s\r\n' "$scene_version" >"$src/config.ini"
  printf '长安城的街道与城门\r\n' >"$src/data/地图/长安城.map"
  head -c 300000 /dev/zero | tr '\0' 'C' >"$src/data/characters.pak"
  printf 'RIFF stand-in sound\r\n' >"$src/sound/打开.wav"
  cp -R "$src" "$scene_www/update/client"
  "$scene_tool" publish "$src" --url-base "https://127.0.0.1:$scene_port/update/client" \
    --version "$scene_version" --out "$scene_www/update"
}

scene_notes() {
  cat >"$1" <<NOTES
{
  "localAnnounce": "<p><b>亲爱的玩家：</b></p><p>新版本&nbsp;<span style=\"color:red\">1.0.6</span>&nbsp;已发布，本次更新修复了若干问题。</p><ul><li>新增地图：长安城</li><li>优化登录速度 &amp; 稳定性</li></ul><div>客服QQ群：&lt;123456&gt;<br>祝您游戏愉快！</div>",
  "localSponsor": "<div>https://127.0.0.1:$2/sponsor.html</div>"
}
NOTES
}

scene_game() {
  scene_tool=$1 scene_game_dir=$2 scene_launcher=$3 scene_www=$4 scene_old=$5
  rm -rf "$scene_game_dir"
  mkdir -p "$scene_game_dir/Resource/data"
  : >"$scene_game_dir/ORVELLE_SIG.sys"
  (cd "$scene_game_dir" && "$scene_tool" version write "$scene_old" Update.dat) >/dev/null
  cp "$scene_launcher" "$scene_game_dir/corvenhal-launcher"
  src=$scene_www/client-src
  # Kept whole: the client program and the character pack.
  cp "$src/CorvenhalClient.exe" "$scene_game_dir/Resource/"
  cp "$src/data/characters.pak" "$scene_game_dir/Resource/data/"
  # Corrupted: the settings of an older client.
  printf '[Client]\r\nServer=old.example\r\n' >"$scene_game_dir/Resource/config.ini"
  # Missing: data/地图/ and sound/ with their files.
}
