#!/usr/bin/env bash
# "About" shows the box; Enter closes it and nothing else changes.
source "$(dirname "$0")/lib.sh"

start_vosta
menu_choose $MENU_ABOUT
wait_for 10 windows_named About || fail "the About box did not appear"
sleep 0.5
screenshot about
xdotool key Return
wait_until_not 5 windows_named About || fail "Enter did not close the About box"
vosta_running || fail "the program ended"
pass "About box opens and Enter closes it"
