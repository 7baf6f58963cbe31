#!/usr/bin/env bash
# A long compression pass: the eye keeps working while it runs, "中断" stops it with a warning
# and keeps the raw movie, the next pass runs to its end, SIGTERM during a pass leaves the raw
# movie whole, and "Exit" during a recording offers the save options and ends after the pass.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 1920x1080+0+0
start_vosta
menu_choose $MENU_FULL_AREA

# Records the whole screen for $1 seconds, stops it and picks compressor $2 by typing its name.
record_and_choose() {
  local before
  before=$(shots '*.avi')
  menu_choose $MENU_MOVIE
  sleep "$1"
  double_click_eye
  answer_save_options "$2" Return "${3:-}"
  MOVIE=$(comm -13 <(echo "$before") <(shots '*.avi') | head -1)
  [ -n "$MOVIE" ] || fail "no movie was recorded"
}

expect_whole_raw_movie() {
  [ "$(movie_field "$1" codec_name)" = rawvideo ] || fail "$1 is no longer the raw movie"
  [ "$(movie_frames "$1")" -gt 10 ] || fail "$1 lost frames"
  errors=$(decode_errors "$1")
  [ -z "$errors" ] || fail "$1 does not read cleanly: $errors"
  temporary_movies && fail "a temporary movie was left"
  return 0
}

# Zip Motion Blocks is slow on changing full-screen content: a pass of several seconds.
record_and_choose 2.5 "Zip Motion Blocks"
wait_for 10 progress_open || fail "no progress window"
sleep 1
screenshot progress
# The eye works during the pass: its menu opens ("Create AVI file" is greyed meanwhile).
# shellcheck disable=SC2046
xdotool mousemove $(eye_point) click 3
wait_for 5 popup_menu_open || fail "the eye's menu does not open during the pass"
sleep 0.3
screenshot menu-during-pass
xdotool key Escape
sleep 0.3
progress=$(progress_open)
xdotool mousemove $(( $(window_x "$progress") + 100 )) $(( $(window_y "$progress") + 60 )) click 1
wait_for 20 windows_named "警告" || fail "no warning after 中断"
screenshot aborted
xdotool key Return
wait_until_not 5 windows_named "警告" || fail "the warning stayed"
wait_until_not 5 progress_open || fail "the progress window stayed"
expect_whole_raw_movie "$MOVIE"
pass "中断 stops the pass with a warning; the raw movie stays"

record_and_choose 1 "HuffYUV"
wait_for 60 movie_is "$MOVIE" HFYU || fail "the pass after the abort did not finish"
wait_until_not 10 progress_open || fail "the progress window stayed"
temporary_movies && fail "a temporary movie was left"
pass "the next pass runs to its end"

record_and_choose 2.5 "Zip Motion Blocks"
wait_for 10 progress_open || fail "no progress window"
sleep 1
kill -TERM "$VOSTA_PID"
wait_until_not 10 vosta_running || fail "the program did not end on SIGTERM during a pass"
expect_whole_raw_movie "$MOVIE"
pass "SIGTERM during a pass: the program ends, the raw movie is whole"

start_vosta
menu_choose $MENU_FULL_AREA
before=$(shots '*.avi')
menu_choose $MENU_MOVIE
sleep 1.5
menu_choose $MENU_EXIT
answer_save_options "Motion JPEG" Return
MOVIE=$(comm -13 <(echo "$before") <(shots '*.avi') | head -1)
wait_until_not 60 vosta_running || fail "the program did not end after the pass"
movie_is "$MOVIE" MJPG || fail "Exit during a recording did not give the chosen compressor"
[ -z "$(decode_errors "$MOVIE")" ] || fail "the movie does not decode cleanly"
temporary_movies && fail "a temporary movie was left"
pass "Exit during a recording: save options, the compressed movie, then the end"
