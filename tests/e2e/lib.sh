# Helpers for the end-to-end tests: each test runs the real program on its own Xvfb display
# (tests/e2e/run-under-xvfb) and drives it with xdotool and xclip as a user would.
set -euo pipefail

BUILD_DIR="${VOSTA_BUILD_DIR:?}"
SOURCE_DIR="${VOSTA_SOURCE_DIR:?}"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/vosta-e2e-XXXXXX")"
APP="$WORK/app"           # the program's folder: VOSTA.ini and ScreenShot/ go here
ARTIFACTS="$BUILD_DIR/e2e-artifacts/$(basename "$0" .sh)"
mkdir -p "$APP" "$ARTIFACTS"
cp "$BUILD_DIR/vosta" "$APP/vosta"
VOSTA_PID=""
HELPER_PIDS=()
MOUNTS=()   # folders a test mounted a file system on

cleanup() {
  local pid mount
  for pid in "${HELPER_PIDS[@]}" $VOSTA_PID; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  for mount in "${MOUNTS[@]}"; do umount "$mount" 2>/dev/null || umount -l "$mount" || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  import -window root "$ARTIFACTS/failure.png" 2>/dev/null || true
  cp "$WORK/vosta.log" "$ARTIFACTS/vosta.log" 2>/dev/null || true
  if vosta_running; then
    gdb -p "$VOSTA_PID" -batch -ex "thread apply all bt" >"$ARTIFACTS/stacks.txt" 2>&1 || true
  fi
  exit 1
}

pass() { echo "ok: $*"; }

# Waits until a command succeeds, up to $1 seconds.
wait_for() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# Waits until a command fails, up to $1 seconds.
wait_until_not() { local seconds=$1; shift; wait_for "$seconds" negate "$@"; }
negate() { ! "$@"; }

AS_USER=()     # the command that runs the program as an ordinary user (run_as_ordinary_user)
VOSTA_ENV=()   # variables the program starts with
VOSTA_ARGS=()  # its arguments
VOSTA_PROGRAM="$APP/vosta"  # the program that start_vosta starts

start_vosta() {
  ( cd "$WORK" && exec env "${VOSTA_ENV[@]}" "${AS_USER[@]}" "$VOSTA_PROGRAM" "${VOSTA_ARGS[@]}" ) \
    >"$WORK/vosta.log" 2>&1 &
  VOSTA_PID=$!
  wait_for 20 eye_window || fail "the eye window did not appear"
  EYE=$(eye_window)
  sleep 0.5  # let the first activation and the window manager settle
}

vosta_running() { kill -0 "$VOSTA_PID" 2>/dev/null; }

# The visible eye window: 115 x 45 (times the desktop's scale factor).
SCALE=${QT_SCALE_FACTOR:-1}
eye_window() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$VOSTA_PID" 2>/dev/null); do
    if xwininfo -id "$id" | grep -q "Width: $((115 * SCALE))\$" \
       && xwininfo -id "$id" | grep -q "Height: $((45 * SCALE))\$"; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# Visible windows of the program with the given title.
windows_named() { xdotool search --all --onlyvisible --pid "$VOSTA_PID" --name "^$1\$" 2>/dev/null; }

window_x() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}'; }
window_y() { xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}'; }

# Eye-relative point (default: the middle of the visible eye).
eye_point() {
  local dx=${1:-$((22 * SCALE))} dy=${2:-$((22 * SCALE))}
  echo "$(( $(window_x "$EYE") + dx )) $(( $(window_y "$EYE") + dy ))"
}

double_click_eye() {
  # shellcheck disable=SC2046
  xdotool mousemove $(eye_point) click --repeat 2 --delay 80 1
}

# Opens the context menu and chooses its n-th command (separators do not count).
menu_choose() {
  local n=$1
  # shellcheck disable=SC2046
  xdotool mousemove $(eye_point) click 3
  wait_for 5 popup_menu_open || fail "the context menu did not open"
  sleep 0.2
  xdotool key --delay 60 $(printf 'Down %.0s' $(seq "$n")) Return
  # The command runs as the menu closes.
  wait_until_not 5 popup_menu_open || fail "the context menu stayed open"
}

popup_menu_open() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$VOSTA_PID" 2>/dev/null); do
    [ "$id" = "$EYE" ] && continue
    xwininfo -id "$id" | grep -q 'Override Redirect State: yes' && return 0
  done
  return 1
}

MENU_EXIT=1 MENU_OPEN=2 MENU_SET_AREA=3 MENU_FULL_AREA=4 MENU_CLIP_AUTOSAVE=5
MENU_REPEAT=6 MENU_MOVIE=7 MENU_ABOUT=8

shots() { find "$APP/ScreenShot" -maxdepth 1 -type f -name "$1" 2>/dev/null | sort; }
count_shots() { shots "${1:-*.jpg}" | wc -l; }
shots_at_least() { [ "$(count_shots "${2:-*.jpg}")" -ge "$1" ]; }

# Width and height of a JPEG as an independent decoder reads it.
jpeg_size() { identify -format '%w %h' "$1"; }

# Opens a window titled $1 (further arguments go to the helper) and records its pid.
open_titled_window() {
  "$BUILD_DIR/tests/titled_window" "$@" >"$WORK/titled.$#.log" 2>&1 &
  HELPER_PIDS+=($!)
  wait_for 10 xdotool search --name "^$1\$" || fail "titled window '$1' did not appear"
}

screenshot() { import -window root "$ARTIFACTS/$1.png"; }

# "R G B" of one pixel of an image, 0..255 each.
pixel_rgb() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

is_red() {
  local r g b
  read -r r g b < <(pixel_rgb "$@")
  [ "$r" -gt 200 ] && [ "$g" -lt 60 ] && [ "$b" -lt 60 ]
}

# Picks the capture area with "Set area" and two clicks on the frozen screen.
set_area() {
  menu_choose $MENU_SET_AREA
  wait_for 10 overlay_open || fail "the area overlay did not appear"
  sleep 0.5
  OVERLAY_GEOMETRY=$(xwininfo -id "$(overlay_open)" | awk '/Width:/ {w=$2} /Height:/ {h=$2}
    /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print w "x" h "+" x "+" y}')
  screenshot "overlay-${1}-${2}"
  xdotool mousemove "$1" "$2" click 1
  sleep 0.3
  xdotool mousemove "$3" "$4" click 1
  wait_until_not 10 overlay_open || fail "the overlay stayed open"
  sleep 0.3
}

# The overlay: a visible window of the program at the top-left corner, as large as the screen
# (a little less where a panel takes room).
overlay_open() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$VOSTA_PID" 2>/dev/null); do
    [ "$id" = "$EYE" ] && continue
    local w
    w=$(xwininfo -id "$id" | awk '/Width:/ {print $2}')
    [ "${w:-0}" -ge 1000 ] && echo "$id" && return 0
  done
  return 1
}

# CPU seconds the process has used so far.
cpu_seconds() {
  local ticks
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat")
  echo $((ticks / $(getconf CLK_TCK)))
}

# The movie writer's windows.
SAVE_OPTIONS="圧縮オプション"
PROGRESS="進行状況"
save_options_open() { windows_named "$SAVE_OPTIONS" | head -1 | grep .; }
progress_open() { windows_named "$PROGRESS" | head -1 | grep .; }

# Shows changing screen content in the given area (WxH+X+Y) until the test ends.
show_moving_content() {
  "$BUILD_DIR/tests/moving_content" --area "$1" --fps 20 >"$WORK/moving.log" 2>&1 &
  local pid=$!
  HELPER_PIDS+=("$pid")
  wait_for 10 xdotool search --onlyvisible --pid "$pid" || fail "the moving content did not appear"
}

# Waits for the save-options dialog, then types into it (a compressor's name, or nothing)
# and presses the key given last (Return or Escape).
answer_save_options() {
  local name=$1 key=$2 shot=${3:-}
  wait_for 15 save_options_open || fail "the save-options dialog did not appear"
  sleep 0.5
  [ -n "$name" ] && xdotool type --delay 40 "$name" && sleep 0.6
  [ -n "$shot" ] && screenshot "$shot"
  xdotool key "$key"
  wait_until_not 10 save_options_open || fail "the save-options dialog stayed open"
}

# Records for $1 seconds (3 if not given), stops with a double-click and waits for the save
# options; sets MOVIE to the new movie.
record() {
  local before started
  before=$(shots '*.avi')
  menu_choose $MENU_MOVIE
  started=$SECONDS
  sleep "${1:-3}"
  double_click_eye
  wait_for 15 save_options_open || fail "no save options after the recording"
  RECORDED_SECONDS=$((SECONDS - started))
  MOVIE=$(comm -13 <(echo "$before") <(shots '*.avi') | head -1)
  [ -n "$MOVIE" ] || fail "no movie was recorded"
}

# One field of a movie's video stream as ffprobe reads it, counting frames by decoding.
movie_field() {
  ffprobe -v error -select_streams v:0 -count_frames -show_entries "stream=$2" \
    -of default=noprint_wrappers=1:nokey=1 "$1"
}
movie_frames() { movie_field "$1" nb_read_frames; }
# Whether a movie is stored with the compressor of that four-character code.
movie_is() { [ "$(movie_field "$1" codec_tag_string 2>/dev/null)" = "$2" ]; }

# What a decoder complains of when it reads every frame (empty: nothing).
decode_errors() { ffmpeg -v error -i "$1" -f null - 2>&1; }

# A digest of the decoded pixels, for comparing a lossless movie with its raw recording.
pixels_digest() { ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - | md5sum | cut -d' ' -f1; }

# A movie finished with its index: at least $2 frames, the header's frame count the frames it
# holds, every one of them decoding cleanly. Sets FRAMES.
expect_indexed_movie() {
  local header errors
  header=$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$1")
  FRAMES=$(movie_frames "$1")
  [ "$FRAMES" -ge "$2" ] || fail "only $FRAMES frames were kept"
  [ "$header" = "$FRAMES" ] || fail "the header claims $header frames, the movie holds $FRAMES"
  errors=$(decode_errors "$1")
  [ -z "$errors" ] || fail "the movie does not decode cleanly: $errors"
}

temporary_movies() { find "$APP/ScreenShot" -name '*_.avi' | grep .; }

# Takes the clipboard with the clipboard_owner helper under the name $1 (further arguments go to
# the helper); the helper logs one line per request it receives.
start_clipboard_owner() {
  local name=$1; shift
  "$BUILD_DIR/tests/clipboard_owner" "$@" >"$WORK/owner.$name.log" 2>&1 &
  HELPER_PIDS+=($!)
  wait_for 5 grep -qx owner "$WORK/owner.$name.log" || fail "clipboard owner '$name' did not start"
}
owner_requests() { grep -c '^request ' "$WORK/owner.$1.log" || true; }
owner_asked() { [ "$(owner_requests "$1")" -ge 1 ]; }
owner_lost() { grep -qx lost "$WORK/owner.$1.log"; }

# Whether the program has written this text to its standard error (it logs every failure it
# shows).
logged() { grep -qF -- "$1" "$WORK/vosta.log"; }

# Root passes every permission check, so under root the program is run as "nobody", with a home
# and a runtime folder of its own and a copy of the X authority file that it may read; the
# program's folder becomes that user's.
run_as_ordinary_user() {
  [ "$(id -u)" = 0 ] || return 0
  USER_ID=65534
  local home="$WORK/home"
  mkdir -p "$home/runtime" "$APP/ScreenShot"
  chmod 700 "$home/runtime"
  cp "${XAUTHORITY:?}" "$home/Xauthority"
  chown -R "$USER_ID:$USER_ID" "$home" "$APP"
  chmod 755 "$WORK"
  AS_USER=(setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups
           env HOME="$home" XDG_RUNTIME_DIR="$home/runtime" XAUTHORITY="$home/Xauthority")
}

# Waits up to $3 seconds (15 if not given) for a box titled $1, takes a screenshot named after
# $2 (what caused it), closes it with Return, and checks that the program runs on.
box_shown() {
  wait_for "${3:-15}" windows_named "$1" || fail "no box '$1' for $2"
  sleep 0.3
  screenshot "$(echo "$2" | tr ' /' --)"
  xdotool key Return
  wait_until_not 5 windows_named "$1" || fail "the box '$1' stayed for $2"
  vosta_running || fail "the program ended after $2"
}

# Loads the fault injector (tests/support/fault_injector.c) into the program started next;
# inject_fault then makes the files it opens from then on fail.
FAULT_RULES="$WORK/fault-rules"
with_fault_injector() {
  VOSTA_ENV+=(LD_PRELOAD="$BUILD_DIR/tests/libfault_injector.so" FAULT_RULES="$FAULT_RULES")
}
# inject_fault <ops> <ENOSPC|EIO> <bytes before the failure> <part of the path>
inject_fault() { echo "$*" >"$FAULT_RULES"; }
no_faults() { rm -f "$FAULT_RULES"; }

# The version that project() in CMakeLists.txt gives the program.
project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt"; }

# Runs the program ($1) with the other arguments and no display at all; sets STATUS, and OUT and
# ERR to what it wrote on standard output and standard error.
run_without_display() {
  local program=$1; shift
  STATUS=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY -u QT_QPA_PLATFORM "${AS_USER[@]}" \
    "$program" "$@" >"$WORK/out" 2>"$WORK/err" || STATUS=$?
  OUT=$(cat "$WORK/out") ERR=$(cat "$WORK/err")
}
