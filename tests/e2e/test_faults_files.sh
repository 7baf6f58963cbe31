#!/usr/bin/env bash
# A write that fails half-way (disk full, I/O error) or a sync that fails, in a JPEG snapshot
# and in VOSTA.ini: an error box, no file or a partial one under the name, the earlier files as
# they were, and the program runs on and saves once the disk works again.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
show_moving_content 1920x1080+0+0   # a snapshot of it is far larger than where its writes fail
with_fault_injector
start_vosta
menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 10 shots_at_least 1 || fail "no snapshot before the faults"
earlier=$(shots '*.jpg')
earlier_digest=$(md5sum <"$earlier")

for fault in "write ENOSPC 20000" "write EIO 20000" "fsync EIO 0"; do
  inject_fault $fault /ScreenShot/
  sleep 1.1   # a second of its own, so that a new file would have a name of its own
  double_click_eye
  box_shown Vosta "snapshot $fault"
  [ "$(shots '*.jpg')" = "$earlier" ] || fail "a snapshot was left after $fault: $(shots '*.jpg')"
  [ -z "$(find "$APP/ScreenShot" -name '.*')" ] || fail "a temporary file was left after $fault"
  [ "$(md5sum <"$earlier")" = "$earlier_digest" ] || fail "the earlier snapshot changed"
done
no_faults
double_click_eye
wait_for 10 shots_at_least 2 || fail "no snapshot once the disk works again"
djpeg "$(shots '*.jpg' | tail -1)" >/dev/null || fail "the snapshot after the faults does not decode"
pass "snapshots: disk full, I/O error and failed sync each shown, nothing partial, earlier kept"

printf 'WINX=300\r\nWINY=200\r\n' >"$APP/VOSTA.ini"
for fault in "write ENOSPC 20" "write EIO 20" "fsync EIO 0"; do
  inject_fault $fault "$APP/"
  menu_choose $MENU_EXIT
  box_shown Vosta "VOSTA.ini $fault"
  cmp -s <(printf 'WINX=300\r\nWINY=200\r\n') "$APP/VOSTA.ini" || fail "VOSTA.ini changed: $fault"
  [ -z "$(find "$APP" -maxdepth 1 -name '.*')" ] || fail "a temporary file was left after $fault"
done
no_faults
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program once the disk works again"
grep -q '^CPX2=1920' "$APP/VOSTA.ini" || fail "VOSTA.ini not saved: $(cat "$APP/VOSTA.ini")"
pass "VOSTA.ini: disk full, I/O error and failed sync each shown, the old file kept, then saved"
