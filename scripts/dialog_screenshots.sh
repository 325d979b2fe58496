#!/usr/bin/env bash
# Pictures every dialog of the window program under a virtual display, Wine
# and a Japanese locale, one PNG per dialog:
#
#   scripts/dialog_screenshots.sh [OUT_DIR]
#
# OUT_DIR defaults to build/dialogs. The dialogs are opened for real by the
# Windows test program (the DialogPictures tests) in one Wine session; each
# is copied from the screen and cancelled. Needs build/win64 (built if missing).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib/virtual_display.sh
source "$repo/scripts/lib/virtual_display.sh"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
out="${1:-$build_root/dialogs}"
tests="$build_root/win64/melwin_tests.exe"

if [ ! -f "$tests" ]; then
  MEL_SKIP_SETUP=1 bash "$repo/scripts/build.sh" win64 >/dev/null
fi

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_virtual_display 1024x768x24 || { echo "dialog_screenshots.sh: Xvfb did not start" >&2; exit 1; }
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
mkdir -p "$out" "$work/pictures"
export MEL_DIALOG_PICTURES="$(winepath -w "$work/pictures" 2>/dev/null)"
wine wineboot -i >/dev/null 2>&1 || true
# Without a window manager nobody draws the captions: Wine draws them itself
# when its windows are not decorated by X.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
wine "$tests" --gtest_filter='DialogPictures*' >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
for picture in "$work/pictures"/*.bmp; do
  convert "$picture" "$out/$(basename "${picture%.bmp}").png"
done
echo "dialog_screenshots.sh: wrote $(ls "$out"/*.png | wc -l) pictures to $out"
