#!/usr/bin/env bash
# Clipboard autosave with real clipboard owners. The program asks an owner for its formats once
# per change of the clipboard, not at every tick, so an owner that never answers costs one wait
# and the eye stays usable. Pictures as large as a JPEG can be are saved; larger ones, and ones
# the memory cannot hold, are refused with a box that says why.
source "$(dirname "$0")/lib.sh"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800
convert -size 40x30 xc:'#0000ff' "$WORK/blue.png"
start_vosta
menu_choose $MENU_FULL_AREA
menu_choose $MENU_CLIP_AUTOSAVE

# A text owner is asked once and keeps its text.
start_clipboard_owner text --text "just words"
wait_for 5 owner_asked text || fail "the text owner was never asked"
sleep 3
[ "$(owner_requests text)" -le 2 ] || fail "the text owner was asked $(owner_requests text) times"
[ "$(count_shots)" = 0 ] || fail "text on the clipboard was saved"
pass "a text owner is asked $(owner_requests text) time(s) over 4 ticks"

# An owner that never answers: after the one wait it costs, a double-click snapshots at once and
# the ticks that follow ask nothing.
start_clipboard_owner hung --hang
wait_for 5 owner_lost text || fail "the text owner kept the clipboard"
wait_for 5 owner_asked hung || fail "the hung owner was never asked"
sleep 6   # Qt's clipboard time-out runs out
double_click_eye
wait_for 4 shots_at_least 1 || fail "a double-click did not snapshot within 4 s"
sleep 6
asked=$(owner_requests hung)
[ "$asked" -le 2 ] || fail "the hung owner was asked $asked times in 13 s"
vosta_running || fail "the program ended"
pass "a hung owner is asked $asked time(s) in 13 s and the eye answers a double-click"

# A picture that replaces the hung owner is still seen and saved.
xclip -selection clipboard -t image/png -i "$WORK/blue.png"
wait_for 5 shots_at_least 2 '*.jpg' || fail "the picture after the hung owner was not saved"
newest=$(ls -t "$APP"/ScreenShot/*.jpg | head -1)
[ "$(jpeg_size "$newest")" = "40 30" ] || fail "saved picture is $(jpeg_size "$newest")"
owner_lost hung || fail "the hung owner was not told it lost the clipboard"
pass "a picture put on the clipboard after the hung owner is saved"

# Large pictures (made with ffmpeg: ImageMagick's policy here stops at 16000 pixels a side).
big_picture() { ffmpeg -v error -f lavfi -i "color=$1:s=$2" -frames:v 1 -pix_fmt "$3" -y "$4"; }
big_picture red 6000x6000 rgb24 "$WORK/large.png"
big_picture blue 70000x10 rgb24 "$WORK/wide.png"
big_picture white 12000x12000 monob "$WORK/huge.png"

# A picture over Qt's usual 128 MB reading limit is saved whole.
saved=$(count_shots)
xclip -selection clipboard -t image/png -i "$WORK/large.png"
wait_for 20 shots_at_least $((saved + 1)) || fail "the 6000 x 6000 picture was not saved"
newest=$(ls -t "$APP"/ScreenShot/*.jpg | head -1)
[ "$(jpeg_size "$newest")" = "6000 6000" ] || fail "saved large picture is $(jpeg_size "$newest")"
pass "a 6000 x 6000 clipboard picture is saved as a 6000 x 6000 JPEG"

# One wider than a JPEG can be is refused with a box that says so, and nothing is written.
saved=$(count_shots)
xclip -selection clipboard -t image/png -i "$WORK/wide.png"
wait_for 10 windows_named Vosta || fail "no error box for the 70000 x 10 picture"
screenshot too-wide
logged "大きすぎます (70000 x 10)。JPEG にできるのは 65500 x 65500 まで" \
  || fail "the failure shown is not the size: $(tail -1 "$WORK/vosta.log")"
xdotool key Return
wait_until_not 5 windows_named Vosta || fail "the error box stayed open"
[ "$(count_shots)" = "$saved" ] || fail "a file was written for the 70000 x 10 picture"
vosta_running || fail "the program ended"
pass "a 70000 x 10 picture is refused as too large for a JPEG"

# One the memory cannot hold (here: 300 MB more address space than the program has now) is
# refused before it is decoded, with a box that says so.
vm_kb=$(awk '/^VmSize:/ {print $2}' "/proc/$VOSTA_PID/status")
prlimit --pid "$VOSTA_PID" --as=$(( (vm_kb + 300 * 1024) * 1024 ))
xclip -selection clipboard -t image/png -i "$WORK/huge.png"
wait_for 10 windows_named Vosta || fail "no error box for the 12000 x 12000 picture"
screenshot no-memory
logged "(12000 x 12000) を読み込むためのメモリが足りません" \
  || fail "the failure shown is not the memory: $(tail -1 "$WORK/vosta.log")"
xdotool key Return
wait_until_not 5 windows_named Vosta || fail "the error box stayed open"
[ "$(count_shots)" = "$saved" ] || fail "a file was written for the 12000 x 12000 picture"
vosta_running || fail "the program ended"
pass "a picture the memory cannot hold is refused as such"
