#!/usr/bin/env bash
# Clipboard pictures become JPEG files; the clipboard is emptied afterwards.
source "$(dirname "$0")/lib.sh"

convert -size 64x48 xc:'#00ff00' "$WORK/green.png"
convert -size 32x32 xc:black -fill white -draw 'rectangle 0,0 15,31' -type bilevel "$WORK/mono.png"
start_vosta

menu_choose $MENU_CLIP_AUTOSAVE
xclip -selection clipboard -t image/png -i "$WORK/green.png"
wait_for 5 shots_at_least 1 || fail "the clipboard picture was not saved within two ticks"
shot=$(shots '*.jpg' | head -1)
[ "$(jpeg_size "$shot")" = "64 48" ] || fail "saved clipboard picture is $(jpeg_size "$shot")"
sleep 1.5
if targets=$(xclip -o -selection clipboard -t TARGETS 2>/dev/null) && [ -n "$targets" ]; then
  fail "the clipboard still holds: $targets"
fi
[ "$(count_shots)" = 1 ] || fail "the same picture was saved again"
pass "autosave: saved as a 64 x 48 JPEG and the clipboard is empty"

# Text on the clipboard does nothing.
echo "hello" | xclip -selection clipboard -i
sleep 2.5
[ "$(count_shots)" = 1 ] || fail "text on the clipboard was saved"
[ "$(xclip -o -selection clipboard)" = "hello" ] || fail "text was taken off the clipboard"
pass "text on the clipboard is left alone"

# With autosave off, a double-click saves a clipboard picture (a 1-bit one here).
menu_choose $MENU_CLIP_AUTOSAVE
xclip -selection clipboard -t image/png -i "$WORK/mono.png"
sleep 2.5
[ "$(count_shots)" = 1 ] || fail "autosave off, yet the picture was saved"
double_click_eye
wait_for 5 shots_at_least 2 || fail "a double-click did not save the clipboard picture"
newest=$(ls -t "$APP"/ScreenShot/*.jpg | head -1)
[ "$(jpeg_size "$newest")" = "32 32" ] || fail "saved 1-bit picture is $(jpeg_size "$newest")"
pass "a double-click saves the clipboard picture with autosave off"
