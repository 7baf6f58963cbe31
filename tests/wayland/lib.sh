# Helpers for the tests on a Wayland desktop: each test runs inside its own headless sway session
# with Xwayland (tests/wayland/run-under-sway). The helpers of the X11 tests (tests/e2e/lib.sh)
# apply as they are where they only look at X windows (xdotool search, xwininfo); what gives
# input or takes pictures is redone here: XTEST does not reach X windows under Xwayland and its
# root window holds no picture, so input goes through the compositor's virtual pointer and
# keyboard (the wayland_input tool) and pictures come from the compositor (grim).
: "${WAYLAND_DISPLAY:?run this under tests/wayland/run-under-sway}" "${SWAYSOCK:?}"
# shellcheck source=../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

# The pointer's last position, where the input tool starts its next steps.
export WAYLAND_INPUT_STATE="$WORK/pointer"

# wl_input COMMAND...: move X Y, click [left|right|middle], double-click [BUTTON], key KEY
# (keysym name, "ctrl+"/"shift+"/"alt+" before it), type TEXT; any number in one call.
wl_input() { "$BUILD_DIR/tests/wayland_input" "$@"; }

# What the compositor shows, whole or in the area "X,Y WxH", saved as $ARTIFACTS/$1.png.
screenshot() {
  if [ -n "${2:-}" ]; then grim -g "$2" "$ARTIFACTS/$1.png"; else grim "$ARTIFACTS/$1.png"; fi
}

fail() {
  echo "FAIL: $*" >&2
  grim "$ARTIFACTS/failure.png" 2>/dev/null || true
  swaymsg -t get_tree >"$ARTIFACTS/tree.json" 2>/dev/null || true
  cp "$WORK/vosta.log" "$ARTIFACTS/vosta.log" 2>/dev/null || true
  cp "${VOSTA_SWAY_LOG:-/dev/null}" "$ARTIFACTS/sway.log" 2>/dev/null || true
  if vosta_running; then
    gdb -p "$VOSTA_PID" -batch -ex "thread apply all bt" >"$ARTIFACTS/stacks.txt" 2>&1 || true
  fi
  exit 1
}

# ---- windows as the compositor sees them ----

# The compositor's windows as JSON lines: {"name", "shell" (xdg_shell or xwayland), "x", "y",
# "width", "height", "window" (the X window id, null for a native one), "pid"}.
sway_windows() {
  swaymsg -r -t get_tree | jq -c '.. | objects | select(.pid? != null and .shell? != null)
    | {name, shell, x: .rect.x, y: .rect.y, width: .rect.width, height: .rect.height, window, pid}'
}
# The shell ("xwayland" or "xdg_shell") of the window whose X window id is $1 (decimal or hex).
sway_shell_of_x_window() {
  sway_windows | jq -r --argjson id "$(($1))" 'select(.window == $id) | .shell' | grep .
}
# Whether the compositor shows a window titled exactly $1.
sway_has_window() { sway_windows | jq -e --arg t "$1" 'select(.name == $t)' >/dev/null; }

# Makes the windows titled exactly $1 float at $2,$3 (and, given $4 as WxH, of that size) from
# now on, those open already included.
place_windows() {
  local rule="[title=\"^$1\$\"]" commands="floating enable"
  [ -n "${4:-}" ] && commands+=", resize set ${4%x*} ${4#*x}"
  commands+=", move absolute position $2 $3"
  swaymsg "for_window $rule \"$commands\"" >/dev/null
  swaymsg "$rule $commands" >/dev/null 2>&1 || true
}

# Opens an X window titled $1 at $2,$3, of the size $4 (WxH) and colour $5 (RRGGBB).
open_x_window() {
  place_windows "$1" "$2" "$3"
  open_titled_window "$1" --size "$4" --color "$5"
  wait_for 10 x_window_at "$1" "$2" "$3" || fail "the X window '$1' did not move to $2,$3"
}
x_window_at() {
  local id
  id=$(xdotool search --name "^$1\$" | head -1) || return 1
  [ "$(window_x "$id")" = "$2" ] && [ "$(window_y "$id")" = "$3" ]
}

# Opens a native Wayland window titled $1 at $2,$3, of the size $4 (WxH) and colour $5 (RRGGBB):
# a terminal with nothing in it but its background.
open_wayland_window() {
  place_windows "$1" "$2" "$3" "$4"
  foot -T "$1" -o "colors.background=$5" -o "colors.foreground=$5" -o "pad=0x0" \
    -o "cursor.color=$5 $5" sh -c 'sleep 1000000' >"$WORK/foot.$1.log" 2>&1 &
  HELPER_PIDS+=($!)
  wait_for 10 sway_window_at "$1" "$2" "$3" || fail "the Wayland window '$1' did not appear"
}
# Opens a native Wayland window titled $1 at $2,$3, of the size $4 (WxH), drawn by the
# native_window tool in four quadrants: red and green above, blue and yellow below.
open_native_window() {
  place_windows "$1" "$2" "$3" "$4"
  "$BUILD_DIR/tests/native_window" "$1" "${4%x*}" "${4#*x}" >"$WORK/native.$1.log" 2>&1 &
  HELPER_PIDS+=($!)
  wait_for 10 sway_window_at "$1" "$2" "$3" || fail "the native window '$1' did not appear"
}
sway_window_at() {
  sway_windows | jq -e --arg t "$1" --argjson x "$2" --argjson y "$3" \
    'select(.name == $t and .x == $x and .y == $y)' >/dev/null
}

# ---- the program, driven through the compositor ----

double_click_eye() {
  # shellcheck disable=SC2046
  wl_input move $(eye_point) double-click
}

# Opens the context menu and chooses its n-th command (separators do not count).
menu_choose() {
  local n=$1 keys=()
  # shellcheck disable=SC2046
  wl_input move $(eye_point) click right
  wait_for 5 popup_menu_open || fail "the context menu did not open"
  for _ in $(seq "$n"); do keys+=(key Down); done
  wl_input "${keys[@]}" key Return
  wait_until_not 5 popup_menu_open || fail "the context menu stayed open"
}

# Whether the X keyboard focus is on a window of the program titled $1: the compositor gives a
# new window the focus a moment after it shows, and keys pressed before that go elsewhere.
focused_window_named() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(windows_named "$1" | head -1)" ]; }

# Waits up to $3 seconds (15 if not given) for a box titled $1, takes a screenshot named after
# $2 (what caused it), closes it with Return, and checks that the program runs on.
box_shown() {
  wait_for "${3:-15}" windows_named "$1" || fail "no box '$1' for $2"
  wait_for 10 focused_window_named "$1" || fail "the box '$1' never had the keyboard for $2"
  screenshot "$(echo "$2" | tr ' /' --)"
  wl_input key Return
  wait_until_not 5 windows_named "$1" || fail "the box '$1' stayed for $2"
  vosta_running || fail "the program ended after $2"
}

# Picks the capture area with "Set area" and two clicks on the frozen screen.
set_area() {
  menu_choose $MENU_SET_AREA
  wait_for 10 overlay_open || fail "the area overlay did not appear"
  screenshot "overlay-${1}-${2}"
  wl_input move "$1" "$2" click move "$3" "$4" click
  wait_until_not 10 overlay_open || fail "the overlay stayed open"
}

# Waits for the save-options dialog, then types into it (a compressor's name, or nothing) and
# presses the key given last (Return or Escape).
answer_save_options() {
  local name=$1 key=$2 shot=${3:-}
  wait_for 15 save_options_open || fail "the save-options dialog did not appear"
  wait_for 10 focused_window_named "$SAVE_OPTIONS" || fail "the save-options dialog never had the keyboard"
  [ -n "$name" ] && wl_input type "$name"
  [ -n "$shot" ] && screenshot "$shot"
  wl_input key "$key"
  wait_until_not 10 save_options_open || fail "the save-options dialog stayed open"
}

# Records the capture area for about two seconds, keeps the raw movie (Escape at the save
# options), checks that it holds at least 10 frames and writes its sixth frame to $1 (PNG).
record_frame() {
  local movie
  menu_choose $MENU_MOVIE
  wait_for 10 shots_at_least 1 '*.avi' || fail "the recording did not start"
  movie=$(shots '*.avi' | head -1)
  sleep 2
  stop_recording || stop_recording || fail "no save options after the recording"
  answer_save_options "" Escape
  [ "$(movie_frames "$movie")" -ge 10 ] || fail "the recording holds $(movie_frames "$movie") frames"
  ffmpeg -v error -i "$movie" -vf "select=eq(n\,5)" -frames:v 1 "$1"
}
# A double-click that a busy machine splits into two clicks is given again.
stop_recording() { double_click_eye && wait_for 6 save_options_open; }

# Whether two pictures (files, or a picture and an area of another) agree within a small
# difference per pixel: the mean absolute error of ImageMagick's compare, 0..1, below $3 (0.02
# if not given).
pictures_match() {
  local error
  error=$(compare -metric MAE "$1" "$2" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  awk -v e="${error:-1}" -v limit="${3:-0.02}" 'BEGIN { exit !(e < limit) }'
}

# ---- the desktop portal ----

# A session bus of the test's own (DBUS_SESSION_BUS_ADDRESS is set for what starts after), on
# which a stand-in portal and the program meet; it ends with the test.
start_session_bus() {
  local started
  started=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
    fail "no session bus could be started"
  export DBUS_SESSION_BUS_ADDRESS="${started%%$'\n'*}"
  HELPER_PIDS+=("${started##*$'\n'}")
}
