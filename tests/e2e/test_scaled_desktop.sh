#!/usr/bin/env bash
# On a scaled desktop the area, the grab and the files are in physical pixels.
source "$(dirname "$0")/lib.sh"

export QT_SCALE_FACTOR=2
SCALE=2
open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
open_titled_window "red" --size 120x80 --pos 150,100 --color ff0000
start_vosta
set_area 101 51 300 201
[ "$OVERLAY_GEOMETRY" = "1920x1080+0+0" ] || fail "the overlay covered $OVERLAY_GEOMETRY"
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot on the scaled desktop"
shot=$(shots '*.jpg' | head -1)
[ "$(jpeg_size "$shot")" = "200 150" ] || fail "scaled desktop snapshot is $(jpeg_size "$shot")"
# The red window lies at about (150..270, 100..180) on the screen: (50.., 50..) in the shot.
is_red "$shot" 110 100 || fail "wrong screen pixels: $(pixel_rgb "$shot" 110 100)"
is_red "$shot" 20 20 && fail "red outside the red window"
pass "scaled desktop: the same two clicks give a 200 x 150 JPEG of the same screen pixels"
