#!/usr/bin/env bash
# The X server ends during a recording: the program ends too, and the movie is finished on the
# way out, with its index and every frame.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 400x300+80+30
start_vosta
set_area 100 50 420 290
menu_choose $MENU_MOVIE
sleep 2
movie=$(shots '*.avi' | head -1)
[ -n "$movie" ] || fail "no movie was started"
server=$(pgrep -f "^Xvfb $DISPLAY( |$)") || fail "no X server found for $DISPLAY"
kill -KILL "$server"
wait_until_not 15 vosta_running || fail "the program kept running without its display"
grep -q "X11 connection broke" "$WORK/vosta.log" || fail "the program did not see the loss"
expect_indexed_movie "$movie" 10
pass "X server gone mid-recording: the movie is finished with its index, $FRAMES frames"
