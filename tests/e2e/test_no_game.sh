#!/usr/bin/env bash
# Without the game: the wait, both notices, nothing written, and no pile-up of waits.
source "$(dirname "$0")/lib.sh"

start_vosta
screenshot eye-idle
convert "$ARTIFACTS/eye-idle.png" -crop "43x44+$(( $(window_x "$EYE") + 1 ))+$(( $(window_y "$EYE") + 1 ))" "$WORK/idle.png"
menu_choose $MENU_FULL_AREA
start=$SECONDS
double_click_eye
wait_for 20 windows_named VOSTA || fail "no notice after the wait"
elapsed=$((SECONDS - start))
[ $elapsed -ge 8 ] || fail "the notice came after ${elapsed}s, not after about ten ticks"
screenshot notice
xdotool key Return
wait_for 10 windows_named TOLVAN || fail "no refusal box after the notice"
xdotool key Return
sleep 1
[ "$(count_shots '*')" = 0 ] || fail "something was written without the game"
screenshot eye-after
convert "$ARTIFACTS/eye-after.png" -crop "43x44+$(( $(window_x "$EYE") + 1 ))+$(( $(window_y "$EYE") + 1 ))" "$WORK/after.png"
[ "$(compare -metric AE "$WORK/idle.png" "$WORK/after.png" null: 2>&1)" = 0 ] \
  || fail "the eye does not show the open eye again"
pass "notice after ${elapsed}s, then the refusal box; nothing written; open eye again"

# "Repeat to file" without the game: the first check ends with its notice, which stays open;
# then for a check's length and half again, ticks go on under it and start no second check (its
# notice would come ten ticks later); little CPU all the while.
menu_choose $MENU_REPEAT
cpu_before=$(cpu_seconds "$VOSTA_PID")
started=$SECONDS
wait_for 20 windows_named VOSTA || fail "no notice from the first check"
most=0
watched_until=$((SECONDS + 15))
while [ $SECONDS -lt $watched_until ]; do
  n=$( (windows_named VOSTA || true; windows_named TOLVAN || true) | wc -l)
  if [ "$n" -gt "$most" ]; then most=$n; fi
  sleep 1
done
seconds=$((SECONDS - started))
cpu_used=$(( $(cpu_seconds "$VOSTA_PID") - cpu_before ))
[ "$most" -le 1 ] || fail "$most boxes of checks open at once"
# A fifth of a processor at most, as twelve seconds of CPU in a minute.
[ $((cpu_used * 5)) -le "$seconds" ] || fail "the waits used ${cpu_used}s of CPU in ${seconds}s"
vosta_running || fail "the program ended"
pass "${seconds}s of Repeat to file without the game: at most $most box open, ${cpu_used}s CPU"
