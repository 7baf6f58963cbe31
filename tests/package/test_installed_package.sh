#!/usr/bin/env bash
# The Debian package, end to end: CPack builds it from this tree; its files, its dependencies,
# the desktop entry, the icon and the metainfo are checked; then (as root) apt installs it, the
# installed /usr/bin/vosta runs as an ordinary user and takes a snapshot into that user's
# pictures, and the package is removed again, also when a check fails.
# Status 77 (skipped) where it cannot install: not root, or a vosta package that this test did
# not install is on the machine.
source "$(dirname "$0")/../e2e/lib.sh"

VERSION=$(project_version)
# One run at a time on a machine: several checkouts may test at once, and they share dpkg.
LOCKS=/run/lock
[ -w "$LOCKS" ] || LOCKS=${TMPDIR:-/tmp}
# Left while the package is installed: a run killed meanwhile (by the test timeout, say) leaves
# it, and the next run knows that the installed package is its own to remove.
MARKER="$LOCKS/vosta-package-test.installed"
APT=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300)

cpack --config "$BUILD_DIR/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -20 "$WORK/cpack.log")"
DEB=$(find "$WORK/package" -maxdepth 1 -name 'vosta_*.deb')
[ "$(echo "$DEB" | wc -l)" = 1 ] && [ -f "$DEB" ] || fail "cpack made no single package: $DEB"
[ "$(basename "$DEB")" = "vosta_${VERSION}_$(dpkg --print-architecture).deb" ] ||
  fail "the package is named $(basename "$DEB")"
[ "$(dpkg-deb -f "$DEB" Package) $(dpkg-deb -f "$DEB" Version)" = "vosta $VERSION" ] ||
  fail "the package says it is $(dpkg-deb -f "$DEB" Package) $(dpkg-deb -f "$DEB" Version)"
pass "cpack builds $(basename "$DEB")"

# The libraries come from dpkg-shlibdeps; the xcb platform plugin is named by hand.
depends=$(dpkg-deb -f "$DEB" Depends)
for dependency in qt6-qpa-plugins libqt6widgets6 'libavformat[0-9]+' 'libjpeg62-turbo' libxcb-shm0; do
  grep -qE "(^|, )$dependency( |,|$)" <<<"$depends" || fail "the package does not depend on $dependency: $depends"
done
pass "the package depends on the libraries that the program links, and on Qt's platform plugins"

dpkg-deb -x "$DEB" "$WORK/root"
desktop=$(cd "$WORK/root" && find usr/share/applications -name '*.desktop')
APP_ID=$(basename "$desktop" .desktop)
expected="./usr/bin/vosta
./usr/share/applications/$APP_ID.desktop
./usr/share/doc/vosta/changelog.gz
./usr/share/doc/vosta/copyright
./usr/share/icons/hicolor/64x64/apps/$APP_ID.png
./usr/share/metainfo/$APP_ID.metainfo.xml"
listing=$(dpkg-deb -c "$DEB")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)
[ "$files" = "$expected" ] || fail "the package holds $(echo $files), not $(echo $expected)"
awk '{print $1, $2}' <<<"$listing" | grep -v '^[-d]rw[-x]r-[-x]r-[-x] root/root$' &&
  fail "files of the package not owned by root, or writable by others"
grep -q '^-rwxr-xr-x root/root .* ./usr/bin/vosta$' <<<"$listing" || fail "/usr/bin/vosta is not executable"
pass "the package holds the program, its copyright and changelog, the desktop entry, the icon and the metainfo of $APP_ID"

# Debian's own checks. Errors fail the test; the warnings kept are printed: no-manual-page (the
# program's --help and the README say how to use it).
lintian --tag-display-limit 0 --fail-on error "$DEB" >"$WORK/lintian.log" 2>&1 ||
  fail "lintian finds errors: $(grep -v '^running with root' "$WORK/lintian.log")"
grep '^[WE]: ' "$WORK/lintian.log" | grep -v ' no-manual-page ' &&
  fail "lintian warns of more than the kept warnings"
grep -qF "vosta ($VERSION) " <(zcat "$WORK/root/usr/share/doc/vosta/changelog.gz") ||
  fail "the changelog does not name version $VERSION"
name_and_address='^[^<]+ <[^@>]+@[^@>]+>$'
[[ "$(dpkg-deb -f "$DEB" Maintainer)" =~ $name_and_address ]] ||
  fail "the Maintainer field holds no name and address: $(dpkg-deb -f "$DEB" Maintainer)"
pass "lintian finds no errors and only the kept warning; the Maintainer has an address"

desktop-file-validate "$WORK/root/$desktop" || fail "the desktop entry is not valid"
grep -qx "Exec=vosta" "$WORK/root/$desktop" || fail "the desktop entry does not start vosta"
grep -qx "Icon=$APP_ID" "$WORK/root/$desktop" || fail "the desktop entry names another icon"
[ "$(identify -format '%w %h' "$WORK/root/usr/share/icons/hicolor/64x64/apps/$APP_ID.png")" = "64 64" ] ||
  fail "the icon is not 64 x 64"
# validate-tree also finds the desktop entry that the metainfo launches.
appstreamcli validate-tree --no-net "$WORK/root" >"$WORK/appstream.log" 2>&1 ||
  fail "the metainfo is not valid: $(cat "$WORK/appstream.log")"
pass "the desktop entry and the metainfo are valid, the icon is 64 x 64"

[ "$(id -u)" = 0 ] || { echo "skipped: only root can install the package"; exit 77; }
exec 9>"$LOCKS/vosta-package-test.lock"
flock -w 600 9 || fail "another package test held the lock for ten minutes"
installed() { dpkg-query -W -f='${Status}' vosta 2>/dev/null | grep -q 'install ok installed'; }
if installed; then
  if [ -f "$MARKER" ]; then
    echo "removing the package that an interrupted run left installed"
    "${APT[@]}" purge vosta >/dev/null
  else
    echo "skipped: a vosta package is installed on this machine, and it is left alone"
    exit 77
  fi
fi
rm -f "$MARKER"

remove_package() {
  [ -f "$MARKER" ] || return 0
  "${APT[@]}" purge vosta >"$WORK/purge.log" 2>&1 && rm -f "$MARKER"
}
trap 'remove_package; cleanup' EXIT

touch "$MARKER"
"${APT[@]}" install --no-install-recommends "$DEB" >"$WORK/install.log" 2>&1 ||
  fail "apt-get could not install the package: $(tail -20 "$WORK/install.log")"
[ "$(command -v vosta)" = /usr/bin/vosta ] || fail "vosta is not /usr/bin/vosta but '$(command -v vosta)'"
pass "apt-get installs the package"

run_as_ordinary_user
run_without_display /usr/bin/vosta --version
[ "$STATUS" = 0 ] && [ "$OUT" = "vosta $VERSION" ] ||
  fail "the installed vosta --version ended with $STATUS and printed '$OUT' ($ERR)"
pass "the installed vosta --version prints 'vosta $VERSION' without a display, as an ordinary user"

open_titled_window "Ultima Online" --size 200x100 --pos 1500,800 --color 204060
open_titled_window "red" --size 300x200 --pos 600,400 --color ff0000
VOSTA_PROGRAM=/usr/bin/vosta
start_vosta
pass "the installed program shows the eye"

# Beside /usr/bin nothing can be written: the snapshots go to the user's pictures.
PICTURES="$WORK/home/Pictures/VOSTA"
snapshot() { find "$PICTURES" -maxdepth 1 -name '*.jpg' 2>/dev/null | head -1 | grep .; }
menu_choose $MENU_FULL_AREA
double_click_eye
wait_for 10 snapshot || fail "no snapshot in ~/Pictures/VOSTA after a double-click"
shot=$(snapshot)
[ "$(jpeg_size "$shot")" = "1920 1080" ] || fail "the snapshot is $(jpeg_size "$shot")"
is_red "$shot" 750 520 || fail "the red region does not decode as red: $(pixel_rgb "$shot" 750 520)"
[ "$(stat -c %u "$shot")" = "$USER_ID" ] || fail "the snapshot is not the user's own"
pass "a full-area snapshot lands in ~/Pictures/VOSTA as a whole 1920 x 1080 JPEG"

kill "$VOSTA_PID" 2>/dev/null || true
wait "$VOSTA_PID" 2>/dev/null || true
VOSTA_PID=""
remove_package || fail "apt-get could not remove the package: $(tail -20 "$WORK/purge.log")"
! installed && [ ! -e /usr/bin/vosta ] || fail "the package left /usr/bin/vosta behind"
pass "apt-get removes the package again"
