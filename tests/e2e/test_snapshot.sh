#!/usr/bin/env bash
# JPEG snapshots: "Full area", "Set area", two in one second, "Repeat to file".
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800 --color 204060
open_titled_window "red" --size 300x200 --pos 600,400 --color ff0000
start_vosta

menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot after a double-click"
shot=$(shots '*.jpg' | head -1)
[[ "$(basename "$shot")" =~ ^[0-9]{8}-[0-9]{6}\.jpg$ ]] || fail "bad name: $shot"
[ "$(jpeg_size "$shot")" = "1920 1080" ] || fail "full-area snapshot is $(jpeg_size "$shot")"
# The red window's client area lies somewhere around (600..900, 400..600) under its frame.
is_red "$shot" 750 520 || fail "the red region does not decode as red: $(pixel_rgb "$shot" 750 520)"
pass "full-area snapshot of the usable screen, red decodes as red"
rm -f "$APP"/ScreenShot/*.jpg

set_area 101 51 300 201
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot of the set area"
[ "$(jpeg_size "$(shots '*.jpg' | head -1)")" = "200 150" ] || fail "set area snapshot is not 200x150"
pass "Set area with clicks at (101,51) and (300,201) gives a 200 x 150 JPEG"
rm -f "$APP"/ScreenShot/*.jpg

# Two snapshots in one second leave two files.
# shellcheck disable=SC2046
xdotool mousemove $(eye_point) click --repeat 4 --delay 60 1
wait_for 10 shots_at_least 2 || fail "two quick snapshots left $(count_shots) file(s)"
pass "two snapshots in one second leave two files: $(shots '*.jpg' | xargs -n1 basename | tr '\n' ' ')"
rm -f "$APP"/ScreenShot/*.jpg

# "Repeat to file": one file a second until a double-click stops it.
menu_choose $MENU_REPEAT
sleep 4.5
n=$(count_shots)
[ "$n" -ge 3 ] && [ "$n" -le 6 ] || fail "Repeat to file wrote $n files in 4.5 s"
double_click_eye
sleep 1.5
n=$(count_shots)
sleep 2.5
[ "$(count_shots)" = "$n" ] || fail "a double-click did not stop Repeat to file"
pass "Repeat to file writes one file a second and a double-click stops it"
