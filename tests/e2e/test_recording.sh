#!/usr/bin/env bash
# "Create AVI file" starts and stops a movie; a signal still leaves a complete movie behind.
source "$(dirname "$0")/lib.sh"

frames() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$1"
}

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
start_vosta
set_area 101 51 300 201
menu_choose $MENU_MOVIE
sleep 2
# shellcheck disable=SC2046
xdotool mousemove $(eye_point) click 3
wait_for 5 popup_menu_open || fail "no context menu"
sleep 0.3
screenshot menu-recording
xdotool key Escape
sleep 0.5
menu_choose $MENU_MOVIE   # stops the recording; the save options keep it raw
answer_save_options "" Escape
movie=$(shots '*.avi' | head -1)
[ -n "$movie" ] || fail "no movie was written"
[[ "$(basename "$movie")" =~ ^[0-9]{8}-[0-9]{6}\.avi$ ]] || fail "bad movie name: $movie"
info=$(ffprobe -v error -select_streams v:0 \
  -show_entries stream=codec_name,width,height,r_frame_rate:stream_tags=title -of csv=p=0 "$movie")
[ "$info" = "rawvideo,200,150,16/1,VIDEO" ] || fail "movie stream is: $info"
n=$(frames "$movie")
[ "$n" -ge 10 ] || fail "only $n frames in about 3 seconds"
pass "Create AVI file records the area: $n frames, $info"

# A recording that is still running when the program is told to end is finished first.
menu_choose $MENU_MOVIE
sleep 1.5
kill -TERM "$VOSTA_PID"
wait_until_not 10 vosta_running || fail "the program did not end on SIGTERM"
second=$(shots '*.avi' | grep -v "$(basename "$movie")" | head -1)
[ -n "$second" ] || fail "no second movie"
n=$(frames "$second")
[ "$n" -ge 5 ] || fail "the movie ended by SIGTERM has $n frames"
ffprobe -v error "$second" 2>&1 | grep -q . && fail "ffprobe complains: $(ffprobe -v error "$second" 2>&1)"
pass "SIGTERM during a recording leaves a complete movie of $n frames"
