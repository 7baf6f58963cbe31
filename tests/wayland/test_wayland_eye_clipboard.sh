#!/usr/bin/env bash
# The eye and the clipboard on a Wayland desktop whose compositor draws an X window's whole
# rectangle, not its shape: outside its outline the eye shows what lies behind it. A picture that
# a Wayland client puts on the clipboard is saved once, also when the focus goes between Wayland
# and X windows afterwards, and no Wayland client finds a picture on the clipboard then.
source "$(dirname "$0")/lib.sh"

open_wayland_window behind 500 300 400x300 ff0000
open_x_window "X side" 1200 300 200x100 0000ff
place_windows vosta 600 400
start_vosta
eye_at() { [ "$(window_x "$EYE") $(window_y "$EYE")" = "600 400" ]; }
wait_for 10 eye_at || fail "the eye did not move to 600,400"

# The eye's outline is the 43 x 44 pixels from (1, 1); the rest of its 115 x 45 shows the red
# window behind it.
screenshot eye "600,400 115x45"
shot="$ARTIFACTS/eye.png"
for point in 0,0 0,30 20,0 44,20 44,44 60,10 114,44; do
  is_red "$shot" "${point%,*}" "${point#*,}" || fail "the eye hides what lies behind at $point"
done
for point in 1,1 22,22 43,44; do
  ! is_red "$shot" "${point%,*}" "${point#*,}" || fail "the eye is not drawn at $point"
done
pass "outside its outline the eye shows the window behind it"

convert -size 64x48 xc:'#00ff00' "$WORK/green.png"
menu_choose $MENU_CLIP_AUTOSAVE
# A Wayland client's clipboard reaches X clients while an X window has the focus.
wl_input move 1300 350 click
copy_picture() {
  wl-copy --foreground -t image/png <"$WORK/green.png" >/dev/null 2>&1 &
  HELPER_PIDS+=($!)
}
no_picture_for_wayland() { ! wl-paste --list-types 2>/dev/null | grep -q '^image/'; }

copy_picture
wait_for 5 shots_at_least 1 || fail "the picture from wl-copy was not saved"
wait_for 5 no_picture_for_wayland || fail "Wayland clients still find: $(wl-paste --list-types)"
pass "a picture from wl-copy is saved and Wayland clients find no picture afterwards"

# Each change of focus from a Wayland window to an X window hands the Wayland clipboard to X
# anew.
for _ in 1 2 3; do
  wl_input move 700 500 click move 1300 350 click
  sleep 1.5
done
[ "$(count_shots)" = 1 ] || fail "the picture was saved $(count_shots) times"
pass "changes of focus between Wayland and X windows save nothing more"

# The same picture copied again after text is a new picture.
wl-copy --foreground "just words" >/dev/null 2>&1 &
HELPER_PIDS+=($!)
sleep 2.5
[ "$(count_shots)" = 1 ] || fail "text on the clipboard was saved"
copy_picture
wait_for 5 shots_at_least 2 || fail "the same picture copied again after text was not saved"
wait_for 5 no_picture_for_wayland || fail "Wayland clients still find: $(wl-paste --list-types)"
pass "the same picture copied again after text is saved again"
