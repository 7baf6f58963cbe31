#!/usr/bin/env bash
# The screen through the desktop's screen sharing portal, where nothing else shows it: the
# program runs without the compositor's own protocols (no WAYLAND_DISPLAY) and the area lies
# where no X window is, so only the ScreenCast portal can give its pixels. A stand-in portal on
# a private session bus shares a real PipeWire stream of a test picture
# (tests/support/screencast-rig.sh). Without a portal the capture says so; with one, the first
# capture asks and the snapshot holds the shared screen's pixels; the grant's restore token is
# kept beside VOSTA.ini and offered at the next start; a refusal gives its message and no file
# and the next capture asks again; the stream ending during a recording gives its message and
# a whole movie.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/screencast-rig.sh"
# A failed check keeps the rig's logs with the other artifacts.
eval "$(declare -f fail | sed '1s/^fail/fail_without_rig/')"
fail() {
  cp "$RIG"/*.log "$RIG/calls" "$ARTIFACTS/" 2>/dev/null || true
  fail_without_rig "$@"
}

rig_start "$WORK/rig" colors 1920x1080 10 || fail "the screen sharing rig did not start"
rig_reference_frame "$WORK/screen.png"
AREA="1200,600 400x300"
convert "$WORK/screen.png" -crop 400x300+1200+600 +repage "$WORK/area.png"
printf 'CPX1=1200\nCPX2=1600\nCPY1=600\nCPY2=900\n' >"$APP/VOSTA.ini"
TOKEN_FILE="$APP/VOSTA.screencast-token"
VOSTA_ENV=(-u WAYLAND_DISPLAY)

# The game, an X window away from the area: the snapshots wait for it.
open_x_window "ClassicUO - 1.1.0.0" 100 300 300x200 ff0000
start_vosta
eye=$(eye_point)
case "$eye" in
  1[2-6][0-9][0-9]\ [6-9][0-9][0-9]) fail "the eye ($eye) lies in the area $AREA" ;;
esac

# No portal on the session bus: the message, no file, and no box left waiting.
double_click_eye
box_shown Vosta "a capture without a portal"
logged "画面共有のポータル (ScreenCast) がありません" || fail "the message was not the missing portal's"
[ "$(count_shots '*')" = 0 ] || fail "a capture without a portal left $(shots '*')"
pass "without a portal, a capture says so and writes nothing"

# The portal: the first capture asks, and the snapshot holds the shared screen's pixels.
rig_start_portal || fail "the stand-in portal did not start"
double_click_eye
wait_for 15 shots_at_least 1 || fail "no snapshot through the portal"
shot=$(shots '*.jpg' | head -1)
[ "$(jpeg_size "$shot")" = "400 300" ] || fail "the snapshot is $(jpeg_size "$shot")"
cp "$shot" "$ARTIFACTS/portal-snapshot.jpg"
pictures_match "$shot" "$WORK/area.png" 0.03 || fail "the snapshot does not hold the shared screen"
selection=$(rig_calls SelectSources | tail -1)
jq -e '.types == 1 and .multiple == false and .persist_mode == 2 and .cursor_mode == 1
  and (has("restore_token") | not)' <<<"$selection" >/dev/null ||
  fail "the sources were selected with $selection"
token=$(rig_calls Start | jq -r .token | tail -1)
[ "$(cat "$TOKEN_FILE" 2>/dev/null)" = "$token" ] || fail "the restore token $token was not kept"
pass "the first capture asks the portal; the snapshot holds the shared screen's pixels"

# Granted once, the stream stays: the next snapshot does not ask again.
double_click_eye
wait_for 10 shots_at_least 2 || fail "no second snapshot through the portal"
[ "$(rig_calls Start | wc -l)" = 1 ] || fail "the second snapshot asked the portal again"
pass "once granted, the next snapshot takes the open stream's newest frame"
rm -f "$APP"/ScreenShot/*

# The next start offers the kept token; the player refuses this time.
kill "$VOSTA_PID"
wait "$VOSTA_PID" 2>/dev/null || true
echo refuse >"$RIG/answer"
start_vosta
double_click_eye
box_shown Vosta "a refused screen sharing"
logged "画面の共有が許可されなかった" || fail "the message was not the refusal's"
[ "$(rig_calls SelectSources | tail -1 | jq -r .restore_token)" = "$token" ] ||
  fail "the second start did not offer the kept token $token"
sleep 1
[ "$(count_shots '*')" = 0 ] || fail "a refused capture left $(shots '*')"
pass "the next start offers the kept restore token; a refusal gives its message and no file"

# The next capture asks again.
echo grant >"$RIG/answer"
double_click_eye
wait_for 15 shots_at_least 1 || fail "no snapshot after the refusal"
pictures_match "$(shots '*.jpg' | head -1)" "$WORK/area.png" 0.03 ||
  fail "the snapshot after the refusal does not hold the shared screen"
pass "after a refusal, the next capture asks again"
rm -f "$APP"/ScreenShot/*

# The stream ends during a recording: its message, and a whole movie of the frames so far.
menu_choose $MENU_MOVIE
wait_for 10 shots_at_least 1 '*.avi' || fail "the recording did not start"
MOVIE=$(shots '*.avi' | head -1)
sleep 2
rig_stop_source
box_shown Vosta "the shared screen's stream ending"
logged "画面の共有が終わりました" || fail "the message was not the stream's end"
expect_indexed_movie "$MOVIE" 10
ffmpeg -v error -i "$MOVIE" -vf "select=eq(n\,5)" -frames:v 1 "$WORK/frame.png"
pictures_match "$WORK/frame.png" "$WORK/area.png" 0.04 || fail "the recording's frame is not the shared screen"
pass "the stream ending stops the recording with its message and a whole movie ($FRAMES frames)"
