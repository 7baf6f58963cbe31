#!/usr/bin/env bash
# An output folder that cannot be written: the error is shown, nothing is written, the program
# runs on.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
start_vosta
rmdir "$APP/ScreenShot"
touch "$APP/ScreenShot"   # a file where the folder should be
menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 10 windows_named Vosta || fail "no error box"
screenshot unwritable
xdotool key Return
sleep 1
vosta_running || fail "the program ended"
[ "$(find "$APP" -name '*.jpg' | wc -l)" = 0 ] || fail "a file was written"
[ ! -s "$APP/ScreenShot" ] || fail "the file in the way was changed"
pass "unwritable output folder: error shown, nothing written, program runs on"
