#!/usr/bin/env bash
# Pictures on a Wayland desktop, whose Xwayland root window holds none: a snapshot of an area
# over the game's X window holds that window's pixels as the compositor shows them, also while a
# native Wayland window lies over it; a recording's frames are the game's, not black; an area
# over Wayland windows only, where no screen sharing portal runs, gives a message and no file.
source "$(dirname "$0")/lib.sh"

GAME="ClassicUO - 1.1.0.0"
# The game: an X window with detail everywhere, so that a shifted or mixed-up copy shows.
convert -seed 7 -size 640x480 plasma:fractal "$WORK/game.png"
place_windows "$GAME" 100 100
display -title "$GAME" -geometry +100+100 "$WORK/game.png" >"$WORK/display.log" 2>&1 &
HELPER_PIDS+=($!)
# display centres its window itself once shown: it is moved again after that.
wait_for 10 sway_has_window "$GAME" || fail "the game's window did not appear"
sleep 0.5
place_windows "$GAME" 100 100
wait_for 10 x_window_at "$GAME" 100 100 || fail "the game's window did not come to 100,100"

start_vosta

# The frozen screen of "Set area" shows the game (the overlay's own screenshot is kept).
set_area 200 160 600 460
convert "$ARTIFACTS/overlay-200-160.png" -crop 640x480+100+100 +repage "$WORK/frozen.png"
pictures_match "$WORK/frozen.png" "$WORK/game.png" 0.02 ||
  fail "the frozen screen does not show the game's window"
pass "the frozen screen of Set area shows the game's X window"

grim -g "200,160 400x300" "$WORK/seen.png"
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot of the area over the game"
shot=$(shots '*.jpg' | head -1)
[ "$(jpeg_size "$shot")" = "400 300" ] || fail "the snapshot is $(jpeg_size "$shot")"
pictures_match "$shot" "$WORK/seen.png" 0.03 || fail "the snapshot is not what the compositor shows"
pass "a snapshot over the game's X window holds what the compositor shows there"
rm -f "$APP"/ScreenShot/*.jpg

# A native Wayland window over part of the area: the snapshot still holds the game's pixels.
open_wayland_window T 300 200 200x150 0000ff
grim -g "200,160 400x300" "$WORK/covered.png"
screenshot wayland-window-over-the-game
! pictures_match "$WORK/covered.png" "$WORK/seen.png" 0.03 ||
  fail "the Wayland window does not show over the area"
# The new window has the focus: a first click gives it back to the eye, so that the double-click
# is not split by the change of focus.
# shellcheck disable=SC2046
wl_input move $(eye_point) click
sleep 1
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot with a Wayland window over the game"
pictures_match "$(shots '*.jpg' | head -1)" "$WORK/seen.png" 0.03 ||
  fail "the snapshot under the Wayland window is not the game's"
pass "with a Wayland window over it, the snapshot still holds the game's window"
rm -f "$APP"/ScreenShot/*.jpg

# A recording: its frames are the game's (16 bits a pixel, so compared a little more loosely).
menu_choose $MENU_MOVIE
wait_for 10 shots_at_least 1 '*.avi' || fail "the recording did not start"
MOVIE=$(shots '*.avi' | head -1)
sleep 2
# A double-click that a busy machine splits into two clicks is given again.
stop_recording() { double_click_eye && wait_for 6 save_options_open; }
stop_recording || stop_recording || fail "no save options after the recording"
answer_save_options "" Escape
[ "$(movie_frames "$MOVIE")" -ge 10 ] ||
  fail "the recording holds $(movie_frames "$MOVIE") frames"
ffmpeg -v error -i "$MOVIE" -vf "select=eq(n\,5)" -frames:v 1 "$WORK/frame.png"
pictures_match "$WORK/frame.png" "$WORK/seen.png" 0.04 || fail "the recording's frame is not the game's"
pass "a recording's frames hold the game's window, not black"
rm -f "$APP"/ScreenShot/*

# An area over a Wayland window only: a message, and no file.
open_wayland_window U 1000 600 500x300 00ff00
set_area 1100 650 1300 800
double_click_eye
box_shown Vosta "an area over Wayland windows only"
# Only the screen sharing portal could show it, and this session has none.
logged "画面を読み取れません: このデスクトップには画面共有のポータル (ScreenCast) がありません" ||
  fail "the message was not the missing portal's"
sleep 1
[ "$(count_shots '*')" = 0 ] || fail "an unreadable area left $(shots '*')"
pass "an area over Wayland windows only gives the message and no file"
