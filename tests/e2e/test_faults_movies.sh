#!/usr/bin/env bash
# Faults while a movie is written: a frame that fails half-way (disk full, I/O error) or a
# removed folder stops the recording with a message, leaving every whole frame; a compression
# pass whose output or whose re-read fails, or whose folder disappears, says why and leaves the
# recording as it was. (SIGKILL during a pass: test_faults_movies_killed.sh.)
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 400x300+80+30
with_fault_injector
start_vosta
set_area 100 50 420 290   # 320 x 240: 153,600 bytes a frame

# Every frame up to the last decodes, and none is cut short.
expect_whole_frames() {
  local frames errors
  frames=$(movie_frames "$1")
  [ "$frames" -ge "$2" ] || fail "$1 keeps only $frames frames"
  errors=$(decode_errors "$1")
  [ -z "$errors" ] || fail "$1 does not decode cleanly: $errors"
  FRAMES=$frames
}

for error in EIO ENOSPC; do
  inject_fault write $error 3000000 .avi   # after 19 frames and a part of the 20th
  before=$(shots '*.avi')
  menu_choose $MENU_MOVIE
  box_shown VOSTA "recording $error"
  movie=$(comm -13 <(echo "$before") <(shots '*.avi'))
  size=$(stat -c %s "$movie")
  sleep 1
  [ "$(stat -c %s "$movie")" = "$size" ] || fail "the recording went on after $error"
  save_options_open && fail "a pass was offered on a failing disk"
  expect_whole_frames "$movie" 18
  pass "recording, $error after 3 MB: stopped with a message, $FRAMES whole frames"
done

no_faults
record 2
raw=$MOVIE
raw_digest=$(md5sum <"$raw")
answer_save_options "" Escape
for fault in "write ENOSPC 12000 _.avi" "write EIO 12000 _.avi" "fsync EIO 0 _.avi" \
             "read EIO 2000000 .avi"; do
  inject_fault $fault   # the recording's own file is written, never read
  record 2
  answer_save_options FFV1 Return
  box_shown 警告 "pass $fault"
  movie_is "$MOVIE" FFV1 && fail "the failed pass replaced $MOVIE"
  expect_whole_frames "$MOVIE" 20
  temporary_movies && fail "a temporary movie was left after $fault"
  [ "$(md5sum <"$raw")" = "$raw_digest" ] || fail "an earlier movie changed"
  pass "pass, $fault: a warning, the recording kept whole"
done
no_faults

# The folder removed during a recording: frames would go nowhere, so the recording stops.
menu_choose $MENU_MOVIE
sleep 1
rm -rf "$APP/ScreenShot"
box_shown VOSTA "recording folder removed"
save_options_open && fail "a pass was offered for a removed movie"
pass "the ScreenShot folder removed during a recording: the recording stops with a message"

# Zip Motion Blocks on changing full-screen content: a pass of several seconds. The content
# comes first, so that the eye opens above it.
restart_vosta() {
  kill "$VOSTA_PID" 2>/dev/null || true
  wait "$VOSTA_PID" 2>/dev/null || true
  start_vosta
  menu_choose $MENU_FULL_AREA
}
show_moving_content 1920x1080+0+0
restart_vosta
record 2
# Each write of the pass waits, so that the pass still runs when the folder goes.
inject_fault "write,fsync SLOW 150 _.avi"
answer_save_options "Zip Motion Blocks" Return
wait_for 10 progress_open || fail "no progress window"
rm -rf "$APP/ScreenShot"
box_shown 警告 "pass folder removed"
no_faults
# The next snapshot makes the folder again, as the program's start does.
double_click_eye
wait_for 15 shots_at_least 1 || fail "no snapshot after the folder was removed"
windows_named Vosta && fail "a box for the snapshot after the folder was removed"
[ "$(stat -c %a "$APP/ScreenShot")" = "$(stat -c %a "$APP")" ] ||
  fail "the folder was made again with other rights: $(stat -c %a "$APP/ScreenShot")"
pass "the ScreenShot folder removed during a pass: a warning, then the next snapshot makes it again"
