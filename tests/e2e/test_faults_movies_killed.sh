#!/usr/bin/env bash
# SIGKILL at any point of a compression pass leaves the recording whole: the raw movie, or the
# compressed one when the pass had just ended, indexed and with every frame.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
# Zip Motion Blocks on changing full-screen content: a pass of several seconds. The content
# comes first, so that the eye opens above it.
show_moving_content 1920x1080+0+0

for round in 1 2 3; do
  start_vosta
  menu_choose $MENU_FULL_AREA
  record 2
  frames=$(movie_frames "$MOVIE")
  answer_save_options "Zip Motion Blocks" Return
  wait_for 10 progress_open || fail "no progress window"
  sleep "$(awk -v seed="$RANDOM" 'BEGIN { srand(seed); printf "%.2f", rand() * 3 }')"
  kill -KILL "$VOSTA_PID"
  wait "$VOSTA_PID" 2>/dev/null || true
  expect_indexed_movie "$MOVIE" "$frames"   # the recording, or its pass had just ended
  [ "$FRAMES" = "$frames" ] || fail "the movie holds $FRAMES of $frames frames after SIGKILL"
  rm -f "$APP"/ScreenShot/*.avi
done
pass "SIGKILL at three random points of a pass: the movie whole every time"
