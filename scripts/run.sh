#!/usr/bin/env bash
# Sets up, builds and runs MELVARINO on one melody file (or the bundled example):
#
#   scripts/run.sh [FILE]
#
# With a display ($DISPLAY) and a built Windows program, the file opens in the
# window under Wine. Otherwise the command-line tool plays it to the sound card
# (or, when there is none, renders it to a WAV file beside it) and prints its
# property report. Without FILE it uses resources/examples/sakura.mid, whose
# WAV file, when one is needed, goes to the current folder.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
example="$repo/resources/examples/sakura.mid"

if [ $# -gt 1 ]; then
  echo "usage: scripts/run.sh [FILE]" >&2
  exit 2
fi
file="${1:-$example}"
if [ ! -e "$file" ]; then
  echo "run.sh: no such file: $file" >&2
  exit 3
fi

bash "$repo/scripts/setup.sh"

if [ -f "$repo/scripts/build.sh" ]; then
  MEL_SKIP_SETUP=1 bash "$repo/scripts/build.sh" --native-only
  tool="$build_root/native/melvarino"
else
  cmake -S "$repo" -B "$build_root/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build_root/native" -j 2 --target melvarino
  tool="$build_root/native/melvarino"
fi
if [ ! -x "$tool" ]; then
  tool="$(find "$build_root" -path '*win*' -prune -o -type f -name melvarino -perm -u+x -print 2>/dev/null | head -n 1)"
fi
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
  echo "run.sh: the melvarino tool was not built" >&2
  exit 1
fi

# True when the file is a Windows program for the window subsystem (the desktop
# program), not a console program such as the command-line tool's Windows build.
is_windows_gui_program() {
  local pe subsystem
  pe=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$pe" ] || return 1
  subsystem=$(od -An -t u2 -j $((pe + 92)) -N 2 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ "$subsystem" = "2" ]
}

find_windows_program() {
  local exe
  # The build of scripts/build.sh first, then any other build folder.
  if is_windows_gui_program "$build_root/win64/melvarino.exe"; then
    echo "$build_root/win64/melvarino.exe"
    return 0
  fi
  while IFS= read -r exe; do
    if is_windows_gui_program "$exe"; then
      echo "$exe"
      return 0
    fi
  done < <(find "$build_root" -type f -iname 'melvarino.exe' 2>/dev/null | sort)
  return 1
}

# With a display, the window program is built too (the first time takes a few
# minutes) and the file opens in it.
if [ -n "${DISPLAY:-}" ] && command -v wine >/dev/null && [ -f "$repo/scripts/build.sh" ]; then
  MEL_SKIP_SETUP=1 bash "$repo/scripts/build.sh" win64 || echo "run.sh: the window program did not build; playing with the tool" >&2
fi

if [ -n "${DISPLAY:-}" ] && exe="$(find_windows_program)"; then
  export WINEPREFIX="${WINEPREFIX:-$build_root/wineprefix-run}"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  export LANG=ja_JP.UTF-8
  mkdir -p "$WINEPREFIX"
  echo "run.sh: opening $file in $exe under Wine"
  exec wine "$exe" "$(winepath -w "$file" 2>/dev/null || echo "$file")"
fi

play_args=()
if [ "$file" = "$example" ]; then
  # Keep the source tree clean: the example's WAV file goes to the current folder.
  play_args+=(--wav "$PWD/$(basename "${example%.*}").wav")
fi
echo "run.sh: playing $file"
"$tool" play ${play_args[@]+"${play_args[@]}"} "$file"
"$tool" info "$file"
