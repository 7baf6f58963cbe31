#!/usr/bin/env bash
# On a Wayland desktop where Qt's Wayland plugin is installed, the program still runs as an X
# client through Xwayland, and so it finds the game's X window: a snapshot with today's client
# open is not refused.
source "$(dirname "$0")/lib.sh"

dpkg-query -W -f='${Status}' qt6-wayland 2>/dev/null | grep -q 'install ok installed' \
  || fail "qt6-wayland is not installed: Qt would have no Wayland plugin to pick"

start_vosta
shell=$(sway_shell_of_x_window "$EYE") || fail "the compositor does not show the eye"
[ "$shell" = xwayland ] || fail "the eye is a $shell window, not an X window"
pass "the eye is X window $EYE, shown by the compositor through Xwayland"

open_x_window "ClassicUO - 1.1.0.0" 0 0 640x480 ff0000
menu_choose $MENU_FULL_AREA
double_click_eye
# Found, the game lets the snapshot go on at once: a picture is written (or, where it cannot be
# read, the capture says so). Not found, the notice comes after the ten ticks' wait.
snapshot_done() {
  shots_at_least 1 || windows_named VOSTA || windows_named TOLVAN \
    || [ "$(xdotool search --onlyvisible --pid "$VOSTA_PID" | grep -vc "^$EYE\$")" -gt 0 ]
}
wait_for 20 snapshot_done || fail "nothing came of the double-click"
screenshot after-double-click
! windows_named VOSTA >/dev/null || fail "the game's window was not found"
! windows_named TOLVAN >/dev/null || fail "the snapshot was refused as without the game"
vosta_running || fail "the program ended"
pass "the window 'ClassicUO - 1.1.0.0' counts as the game"
