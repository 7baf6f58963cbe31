# A desktop's screen sharing without the desktop, for the tests and benchmarks of the portal
# route: a private D-Bus session bus, the PipeWire daemon with its session manager, and the
# stand-in ScreenCast portal (screencast_portal.py), which shares a test video source as the
# "monitor", a new one for each session as a desktop does. Source this file, then call
# rig_start and rig_start_portal. Everything it starts is put in HELPER_PIDS (the caller ends
# them); its files go to $RIG.
#
# Exports DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR (PipeWire's socket is there); sets RIG,
# the rig's folder: calls (the portal's log), answer (see the portal), source-pid.

RIG_DIR_OF_THIS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# rig_start FOLDER [PATTERN] [WIDTHxHEIGHT] [RATE]: the bus and PipeWire; the shared sources will
# show videotestsrc's PATTERN ("colors" if not given) at that size (1920x1080) and rate (10
# frames a second).
rig_start() {
  RIG=$1
  RIG_SOURCE_ARGS=("${2:-colors}" "${3:-1920x1080}" "${4:-10}")
  mkdir -p "$RIG/runtime"
  chmod 700 "$RIG/runtime"
  export XDG_RUNTIME_DIR="$RIG/runtime"
  # No realtime scheduling through a desktop service: there is none.
  export DISABLE_RTKIT=1 PIPEWIRE_LOG_SYSTEMD=false
  dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$RIG/bus" \
    >"$RIG/dbus.log" 2>&1 &
  HELPER_PIDS+=($!)
  rig_wait 10 test -s "$RIG/bus" || { echo "rig: no session bus" >&2; return 1; }
  DBUS_SESSION_BUS_ADDRESS=$(head -1 "$RIG/bus")
  export DBUS_SESSION_BUS_ADDRESS
  pipewire >"$RIG/pipewire.log" 2>&1 &
  HELPER_PIDS+=($!)
  rig_wait 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { echo "rig: no PipeWire" >&2; return 1; }
  wireplumber >"$RIG/wireplumber.log" 2>&1 &
  HELPER_PIDS+=($!)
}

# The stand-in portal, on the rig's session bus.
rig_start_portal() {
  # The system's Python: python3-dbus and python3-gi are its modules.
  /usr/bin/python3 "$RIG_DIR_OF_THIS/screencast_portal.py" "$RIG" "${RIG_SOURCE_ARGS[@]}" \
    >"$RIG/portal.log" 2>&1 &
  HELPER_PIDS+=($!)
  rig_wait 10 test -s "$RIG/ready" || { echo "rig: the stand-in portal did not start" >&2; return 1; }
}

# Ends the source shared last, as a monitor that goes: its stream ends.
rig_stop_source() { kill "$(cat "$RIG/source-pid")"; }

# The portal's calls named $1 as JSON lines.
rig_calls() { jq -c --arg c "$1" 'select(.call == $c)' "$RIG/calls" 2>/dev/null; }

# The frame that the sources show, as a picture file $1.
rig_reference_frame() {
  local size=${RIG_SOURCE_ARGS[1]}
  gst-launch-1.0 -q videotestsrc num-buffers=1 pattern="${RIG_SOURCE_ARGS[0]}" ! \
    "video/x-raw,format=BGRx,width=${size%x*},height=${size#*x}" ! videoconvert ! pngenc ! \
    filesink location="$1"
}

rig_wait() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}
