#!/usr/bin/env bash
# The release archive works on its own: built from the win64 build folder,
# unpacked into a fresh folder, run in a fresh Wine prefix that has never seen
# the build. The console tool reads the example and converts it to MIDI and
# MFi; the window program (with a display) plays the example to its end and
# closes by itself, as it does for a file given on its command line.
#
#   tests/windows/package_test.sh BUILD_DIR
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build_dir="$1"
work="$(mktemp -d)"
export WINEPREFIX="$work/prefix"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

bash "$repo/scripts/package.sh" --no-build --build-dir "$build_dir" --out "$work/out" >/dev/null
zips=("$work"/out/melvarino-*-win64.zip)
[ -f "${zips[0]}" ] || fail "no archive was written"
mkdir "$work/unpacked"
unzip -q "${zips[0]}" -d "$work/unpacked"
app="$(echo "$work"/unpacked/melvarino-*)"
for f in melvarino.exe tool/melvarino.exe melvarino.html examples/sakura.mid README.txt; do
  [ -f "$app/$f" ] || fail "the archive lacks $f"
done
grep -q 'charset="utf-8"' "$app/melvarino.html" || fail "the help page does not name its charset"

mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1 || true
cd "$app"
info="$(wine tool/melvarino.exe info examples/sakura.mid 2>/dev/null | tr -d '\r')"
echo "$info" | grep -q . || fail "info printed nothing"
wine tool/melvarino.exe convert examples/sakura.mid -o "$work/sakura.mid" >/dev/null 2>&1 ||
  fail "convert to MIDI failed"
wine tool/melvarino.exe convert examples/sakura.mid -o "$work/sakura.mld" >/dev/null 2>&1 ||
  fail "convert to MFi failed"
head -c 4 "$work/sakura.mid" | grep -q MThd || fail "the MIDI output does not start with MThd"
head -c 4 "$work/sakura.mld" | grep -q melo || fail "the MFi output does not start with melo"

if [ -n "${DISPLAY:-}" ]; then
  # Settings as an older version left them in the Windows folder, asking for
  # a save on exit. A sped-up clock plays the example in a few seconds; the
  # window closes after its command-line file has played (autooff) and saves
  # to the per-user folder, carrying the older file's other keys along.
  printf '[section]\r\nautosetsave=1\r\napp1name=package-test\r\n' >"$WINEPREFIX/drive_c/windows/korvani.ini"
  MELVARINO_CLOCK_SCALE=100 timeout 120 wine melvarino.exe examples/sakura.mid >/dev/null 2>&1 ||
    fail "the window program did not play the example to its end and close (status $?)"
  saved="$(find "$WINEPREFIX/drive_c/users" -path '*/MELVARINO/korvani.ini' | head -n 1)"
  [ -n "$saved" ] || fail "the window program saved no settings to the per-user folder"
  grep -q '^app1name=package-test' "$saved" || fail "the per-user settings lack the older file's keys"
  grep -q '^recmode=' "$saved" || fail "the per-user settings lack the saved keys"
else
  echo "package_test: no display, the window program was not started"
fi
echo "package_test: ok"
