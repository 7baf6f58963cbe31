#!/usr/bin/env bash
# An installed program, whose folder its user cannot write, keeps its settings in the user's
# configuration folder and its snapshots in VOSTA/ of the user's pictures folder; beside it
# nothing is written.
source "$(dirname "$0")/lib.sh"

run_as_ordinary_user
[ -n "${USER_ID:-}" ] || { echo "skipped: needs root to run the program as another user"; exit 0; }
rmdir "$APP/ScreenShot"     # made for the tests that run beside the program
chown -R root:root "$APP"   # the program's folder: read-only for the user, as /usr/bin is
chmod -R go-w "$APP"
home="$WORK/home"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
VOSTA_ENV+=(-u XDG_CONFIG_HOME)
start_vosta
menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 15 sh -c "ls '$home/Pictures/VOSTA/'*.jpg" || fail "no snapshot in ~/Pictures/VOSTA"
[ "$(stat -c %u "$home/Pictures/VOSTA")" = "$USER_ID" ] || fail "the pictures folder is not the user's"
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
grep -q '^CPX2=1920' "$home/.config/vosta/VOSTA.ini" || fail "no settings in ~/.config/vosta"
[ "$(stat -c %a "$home/.config/vosta")" = 700 ] || fail "the settings folder is open to others"
[ -z "$(ls -A "$APP" | grep -v '^vosta$')" ] || fail "something was written beside the program: $(ls -A "$APP")"
pass "installed: settings in ~/.config/vosta, snapshots in ~/Pictures/VOSTA"

# The desktop names another pictures folder, and XDG_CONFIG_HOME another configuration folder.
mkdir -p "$home/cfg"
echo 'XDG_PICTURES_DIR="$HOME/Bilder"' >"$home/cfg/user-dirs.dirs"
chown -R "$USER_ID:$USER_ID" "$home/cfg"
VOSTA_ENV=(XDG_CONFIG_HOME="$home/cfg")
start_vosta   # a new configuration folder: no settings yet
menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 15 sh -c "ls '$home/Bilder/VOSTA/'*.jpg" || fail "no snapshot in the folder user-dirs.dirs names"
menu_choose $MENU_EXIT
wait_until_not 10 vosta_running || fail "Exit did not end the program"
grep -q '^CPX2=1920' "$home/cfg/vosta/VOSTA.ini" || fail "no settings in XDG_CONFIG_HOME/vosta"
pass "installed: the pictures folder of user-dirs.dirs and the configuration folder of XDG_CONFIG_HOME"
