#!/usr/bin/env bash
# Stopping a recording offers the save options: Escape keeps the raw movie; a lossy and a
# lossless compressor chosen by typing their names give one compressed movie under the
# recording's name, every frame of it, the lossless one with exactly the recorded pixels.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 400x300+80+30
start_vosta
set_area 100 50 420 290   # 320 x 240 of the changing content

record
movie=$MOVIE
answer_save_options "" Escape save-options
info=$(ffprobe -v error -select_streams v:0 \
  -show_entries stream=codec_name,pix_fmt,width,height,r_frame_rate:stream_tags=title \
  -of csv=p=0 "$movie")
[ "$info" = "rawvideo,320,240,rgb555le,16/1,VIDEO" ] || fail "the raw movie is: $info"
n=$(movie_frames "$movie")
[ "$n" -ge $((RECORDED_SECONDS * 1000 / 66 / 2)) ] || fail "only $n frames in ${RECORDED_SECONDS} s"
temporary_movies && fail "a temporary movie was left"
pass "Escape keeps the raw movie: $info, $n frames"

for choice in "MPEG-4 Part 2:XVID:lossy" "FFV1:FFV1:lossless"; do
  IFS=: read -r name code kind <<<"$choice"
  record
  movie=$MOVIE
  cp "$movie" "$WORK/raw.avi"   # the recording is complete while the dialog is open
  frames=$(movie_frames "$WORK/raw.avi")
  answer_save_options "$name" Return "choose-$code"
  wait_for 60 movie_is "$movie" "$code" || fail "$movie did not become $code"
  wait_until_not 10 progress_open || fail "the progress window stayed"
  temporary_movies && fail "a temporary movie was left"
  errors=$(decode_errors "$movie")
  [ -z "$errors" ] || fail "$code movie does not decode cleanly: $errors"
  [ "$(movie_frames "$movie")" = "$frames" ] || fail "$code movie has $(movie_frames "$movie") of $frames frames"
  if [ "$kind" = lossless ]; then
    [ "$(pixels_digest "$movie")" = "$(pixels_digest "$WORK/raw.avi")" ] ||
      fail "the $code movie's pixels differ from the recording's"
  fi
  pass "$name chosen by typing: one $code movie of $frames frames ($kind)"
done
[ "$(count_shots '*.avi')" = 3 ] || fail "expected three movies: $(shots '*.avi')"
vosta_running || fail "the program ended"
