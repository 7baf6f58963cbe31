#!/usr/bin/env bash
# The snapshot key of VOSTA.ini's HOTKEY line: a snapshot while another window has the focus.
source "$(dirname "$0")/lib.sh"

# The game's window, which logs the keys that reach it, holds the focus; the area lies inside it.
"$BUILD_DIR/tests/titled_window" "Ultima Online" --size 400x300 --pos 300,200 --color 204060 \
  --log-keys >"$WORK/game.log" 2>&1 &
GAME_PID=$!
HELPER_PIDS+=($GAME_PID)
wait_for 10 grep -q . "$WORK/game.log" || fail "the game's window did not appear"
GAME=$(head -1 "$WORK/game.log")
AREA=$'CPX1=400\r\nCPX2=600\r\nCPY1=300\r\nCPY2=450\r\n'

focus_game() {
  xdotool windowactivate --sync "$GAME" >/dev/null 2>&1 || xdotool windowfocus --sync "$GAME"
  [ "$(xdotool getwindowfocus)" = "$GAME" ] || fail "the game's window does not have the focus"
}
keys_reaching_game() { grep -c '^key ' "$WORK/game.log" || true; }
game_got_keys() { [ "$(keys_reaching_game)" -ge "$1" ]; }
settings_with_key() { printf '%sHOTKEY=%s\r\n' "$AREA" "$1" >"$APP/VOSTA.ini"; }
# Presses a key (xdotool's names) and expects exactly one new snapshot of the area.
expect_one_snapshot() {
  local before=$(count_shots) shot
  xdotool key "$1"
  wait_for 10 shots_at_least $((before + 1)) || fail "no snapshot for $1 ($2)"
  sleep 1
  [ "$(count_shots)" = $((before + 1)) ] || fail "$1 gave $(($(count_shots) - before)) snapshots ($2)"
  shot=$(ls -t "$APP"/ScreenShot/*.jpg | head -1)
  [ "$(jpeg_size "$shot")" = "200 150" ] || fail "the snapshot for $1 is $(jpeg_size "$shot")"
  read -r r g b <<<"$(pixel_rgb "$shot" 100 75)"
  [ $((r - 32)) -le 8 ] && [ $((32 - r)) -le 8 ] && [ $((g - 64)) -le 8 ] && [ $((64 - g)) -le 8 ] &&
    [ $((b - 96)) -le 8 ] && [ $((96 - b)) -le 8 ] || fail "the snapshot shows $r $g $b, not the game"
}

settings_with_key F12
start_vosta
focus_game
expect_one_snapshot F12 "F12, the game focused"
[ "$(keys_reaching_game)" = 0 ] || fail "F12 reached the game's window as well"
[ "$(xdotool getwindowfocus)" = "$GAME" ] || fail "the snapshot took the focus from the game"
# Held down, the key repeats: still one snapshot.
before=$(count_shots)
xdotool keydown F12; sleep 1.5; xdotool keyup F12
sleep 1
[ "$(count_shots)" = $((before + 1)) ] || fail "a held F12 gave $(($(count_shots) - before)) snapshots"
pass "HOTKEY=F12: one snapshot of the area per press, the game keeps the focus"

# While a modal dialog is open a double-click cannot reach the eye, and the key does nothing.
menu_choose $MENU_ABOUT
wait_for 5 windows_named About || fail "the About box did not open"
before=$(count_shots)
xdotool key F12
sleep 1
[ "$(count_shots)" = "$before" ] || fail "F12 took a snapshot while the About box was open"
xdotool key Return
wait_until_not 5 windows_named About || fail "the About box stayed"
pass "F12 does nothing while the About box is open"

menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
[ "$(tail -n 1 "$APP/VOSTA.ini")" = $'HOTKEY=F12\r' ] || fail "Exit lost the HOTKEY line"
[ "$(grep -c . "$APP/VOSTA.ini")" = 8 ] || fail "VOSTA.ini does not hold eight lines"
focus_game
xdotool key F12
wait_for 5 game_got_keys 1 || fail "F12 did not reach the game after Exit"
pass "Exit writes HOTKEY=F12 back as the eighth line and gives the key back"

settings_with_key "Ctrl+Alt+S"
start_vosta
focus_game
expect_one_snapshot ctrl+alt+s "Ctrl+Alt+S"
xdotool key Num_Lock
expect_one_snapshot ctrl+alt+s "Ctrl+Alt+S with Num Lock on"
xdotool key Caps_Lock
expect_one_snapshot ctrl+alt+s "Ctrl+Alt+S with Num Lock and Caps Lock on"
xdotool key Num_Lock Caps_Lock
# The plain key and other combinations still reach the game.
reached=$(keys_reaching_game)
before=$(count_shots)
xdotool key s ctrl+s alt+s
wait_for 5 game_got_keys $((reached + 3)) || fail "S without Ctrl+Alt was taken"
[ "$(count_shots)" = "$before" ] || fail "S without Ctrl+Alt took a snapshot"
pass "HOTKEY=Ctrl+Alt+S: a snapshot also with Num Lock and Caps Lock on; S, Ctrl+S, Alt+S go on"

# Another layout puts S on another key: the key follows it, and the key that gave S goes on.
setxkbmap -layout us -variant dvorak || fail "setxkbmap cannot switch to Dvorak"
sleep 1
focus_game
expect_one_snapshot ctrl+alt+s "Ctrl+Alt+S after the switch to Dvorak"
reached=$(keys_reaching_game)
before=$(count_shots)
xdotool key ctrl+alt+o   # o is on the key that gave S before
wait_for 5 game_got_keys $((reached + 3)) || fail "the key that gave S is still taken after Dvorak"
[ "$(count_shots)" = "$before" ] || fail "the key that gave S takes snapshots after Dvorak"
setxkbmap -layout us
pass "HOTKEY=Ctrl+Alt+S follows a change of keyboard layout"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true

# A symbol typed with Shift is Shift and its key: the plain key still reaches the game.
for symbol in plus exclam; do
  case $symbol in plus) name="+" plain=equal ;; exclam) name="!" plain=1 ;; esac
  settings_with_key "$name"
  start_vosta
  focus_game
  expect_one_snapshot "$symbol" "HOTKEY=$name"
  reached=$(keys_reaching_game)
  before=$(count_shots)
  xdotool key "$plain"
  wait_for 5 game_got_keys $((reached + 1)) || fail "$plain did not reach the game with HOTKEY=$name"
  sleep 0.5
  [ "$(count_shots)" = "$before" ] || fail "$plain took a snapshot with HOTKEY=$name"
  kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true
done
pass "HOTKEY=+ and HOTKEY=!: Shift with their keys take the snapshot; = and 1 reach the game"

# Nothing but blanks after HOTKEY= names no key: no box, and Exit writes the line back as it was.
settings_with_key "   "
start_vosta
sleep 1
windows_named Vosta && fail "a box came for a HOTKEY line of blanks"
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
[ "$(tail -n 1 "$APP/VOSTA.ini")" = $'HOTKEY=   \r' ] || fail "Exit changed the HOTKEY line of blanks"
pass "HOTKEY= with blanks: no key, no box, the line is written back as it was"

printf '%s' "$AREA" >"$APP/VOSTA.ini"
start_vosta
focus_game
reached=$(keys_reaching_game)
before=$(count_shots)
xdotool key F12
wait_for 5 game_got_keys $((reached + 1)) || fail "F12 did not reach the game"
sleep 1
[ "$(count_shots)" = "$before" ] || fail "F12 took a snapshot without a HOTKEY line"
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
[ "$(grep -c . "$APP/VOSTA.ini")" = 7 ] || fail "VOSTA.ini without a snapshot key is not seven lines"
pass "without HOTKEY, F12 reaches the focused window, nothing is written, seven lines stay"

# Another program holds F12, as a desktop's own screenshot key would.
"$BUILD_DIR/tests/titled_window" holder --hidden --hold-key F12 >"$WORK/holder.log" 2>&1 &
HELPER_PIDS+=($!)
wait_for 10 grep -q . "$WORK/holder.log" || fail "the key holder did not start"
settings_with_key F12
start_vosta
box_shown Vosta "a key held by another program"
logged "スナップショットのキー F12 は使えません: ほかのプログラムが使っています" ||
  fail "stderr does not say why the key cannot be used"
before=$(count_shots)
double_click_eye
wait_for 10 shots_at_least $((before + 1)) || fail "no snapshot by double-click after the box"
windows_named Vosta && fail "a second box came"
pass "F12 held by another program: one box naming the key and why, and the program runs on"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true

settings_with_key "Hyper+F1"
start_vosta
box_shown Vosta "a modifier that does not exist"
logged "スナップショットのキー Hyper+F1 は使えません: そのような修飾キーはありません" ||
  fail "stderr does not name the bad modifier"
pass "HOTKEY=Hyper+F1: one box naming the key and why, and the program runs on"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true
kill "${HELPER_PIDS[-1]}"  # the key holder

# The game closes while "Repeat to file" runs: F12 during the game-window wait ends the
# repeating, as a double-click there does, so no new wait follows the wait's two boxes.
settings_with_key F12
start_vosta
menu_choose $MENU_REPEAT
before=$(count_shots)
wait_for 10 shots_at_least $((before + 1)) || fail "Repeat to file took no snapshot"
kill "$GAME_PID"; wait "$GAME_PID" 2>/dev/null || true
wait_until_not 10 xdotool search --name "^Ultima Online\$" || fail "the game's window stayed"
sleep 2   # the next tick's snapshot waits for the game
xdotool key F12
box_shown VOSTA "the wait for the game ran out"
# The game is back (a window never shown, which takes no focus from the box) before the refusal
# is closed: a snapshot would follow at the next tick if "Repeat to file" were still on.
open_titled_window "Ultima Online" --hidden
before=$(count_shots)
box_shown TOLVAN "the refusal after the wait"
sleep 3
[ "$(count_shots)" = "$before" ] || fail "Repeat to file went on after F12 during the wait"
pass "F12 during the game-window wait ends Repeat to file; no new wait follows"
