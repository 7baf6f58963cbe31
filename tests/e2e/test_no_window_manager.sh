#!/usr/bin/env bash
# A bare X server without a window manager: the settings are still read at start, the eye is
# still shaped, and dragging moves it by hand.
source "$(dirname "$0")/lib.sh"

printf 'WINX=$64\r\nWINY=0x64\r\nCPX1=0\r\nCPX2=1023\r\nCPY1=0\r\nCPY2=101\r\n' > "$APP/VOSTA.ini"
start_vosta
[ "$(window_x "$EYE") $(window_y "$EYE")" = "100 100" ] \
  || fail "eye not at 100,100 without a window manager: $(window_x "$EYE") $(window_y "$EYE")"
shape=$(xwininfo -shape -id "$EYE" | awk '/Window shape extents/ {print $4}')
[ "$shape" = "43x44+1+1" ] || fail "eye shape is $shape"
pass "settings read and the eye shaped without a window manager"

read -r x y < <(eye_point)
xdotool mousemove "$x" "$y" mousedown 1
for step in 1 2 3 4 5; do xdotool mousemove $((x + step * 20)) $((y + step * 10)); sleep 0.05; done
xdotool mouseup 1
sleep 0.3
[ "$(window_x "$EYE") $(window_y "$EYE")" = "200 150" ] \
  || fail "drag without a window manager: eye at $(window_x "$EYE") $(window_y "$EYE")"
pass "the eye follows a drag by hand"

menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
printf 'WINX=200\r\nWINY=150\r\nCPX1=0\r\nCPX2=1022\r\nCPY1=0\r\nCPY2=100\r\nCLIPAUTOSAVE=0\r\n' > "$WORK/expected.ini"
cmp "$APP/VOSTA.ini" "$WORK/expected.ini" || fail "VOSTA.ini differs: $(cat -A "$APP/VOSTA.ini")"
pass "Exit writes the settings without a window manager"
