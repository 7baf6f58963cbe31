#!/usr/bin/env bash
# A termination signal during the game-window wait of "Create AVI file" ends the program at
# once: no notice, no movie started.
source "$(dirname "$0")/lib.sh"

start_vosta
menu_choose $MENU_FULL_AREA
menu_choose $MENU_MOVIE   # no game window: the command waits up to ten ticks
sleep 2
kill -TERM "$VOSTA_PID"
wait_until_not 3 vosta_running || fail "the program went on waiting after SIGTERM"
# Killed by the signal's default action, the process would end with status 143 and skip every
# step of ending: status 0 shows that the program's own handling ended the wait and the program.
status=0
wait "$VOSTA_PID" || status=$?
[ "$status" = 0 ] || fail "the program did not end through its own handling of SIGTERM ($status)"
[ "$(count_shots '*.avi')" = 0 ] || fail "a movie was started after the signal"
pass "SIGTERM during the game-window wait ends the program at once, by its own handling, and starts nothing"
