#!/bin/sh
# Draws the launcher's window pictures with ImageMagick and writes them into
# resources/pictures/, where the build embeds them. The outputs are committed,
# so building does not need ImageMagick; run this again only to change the art.
#   main_background.jpg  640x600  MainWindow's background
#   button_large.png     180x62   face of the nine large buttons
#   button_settings.png  65x23    the small settings (gear) button
#   settings_background.png 340x254  SettingsWindow's face with its captions
#   button_confirm.png   65x23    SettingsWindow's confirm button
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources/pictures"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
title_font=DejaVu-Serif-Bold
png_opts="-strip -define png:exclude-chunks=date,time"

# Background: a night sky over a ridge of mountains and a keep, the name in
# gold, a gold plate at the top right behind the version label, and darker
# panels where the announcement box and the buttons sit.
convert -size 640x600 gradient:'#1b2440'-'#04060b' \
  \( -size 640x600 radial-gradient:'#3a4a78'-none -geometry +0-300 \) -compose screen -composite \
  "$work/sky.png"
convert -size 640x600 xc:none -fill white \
  -draw "point 40,20 point 97,61 point 150,34 point 212,12 point 260,70 point 318,28" \
  -draw "point 372,58 point 430,18 point 488,44 point 530,9 point 575,66 point 618,31" \
  -draw "point 66,95 point 183,88 point 296,101 point 401,92 point 512,99 point 600,104" \
  -blur 0x0.6 "$work/stars.png"
convert -size 640x600 xc:none \
  -fill '#f3e9c6' -draw "circle 520,150 520,118" \
  \( +clone -blur 0x18 \) -compose screen -composite "$work/moon.png"
convert -size 640x600 xc:none \
  -fill '#141a2c' -draw "polygon 0,600 0,300 70,240 130,285 205,205 280,275 350,230 420,290 500,215 570,270 640,235 640,600" \
  -fill '#0b0f1b' -draw "polygon 0,600 0,360 90,320 170,350 260,300 330,345 420,315 520,350 640,310 640,600" \
  -fill '#070a12' -draw "rectangle 292,250 348,340" \
  -draw "rectangle 280,232 300,340 rectangle 340,232 360,340" \
  -draw "polygon 276,232 290,200 304,232 polygon 336,232 350,200 364,232" \
  -draw "rectangle 312,214 328,250 polygon 308,214 320,178 332,214" \
  -fill '#f2c25c' -draw "rectangle 318,270 322,278 rectangle 286,250 290,256 rectangle 350,250 354,256" \
  "$work/land.png"
convert "$work/sky.png" "$work/stars.png" -compose over -composite \
  "$work/moon.png" -compose screen -composite \
  "$work/land.png" -compose over -composite \
  -fill '#00000080' -draw "roundrectangle 14,104 620,376 6,6" \
  -fill '#00000060' -draw "roundrectangle 14,374 620,592 6,6" \
  -fill '#8a6a2a' -draw "roundrectangle 448,83 608,109 5,5" \
  -fill '#d9c48c' -draw "roundrectangle 450,85 606,107 4,4" \
  -fill '#8a6a2a' -draw "roundrectangle 539,20 612,51 4,4" \
  "$work/base.png"
convert "$work/base.png" \
  \( -size 640x600 xc:none -font "$title_font" -pointsize 52 -fill '#000000c0' \
     -annotate +28+82 'CORVENHAL' -blur 0x3 \) -compose over -composite \
  -font "$title_font" -pointsize 52 -fill '#e7c672' -stroke '#5a3d10' -strokewidth 1 \
  -annotate +24+78 'CORVENHAL' \
  -stroke none -fill '#b8a46e' -font DejaVu-Serif-Italic -pointsize 13 \
  -annotate +28+100 'beyond the northern sea' \
  -quality 86 -sampling-factor 4:2:0 -strip "$out/main_background.jpg"

# Large button: a gold bevelled face with a dark rim, light enough for black
# captions.
convert -size 180x62 gradient:'#f4dc96'-'#b58a36' \
  -fill none -stroke '#fff3c8' -strokewidth 2 -draw "line 3,2 176,2 line 2,3 2,58" \
  -stroke '#6e4c14' -strokewidth 2 -draw "line 3,59 177,59 line 177,3 177,58" \
  -stroke '#2a1a04' -strokewidth 1 -draw "roundrectangle 0,0 179,61 4,4" \
  -stroke '#8c6422' -draw "roundrectangle 6,6 173,55 3,3" \
  $png_opts "$out/button_large.png"

# Settings button: the same face, small, with a gear and no text.
convert -size 65x23 gradient:'#f4dc96'-'#b58a36' \
  -fill none -stroke '#2a1a04' -strokewidth 1 -draw "roundrectangle 0,0 64,22 3,3" \
  -stroke none -fill '#3b2a0e' \
  -draw "translate 32.5,11.5 rotate 0 rectangle -1.6,-8.5 1.6,8.5" \
  -draw "translate 32.5,11.5 rotate 45 rectangle -1.6,-8.5 1.6,8.5" \
  -draw "translate 32.5,11.5 rotate 90 rectangle -1.6,-8.5 1.6,8.5" \
  -draw "translate 32.5,11.5 rotate 135 rectangle -1.6,-8.5 1.6,8.5" \
  -draw "circle 32.5,11.5 32.5,5" \
  -fill '#e6c77e' -draw "circle 32.5,11.5 32.5,8.8" \
  $png_opts "$out/button_settings.png"

# SettingsWindow: a parchment face (its labels draw dark text) with the
# captions beside the boxes and lists, which are controls of their own.
cjk_font=WenQuanYi-Zen-Hei
convert -size 340x254 gradient:'#f6eed8'-'#ddcda4' \
  -fill none -stroke '#8a6a2a' -strokewidth 1 -draw "roundrectangle 4,4 335,249 5,5" \
  -draw "line 14,118 326,118" \
  -stroke none -fill '#8a6a2a' -font "$cjk_font" -pointsize 13 \
  -annotate +14+18 '电脑信息' -annotate +14+130 '游戏设置' \
  -fill '#3b2a0e' -pointsize 12 \
  -annotate +14+40 '计算机名：' -annotate +14+60 '处理器：' \
  -annotate +14+80 '内存：' -annotate +14+100 '显卡：' \
  -annotate +14+151 '显示：' -annotate +90+151 '窗口模式' -annotate +199+151 '全屏模式' \
  -annotate +14+171 '分辨率' -annotate +14+193 '抗锯齿' \
  -annotate +250+159 '推荐配置' -annotate +250+180 '最低配置' -annotate +250+201 '最高配置' \
  -annotate +14+215 '背景音乐' -annotate +111+215 '开' -annotate +146+215 '关' \
  -annotate +14+238 '战斗音效' -annotate +111+238 '开' -annotate +146+238 '关' \
  -alpha off -depth 8 $png_opts "$out/settings_background.png"

# Confirm button: the small gold face with its caption.
convert -size 65x23 gradient:'#f4dc96'-'#b58a36' \
  -fill none -stroke '#2a1a04' -strokewidth 1 -draw "roundrectangle 0,0 64,22 3,3" \
  -stroke none -fill '#3b2a0e' -font "$cjk_font" -pointsize 13 -gravity center \
  -annotate +0+0 '确定' \
  -depth 8 $png_opts "$out/button_confirm.png"

ls -l "$out"

# VerifyWindow and UpdateWindow: an emblem above the progress texts, and the
# check button's face with its caption.
convert -size 200x200 xc:none \
  -fill '#1b2440' -stroke '#8a6a2a' -strokewidth 4 -draw "circle 100,100 100,8" \
  -fill none -stroke '#e7c672' -strokewidth 2 -draw "circle 100,100 100,20" \
  -stroke none -fill '#e7c672' -draw "polygon 100,38 150,128 50,128" \
  -fill '#1b2440' -draw "polygon 100,62 130,116 70,116" \
  -fill '#e7c672' -font "$title_font" -pointsize 17 -gravity center -annotate +0+50 'CORVENHAL' \
  -depth 8 $png_opts "$out/verify_emblem.png"
convert -size 268x82 gradient:'#f4dc96'-'#b58a36' \
  -fill none -stroke '#fff3c8' -strokewidth 2 -draw "line 3,2 264,2 line 2,3 2,78" \
  -stroke '#6e4c14' -strokewidth 2 -draw "line 3,79 265,79 line 265,3 265,78" \
  -stroke '#2a1a04' -strokewidth 1 -draw "roundrectangle 0,0 267,81 5,5" \
  -stroke none -fill '#3b2a0e' -font "$cjk_font" -pointsize 26 -gravity center \
  -annotate +0+0 '检查更新' \
  -depth 8 $png_opts "$out/button_check.png"
