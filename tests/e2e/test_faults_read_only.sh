#!/usr/bin/env bash
# The ScreenShot folder turns read-only during a recording and during a compression pass (as an
# ordinary user, since root writes anyway): a warning that says what failed, the recording whole
# under its name, and the program runs on.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 1920x1080+0+0   # Zip Motion Blocks takes seconds over it
run_as_ordinary_user
start_vosta
menu_choose $MENU_FULL_AREA

expect_warning_and_whole_recording() {
  # The warning comes when the pass ends: Zip Motion Blocks over the whole screen takes more than
  # half a minute on a busy machine.
  box_shown 警告 "read-only $1" 90
  chmod 755 "$APP/ScreenShot"
  [ "$(movie_field "$MOVIE" codec_name)" = rawvideo ] || fail "the recording was replaced"
  expect_indexed_movie "$MOVIE" 10
}

before=$(shots '*.avi')
menu_choose $MENU_MOVIE
sleep 1
chmod 555 "$APP/ScreenShot"
sleep 1
double_click_eye
answer_save_options "Zip Motion Blocks" Return
MOVIE=$(comm -13 <(echo "$before") <(shots '*.avi') | head -1)
expect_warning_and_whole_recording "during-recording"
temporary_movies && fail "a temporary movie was left"
pass "read-only during a recording: the pass cannot start, a warning, $FRAMES frames kept"

record 2
answer_save_options "Zip Motion Blocks" Return
wait_for 10 progress_open || fail "no progress window"
chmod 555 "$APP/ScreenShot"
expect_warning_and_whole_recording "during-pass"
# The finished compressed movie cannot be removed from a read-only folder: it stays, whole.
temporary=$(temporary_movies) && expect_indexed_movie "$temporary" "$FRAMES"
pass "read-only during a pass: a warning, the recording kept, the compressed copy beside it"
