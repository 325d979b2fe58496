#!/usr/bin/env bash
# Builds MELVARINO's configurations, each in its own folder under build/:
#
#   native  g++, Debug: melcore, the melvarino tool, the tests, the benchmark
#   asan    g++, Debug, AddressSanitizer + UndefinedBehaviorSanitizer (no benchmark)
#   win64   mingw-w64 x86-64: the core, melvarino.exe and the test programs (run under Wine)
#   win32   mingw-w64 i686: the same, compile-only (32-bit programs cannot run here)
#
# Usage: scripts/build.sh [--native-only] [CONFIG...]
#   With no CONFIG all four are built; --native-only is the fast development loop.
# Environment: MEL_BUILD_ROOT (default <repo>/build), MEL_JOBS (default 2),
#   MEL_SKIP_SETUP=1 to skip scripts/setup.sh, MEL_WERROR=1 to make warnings errors.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
jobs="${MEL_JOBS:-2}"
werror="OFF"
[ "${MEL_WERROR:-0}" = "1" ] && werror="ON"

all_configs=(native asan win64 win32)
configs=()
for arg in "$@"; do
  case "$arg" in
    --native-only) configs+=(native) ;;
    native|asan|win64|win32) configs+=("$arg") ;;
    -h|--help) sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done
[ ${#configs[@]} -gt 0 ] || configs=("${all_configs[@]}")

if [ "${MEL_SKIP_SETUP:-0}" != "1" ]; then
  bash "$repo/scripts/setup.sh"
fi

configure_args() {
  case "$1" in
    native) echo "-DCMAKE_BUILD_TYPE=Debug" ;;
    asan)   echo "-DCMAKE_BUILD_TYPE=Debug -DMEL_SANITIZE=ON -DMEL_BUILD_BENCH=OFF" ;;
    win64)  echo "-DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE=$repo/cmake/mingw-w64-x86_64.cmake" ;;
    win32)  echo "-DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE=$repo/cmake/mingw-w64-i686.cmake" ;;
  esac
}

mkdir -p "$build_root"
for config in "${configs[@]}"; do
  dir="$build_root/$config"
  echo "== build $config ($dir)"
  start=$SECONDS
  # shellcheck disable=SC2046
  if ! cmake -S "$repo" -B "$dir" $(configure_args "$config") -DMEL_WERROR="$werror" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log" >&2
    echo "build.sh: configuring $config failed" >&2
    exit 1
  fi
  # Full output goes to the log; warnings and errors are shown as they come.
  set +e
  cmake --build "$dir" -j "$jobs" 2>&1 | tee "$dir.build.log" | grep --line-buffered -E 'warning:|error:'
  status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$dir.build.log" >&2
    echo "build.sh: building $config failed (full log: $dir.build.log)" >&2
    exit 1
  fi
  warnings=$(grep -c 'warning:' "$dir.build.log" || true)
  echo "== build $config done in $((SECONDS - start)) s, $warnings compiler warning(s)"
done
