#!/usr/bin/env bash
# Takes a screenshot of the window program playing a melody file, under a
# virtual display and Wine, and writes it as a PNG:
#
#   scripts/screenshot.sh [FILE] [OUT.png]
#
# FILE defaults to the bundled example, OUT.png to build/screenshot.png. The
# window starts with the track panel and the save button shown (a settings
# file of its own, in a throw-away folder) and plays for a few seconds before
# the picture is taken, so the counter shows a position and the title.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
file="${1:-$repo/resources/examples/sakura.mid}"
out="${2:-$build_root/screenshot.png}"
wait_seconds="${MEL_SCREENSHOT_WAIT:-6}"

if [ ! -e "$file" ]; then
  echo "screenshot.sh: no such file: $file" >&2
  exit 3
fi

bash "$repo/scripts/setup.sh"
MEL_SKIP_SETUP=1 bash "$repo/scripts/build.sh" win64 >/dev/null
exe="$build_root/win64/melvarino.exe"
if [ ! -f "$exe" ]; then
  echo "screenshot.sh: $exe was not built" >&2
  exit 1
fi

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fifo="$work/display"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 number <"$fifo" || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }

export DISPLAY=":$number"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8
printf '[control]\r\ntracpanel=1\r\nrecord=1\r\n[section]\r\nautoplay=1\r\nautooff=0\r\n' >"$work/korvani.ini"
export MELVARINO_SETTINGS="$(winepath -w "$work/korvani.ini" 2>/dev/null)"

wine wineboot -i >/dev/null 2>&1 || true
# Wine's own desktop window gives the program a frame and a caption.
wine explorer /desktop=shell,640x300 "$exe" "$(winepath -w "$file" 2>/dev/null)" >/dev/null 2>&1 &
sleep "$wait_seconds"
mkdir -p "$(dirname "$out")"
import -window root -crop 640x300+0+0 "$out"
echo "screenshot.sh: wrote $out"
