#!/usr/bin/env bash
# The disk fills during a recording: the recording stops by itself with a message, and the
# movie keeps every complete frame, indexed, with no partial one.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 400x300+80+30
# A folder of 4 MiB: about 25 frames of 320 x 240.
mkdir -p "$APP/ScreenShot"
mount -t tmpfs -o size=4m tmpfs "$APP/ScreenShot" || fail "cannot mount a small file system"
MOUNTS+=("$APP/ScreenShot")
start_vosta
set_area 100 50 420 290
menu_choose $MENU_MOVIE
wait_for 20 windows_named VOSTA || fail "no message when the disk filled"
sleep 0.5
screenshot disk-full
xdotool key Return
movie=$(shots '*.avi' | head -1)
size=$(stat -c %s "$movie")
sleep 1.5
[ "$(stat -c %s "$movie")" = "$size" ] || fail "the recording went on after the disk filled"
expect_indexed_movie "$movie" 15
vosta_running || fail "the program ended"
pass "disk full: the recording stopped with a message; $FRAMES whole frames, indexed"
