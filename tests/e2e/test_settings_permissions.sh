#!/usr/bin/env bash
# "Exit" as an ordinary user: a read-only VOSTA.ini is reported and left alone, and the program
# runs on; a writable VOSTA.ini in a read-only folder is saved, and the program ends.
source "$(dirname "$0")/lib.sh"

run_as_ordinary_user
trap 'chmod 755 "$APP"; cleanup' EXIT  # the folder is made read-only below

SETTINGS="$APP/VOSTA.ini"
printf 'WINX=100\r\nWINY=100\r\n' > "$SETTINGS"
[ -z "${USER_ID:-}" ] || chown "$USER_ID:$USER_ID" "$SETTINGS"
chmod 444 "$SETTINGS"
start_vosta

menu_choose $MENU_EXIT
wait_for 10 windows_named Vosta || fail "no error box for a read-only VOSTA.ini"
screenshot read-only-settings
xdotool key Return
sleep 0.5
vosta_running || fail "the program ended although the settings could not be written"
cmp -s <(printf 'WINX=100\r\nWINY=100\r\n') "$SETTINGS" || fail "the read-only VOSTA.ini changed"
[ "$(stat -c %a "$SETTINGS")" = 444 ] || fail "the read-only VOSTA.ini lost its mode"
pass "a read-only VOSTA.ini is reported, left alone, and the program runs on"

chmod 644 "$SETTINGS"
chmod 555 "$APP"
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program in a read-only folder"
cmp -s <(printf 'WINX=100\r\nWINY=100\r\nCPX1=0\r\nCPX2=0\r\nCPY1=0\r\nCPY2=0\r\nCLIPAUTOSAVE=0\r\n') \
  "$SETTINGS" || fail "VOSTA.ini not saved in a read-only folder: $(od -c "$SETTINGS" | head)"
[ "$(find "$APP" -maxdepth 1 -name '.*' | wc -l)" = 0 ] || fail "a temporary file was left"
pass "a writable VOSTA.ini in a read-only folder is saved in place"
