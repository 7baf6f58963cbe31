#!/usr/bin/env bash
# The eye: where it appears, its shape, staying on top, dragging, the menu and "Exit".
source "$(dirname "$0")/lib.sh"

# With the game there and an area set, a tick of "Repeat to file" takes its snapshot at once:
# no game-window wait or notice ("Exit" chosen during one takes effect only after it).
open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
start_vosta
[ -d "$APP/ScreenShot" ] || fail "ScreenShot was not created beside the executable"
[ "$(window_x "$EYE") $(window_y "$EYE")" = "403 143" ] || fail "eye not at 403,143"
xprop -id "$EYE" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "eye is not kept above"
frame=$(xprop -id "$EYE" _NET_FRAME_EXTENTS | sed 's/.*= //')
[ "$frame" = "0, 0, 0, 0" ] || fail "eye has a frame: $frame"
pass "eye at 403,143, above others, no frame"

# Exactly the 43 x 44 rectangle from (1, 1) to (43, 44) is shown.
shape=$(xwininfo -shape -id "$EYE" | awk '/Window shape extents/ {print $4}')
[ "$shape" = "43x44+1+1" ] || fail "eye shape is $shape, not 43x44+1+1"
pass "eye shaped to 43 x 44 pixels"
screenshot eye

# A left-button drag moves it.
read -r x y < <(eye_point)
xdotool mousemove "$x" "$y" mousedown 1
xdotool mousemove $((x + 1)) $((y + 1))   # the move starts here, one pixel into the drag
sleep 0.1
for step in 1 2 3 4 5 6 7 8; do xdotool mousemove $((x + step * 10)) $((y + step * 15)); sleep 0.05; done
xdotool mouseup 1
sleep 0.5
[ "$(window_x "$EYE") $(window_y "$EYE")" = "482 262" ] \
  || fail "drag did not move the eye to 482,262: $(window_x "$EYE") $(window_y "$EYE")"
pass "left-button drag moves the eye"

# The menu opens on the right button; the check items toggle.
# shellcheck disable=SC2046
xdotool mousemove $(eye_point) click 3
wait_for 5 popup_menu_open || fail "no context menu"
sleep 0.3
screenshot menu
xdotool key Escape
sleep 0.3
menu_choose $MENU_CLIP_AUTOSAVE
menu_choose $MENU_FULL_AREA
menu_choose $MENU_REPEAT
menu_choose $MENU_REPEAT
# shellcheck disable=SC2046
xdotool mousemove $(eye_point) click 3
wait_for 5 popup_menu_open || fail "no context menu"
sleep 0.3
screenshot menu-checked
xdotool key Escape
sleep 0.3

# "Exit" writes the settings beside the executable and ends the program.
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
[ -f "$APP/VOSTA.ini" ] || fail "no VOSTA.ini after Exit"
printf 'WINX=482\r\nWINY=262\r\nCPX1=0\r\nCPX2=1920\r\nCPY1=0\r\nCPY2=1080\r\nCLIPAUTOSAVE=1\r\n' > "$WORK/expected.ini"
cmp "$APP/VOSTA.ini" "$WORK/expected.ini" || fail "VOSTA.ini differs: $(od -c "$APP/VOSTA.ini" | head)"
pass "Exit wrote VOSTA.ini with the window's position and the autosave switch"
