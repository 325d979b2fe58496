#!/usr/bin/env bash
# Installs what is missing, builds every configuration (native, sanitizers,
# Windows x86-64 and the compile-only Windows i686) and runs every test:
# the native tests, the same tests under ASan + UBSan, and the Windows test
# programs under Wine. Ends with one line in CTest's form summed over all runs
# and exits non-zero when anything failed.
#
# Environment: MEL_BUILD_ROOT (default <repo>/build), MEL_JOBS (default 2),
#   MEL_TEST_TIMEOUT (seconds per test, default 600), MEL_WERROR=1 to make
#   compiler warnings fatal.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib/virtual_display.sh
source "$repo/scripts/lib/virtual_display.sh"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
jobs="${MEL_JOBS:-2}"
timeout="${MEL_TEST_TIMEOUT:-600}"
started=$SECONDS

bash "$repo/scripts/setup.sh"
MEL_SKIP_SETUP=1 bash "$repo/scripts/build.sh" native asan win64 win32

# A virtual display for the Windows programs, started here and stopped on
# exit; a display that is already there is used as it is.
xvfb_pid=""
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap stop_xvfb EXIT
start_xvfb() {
  [ -z "${DISPLAY:-}" ] || return 0
  command -v Xvfb >/dev/null || return 0
  if ! start_virtual_display 1024x768x24; then
    echo "test.sh: Xvfb did not start; running the Windows tests without a display" >&2
    stop_xvfb
    xvfb_pid=""
  fi
}

total=0
failed=0
failed_runs=()

# Runs ctest in one build folder and adds its counts to the totals.
run_ctest() {
  local name="$1" dir="$2"
  shift 2
  local log="$build_root/$name.ctest.log" status counts
  echo "== test $name"
  set +e
  (cd "$dir" && ctest -j "$jobs" --timeout "$timeout" --output-on-failure --no-tests=error "$@") 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
  if [ -z "$counts" ]; then
    # CTest did not get as far as its summary (no tests, or it could not start).
    counts="1 1"
  fi
  local run_failed run_total
  read -r run_failed run_total <<<"$counts"
  if [ "$status" -ne 0 ] && [ "$run_failed" -eq 0 ]; then
    run_failed=1
    [ "$run_total" -gt 0 ] || run_total=1
  fi
  total=$((total + run_total))
  failed=$((failed + run_failed))
  [ "$run_failed" -eq 0 ] || failed_runs+=("$name")
}

run_ctest native "$build_root/native"
run_ctest asan "$build_root/asan"
start_xvfb
run_ctest windows "$build_root/win64"
stop_xvfb
xvfb_pid=""

echo "== all runs done in $((SECONDS - started)) s${failed_runs[*]:+; failures in: ${failed_runs[*]}}"
passed=$((total - failed))
# Rounded like CTest, which never shows 100% while something failed.
percent=$(( (passed * 200 + total) / (2 * total) ))
if [ "$failed" -gt 0 ] && [ "$percent" -gt 99 ]; then percent=99; fi
echo "$percent% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
