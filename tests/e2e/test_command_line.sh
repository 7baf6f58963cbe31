#!/usr/bin/env bash
# The command line: --version and --help answer without any display and exit 0; any other
# argument is told on standard error with status 2; the toolkit's own options still reach Qt. A
# failure at start-up outside every handler is told on standard error with status 1.
source "$(dirname "$0")/lib.sh"

run_without_display "$APP/vosta" --version
[ "$STATUS" = 0 ] || fail "--version without a display ended with $STATUS: $ERR"
[ "$OUT" = "vosta $(project_version)" ] || fail "--version printed '$OUT', not 'vosta $(project_version)'"
[ -z "$ERR" ] || fail "--version wrote on standard error: $ERR"
pass "--version prints 'vosta $(project_version)' without a display"

run_without_display "$APP/vosta" --help
[ "$STATUS" = 0 ] || fail "--help without a display ended with $STATUS: $ERR"
[ "$(head -1 <<<"$OUT")" = "Usage: vosta [--help] [--version]" ] || fail "--help printed: $OUT"
pass "--help prints the usage without a display"

run_without_display "$APP/vosta" --bogus
[ "$STATUS" = 2 ] || fail "an unknown option ended with $STATUS"
[ -z "$OUT" ] || fail "an unknown option printed on standard output: $OUT"
grep -qF "vosta: unknown option '--bogus'" "$WORK/err" || fail "an unknown option told: $ERR"
pass "an unknown option is told on standard error, status 2"

# Without an X server: one line on standard error and status 1, not the toolkit's abort.
run_without_display "$APP/vosta"
[ "$STATUS" = 1 ] || fail "without DISPLAY the program ended with $STATUS: $ERR"
[ "$ERR" = "vosta: no X server to run on: DISPLAY is not set (VOSTA is an X program; on a Wayland desktop it runs through Xwayland)" ] \
  || fail "without DISPLAY the program told: $ERR"
run_without_display "$APP/vosta" -display :65000
[ "$STATUS" = 1 ] && [ "$(wc -l <"$WORK/err")" = 1 ] && grep -qF "the display :65000 cannot be opened" "$WORK/err" \
  || fail "with an X display that cannot be opened the program ended with $STATUS: $ERR"
pass "without an X server the program ends at once with one line and status 1"

# -name sets the instance name of the window class, so the eye's class shows that Qt took it.
VOSTA_ARGS=(-name vosta-e2e -session e2e_1)
start_vosta
xprop -id "$EYE" WM_CLASS | grep -qF '"vosta-e2e"' || fail "-name did not reach Qt: $(xprop -id "$EYE" WM_CLASS)"
pass "the eye starts with the toolkit's -name and -session options, and Qt takes them"

# No descriptor left for watching the termination signals: said, and status 1 rather than an abort.
status=0
(cd "$WORK" && exec env LD_PRELOAD="$BUILD_DIR/tests/libfault_injector.so" FAULT_SOCKETPAIR=1 \
  timeout 30 "$APP/vosta") >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" = 1 ] || fail "a start-up failure ended with $status: $(cat "$WORK/err")"
grep -qF "vosta: cannot watch for the termination signals: Too many open files" "$WORK/err" ||
  fail "a start-up failure told: $(cat "$WORK/err")"
pass "a start-up failure outside every handler is told on standard error, status 1"
