#!/usr/bin/env bash
# The settings file: hex positions at start, and files that must not hurt the program.
source "$(dirname "$0")/lib.sh"

printf 'WINX=$64\r\nWINY=0x64\r\n' > "$APP/VOSTA.ini"
start_vosta
[ "$(window_x "$EYE") $(window_y "$EYE")" = "100 100" ] \
  || fail "eye not at 100,100: $(window_x "$EYE") $(window_y "$EYE")"
pass "WINX=\$64 / WINY=0x64 start the eye at 100,100"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true
cmp <(printf 'WINX=$64\r\nWINY=0x64\r\n') "$APP/VOSTA.ini" || fail "ending by signal touched VOSTA.ini"
pass "ending without Exit leaves VOSTA.ini as it was"

# Random bytes and a 10 MB line: the program starts and runs on.
head -c 65536 /dev/urandom > "$APP/VOSTA.ini"
start_vosta
vosta_running || fail "random settings file crashed the program"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true
{ printf 'WINX='; head -c 10000000 /dev/zero | tr '\0' '7'; printf '\r\nWINY=200\r\n'; } > "$APP/VOSTA.ini"
start_vosta
[ "$(window_x "$EYE") $(window_y "$EYE")" = "0 200" ] \
  || fail "10 MB line: eye not at 0,200: $(window_x "$EYE") $(window_y "$EYE")"
pass "random bytes and a 10 MB line are read without harm"
kill "$VOSTA_PID"; wait "$VOSTA_PID" 2>/dev/null || true

# A settings file that can be neither read nor replaced (a folder stands in its place).
rm -f "$APP/VOSTA.ini"; mkdir "$APP/VOSTA.ini"; touch "$APP/VOSTA.ini/keep"
start_vosta
wait_for 10 windows_named Vosta || fail "no error box for an unreadable settings file"
screenshot unreadable-settings
xdotool key Return
sleep 0.5
menu_choose $MENU_EXIT
wait_for 10 windows_named Vosta || fail "no error box for an unwritable settings file"
xdotool key Return
sleep 0.5
vosta_running || fail "the program ended although the settings could not be written"
[ -f "$APP/VOSTA.ini/keep" ] || fail "the old settings were harmed"
pass "unreadable and unwritable settings are reported and the program runs on"
