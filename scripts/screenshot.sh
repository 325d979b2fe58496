#!/usr/bin/env bash
# Takes screenshots of the window program playing melody files, under a
# virtual display and Wine, and writes them as PNGs:
#
#   scripts/screenshot.sh [FILE] [OUT.png]
#   scripts/screenshot.sh --locales [FILE...]
#
# FILE defaults to the bundled example, OUT.png to build/screenshot.png. With
# --locales one picture is taken under each of LANG=ja_JP.UTF-8 and
# LANG=en_US.UTF-8 (build/screenshot-ja_JP.png, build/screenshot-en_US.png),
# with every FILE on the command line (the playlist); the Japanese texts must
# read in both. The window starts with the track panel and the save button
# shown (a settings file of its own, in a throw-away folder) and plays for a
# few seconds before the picture is taken, so the counter shows a position
# and the title.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib/virtual_display.sh
source "$repo/scripts/lib/virtual_display.sh"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
wait_seconds="${MEL_SCREENSHOT_WAIT:-6}"

locales=(ja_JP.UTF-8)
files=()
out="$build_root/screenshot.png"
if [ "${1:-}" = "--locales" ]; then
  shift
  locales=(ja_JP.UTF-8 en_US.UTF-8)
  files=("$@")
  out=""
else
  [ $# -lt 1 ] || files=("$1")
  [ $# -lt 2 ] || out="$2"
fi
[ ${#files[@]} -gt 0 ] || files=("$repo/resources/examples/sakura.mid")
for file in "${files[@]}"; do
  if [ ! -e "$file" ]; then
    echo "screenshot.sh: no such file: $file" >&2
    exit 3
  fi
done

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
  for prefix in "$work"/prefix-*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_virtual_display 800x600x24 || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
printf '[control]\r\ntracpanel=1\r\nrecord=1\r\n[section]\r\nautoplay=1\r\nautooff=0\r\n' >"$work/korvani.ini"

# One picture under LANG $1 into $2, in a Wine prefix of that locale's own.
take_picture() {
  local lang="$1" picture="$2"
  export LANG="$lang"
  export WINEPREFIX="$work/prefix-${lang%%.*}"
  wine wineboot -i >/dev/null 2>&1 || true
  MELVARINO_SETTINGS="$(winepath -w "$work/korvani.ini" 2>/dev/null)"
  export MELVARINO_SETTINGS
  local arguments=()
  for file in "${files[@]}"; do arguments+=("$(winepath -w "$file" 2>/dev/null)"); done
  # Wine's own desktop window gives the program a frame and a caption.
  wine explorer /desktop=shell,640x300 "$exe" "${arguments[@]}" >/dev/null 2>&1 &
  local wine_pid=$!
  sleep "$wait_seconds"
  mkdir -p "$(dirname "$picture")"
  import -window root -crop 640x300+0+0 "$picture"
  wineserver -k 2>/dev/null || true
  wait "$wine_pid" 2>/dev/null || true
  echo "screenshot.sh: wrote $picture ($lang)"
}

for lang in "${locales[@]}"; do
  picture="$out"
  [ -n "$picture" ] || picture="$build_root/screenshot-${lang%%.*}.png"
  take_picture "$lang" "$picture"
done
