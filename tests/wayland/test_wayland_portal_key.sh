#!/usr/bin/env bash
# The snapshot key through the desktop portal's global shortcuts, on a session bus shared with a
# stand-in portal (tests/support/stand_in_global_shortcuts.py) that grants what it is asked. The
# key is asked for in the portal's trigger notation; a press the desktop reports takes one
# snapshot while a native Wayland window has the focus (the X grab hears nothing then); a stroke
# that both the X grab and the desktop hear takes one. Without a portal, or where it refuses,
# one line on stderr and no box.
source "$(dirname "$0")/lib.sh"

GAME="ClassicUO - 1.1.0.0"
STAND_IN="$SOURCE_DIR/tests/support/stand_in_global_shortcuts.py"
BOUND_LINE="vosta: the desktop binds the snapshot key CTRL+ALT+s"
printf 'CPX1=150\r\nCPX2=350\r\nCPY1=150\r\nCPY2=300\r\nHOTKEY=Ctrl+Alt+S\r\n' >"$APP/VOSTA.ini"
open_x_window "$GAME" 100 100 400x300 ff0000
start_session_bus

start_stand_in() {
  /usr/bin/python3 "$STAND_IN" "$@" >"$WORK/portal.log" 2>&1 &
  STAND_IN_PID=$!
  HELPER_PIDS+=($STAND_IN_PID)
  wait_for 10 grep -qx ready "$WORK/portal.log" || fail "the stand-in portal did not start"
}
stop() { kill "$1"; wait "$1" 2>/dev/null || true; }
desktop_press() {
  dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop \
    /org/freedesktop/portal/desktop org.vosta.test.StandIn.Activate string:snapshot |
    awk '/uint32/ {print $2}'
}
# Runs a command and expects exactly one new snapshot of the area, over the game's red window.
expect_one_snapshot() {
  local what=$1 before shot
  shift
  before=$(count_shots)
  "$@"
  wait_for 10 shots_at_least $((before + 1)) || fail "no snapshot for $what"
  sleep 1
  [ "$(count_shots)" = $((before + 1)) ] || fail "$what gave $(($(count_shots) - before)) snapshots"
  shot=$(ls -t "$APP"/ScreenShot/*.jpg | head -1)
  is_red "$shot" 100 75 || fail "the snapshot for $what does not show the game"
}

start_vosta
wait_for 10 logged "vosta: the desktop offers no global shortcuts" ||
  fail "stderr does not say that there is no portal"
sleep 1
! windows_named Vosta >/dev/null || fail "a box came for the missing portal"
stop "$VOSTA_PID"
pass "without a portal: one line on stderr, no box"

start_stand_in --refuse
start_vosta
wait_for 10 logged "vosta: the desktop did not bind the snapshot key CTRL+ALT+s" ||
  fail "stderr does not say that the desktop refused"
sleep 1
! windows_named Vosta >/dev/null || fail "a box came for the refusal"
[ "$(desktop_press)" = 0 ] || fail "a refused shortcut was reported as bound"
stop "$VOSTA_PID"
stop "$STAND_IN_PID"
pass "a refusing portal: one line on stderr, no box"

start_stand_in
start_vosta
wait_for 10 logged "$BOUND_LINE" || fail "the desktop did not bind the key"
grep -qx "bound snapshot CTRL+ALT+s キャプチャ範囲のスナップショットを撮る" "$WORK/portal.log" ||
  fail "the portal was asked for: $(grep bound "$WORK/portal.log")"
pass "the portal binds HOTKEY=Ctrl+Alt+S as its trigger CTRL+ALT+s"

# A native Wayland window has the focus, as a game that is a Wayland client would.
open_wayland_window native 1000 500 300x200 0000ff
expect_one_snapshot "a press the desktop reports" desktop_press
pass "a press through the portal, a Wayland window focused: one snapshot"

# An X window has the focus: the X grab hears the stroke, and so does the desktop.
wl_input move 300 250 click
game_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(xdotool search --name "^$GAME\$" | head -1)" ]; }
wait_for 10 game_focused || fail "the game's X window never had the keyboard"
both_ways() { wl_input key ctrl+alt+s & desktop_press >/dev/null; wait $!; }
expect_one_snapshot "a stroke heard both ways" both_ways
# Each run of the input tool is a new virtual keyboard: the compositor hands its keymap to the X
# server with the first key, and the program takes its key again on the new keymap. A stroke in
# that instant can miss the grab, so the keymap goes over with a Shift press well before it.
x_stroke() { wl_input key Shift_L wait 500 key ctrl+alt+s; }
expect_one_snapshot "the X grab alone" x_stroke
pass "a stroke that the X grab and the desktop both hear: one snapshot"
