#!/usr/bin/env bash
# The game as a native Wayland window, which X sees neither the title nor the pixels of: the
# compositor's window list finds it, so a snapshot is not refused, and the compositor's screen
# copy gives its pixels to a snapshot, to the frozen screen of "Set area" and to a recording.
# Without it the refusal comes as it always has.
source "$(dirname "$0")/lib.sh"

GAME="ClassicUO - 1.1.0.0"
start_vosta

# No game at all: the notice after the wait, then the refusal, and nothing written.
menu_choose $MENU_FULL_AREA
double_click_eye
box_shown VOSTA "no game window" 20
box_shown TOLVAN "the refusal without the game"
sleep 1
[ "$(count_shots '*')" = 0 ] || fail "something was written without the game: $(shots '*')"
pass "without the game's window, the notice and the refusal come and nothing is written"

# The game, native: X knows no window of that title.
open_native_window "$GAME" 200 150 400x300
! xdotool search --name "^$GAME\$" >/dev/null || fail "X sees the native window's title"
grim -g "200,150 400x300" "$WORK/game.png"
screenshot native-game

# The frozen screen of "Set area" shows it (the overlay's own screenshot is kept).
set_area 250 200 550 400
convert "$ARTIFACTS/overlay-250-200.png" -crop 400x300+200+150 +repage "$WORK/frozen.png"
pictures_match "$WORK/frozen.png" "$WORK/game.png" 0.02 ||
  fail "the frozen screen does not show the native window"
pass "the frozen screen of Set area shows the native window"

# A snapshot over it: found at once (no wait, no box), with the window's pixels.
grim -g "250,200 300x200" "$WORK/seen.png"
# The new window took the focus: a first click gives it back to the eye, so that the double-click
# is not split by the change of focus.
# shellcheck disable=SC2046
wl_input move $(eye_point) click
sleep 1
start=$SECONDS
double_click_eye
wait_for 5 shots_at_least 1 || fail "no snapshot within 5 s with the native game open"
elapsed=$((SECONDS - start))
! windows_named VOSTA >/dev/null || fail "the native game was not found"
shot=$(shots '*.jpg' | head -1)
cp "$shot" "$ARTIFACTS/snapshot.jpg"
[ "$(jpeg_size "$shot")" = "300 200" ] || fail "the snapshot is $(jpeg_size "$shot")"
pictures_match "$shot" "$WORK/seen.png" 0.03 || fail "the snapshot is not the native window's"
pass "the native game is found and a snapshot over it holds its pixels (${elapsed}s)"
rm -f "$APP"/ScreenShot/*.jpg

# A recording over it: its frames hold the window's pixels (16 bits a pixel, so compared a
# little more loosely).
record_frame "$WORK/frame.png"
cp "$WORK/frame.png" "$ARTIFACTS/movie-frame.png"
pictures_match "$WORK/frame.png" "$WORK/seen.png" 0.04 ||
  fail "the recording's frame is not the native window's"
pass "a recording's frames hold the native window's pixels"
