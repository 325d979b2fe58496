#!/usr/bin/env bash
# What a melvarino conversion costs as a process (start-up included), next to
# programs that do about as much: Debian's midicsv reading the same MIDI file,
# and cp copying the same files.
#
# Usage: bench/startup.sh [-n RUNS] [--to EXT]... [TOOL]
#   TOOL     the melvarino program to measure; default build/release/melvarino,
#            built (Release, the tool alone) when it is missing
#   -n RUNS  runs of each command in the timing loop (default 50)
#   --to EXT an output format to measure besides mid (repeatable, e.g. --to mld);
#            a format whose writer is not built yet is reported and skipped
#
# It makes its own inputs in a temporary folder: one MIDI file of about 200 KB
# (four tracks of 6200 notes, written by csvmidi) and 40 small ringtone files
# (20 MIDI files and 20 X-PmailDX melodies). Wall and processor time are the
# mean of RUNS runs in a loop; peak memory is /usr/bin/time's %M (KB), the
# median of five runs.
# The goals, printed with each ratio:
#   - one 200 KB MIDI file read into the score and written as MIDI: at most
#     0.5 x midicsv's wall time on it;
#   - peak memory of every conversion of it: at most 2 x midicsv's;
#   - the 40 ringtones converted by one `convert -d` call: at most 3 x the wall
#     time of one cp of them.
# Exits 1 when a goal is missed. Timings on a busy machine vary from run to run.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=50
formats=(mid)
tool=""
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    --to) formats+=("$2"); shift 2 ;;
    -h|--help) sed -n '2,/^set -e/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "startup.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
    *) tool="$1"; shift ;;
  esac
done

for program in csvmidi midicsv /usr/bin/time awk; do
  command -v "$program" >/dev/null || { echo "startup.sh: $program is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done

if [ -z "$tool" ]; then
  tool="$repo/build/release/melvarino"
  if [ ! -x "$tool" ]; then
    echo "== building $tool (Release)"
    cmake -S "$repo" -B "$repo/build/release" -DCMAKE_BUILD_TYPE=Release -DMEL_BUILD_BENCH=OFF >/dev/null
    cmake --build "$repo/build/release" --target melvarino -j "${MEL_JOBS:-2}" >/dev/null
  fi
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- inputs --------------------------------------------------------------------

# A format-1 MIDI file as csvmidi text: TRACKS tracks of NOTES eighth notes each
# at 480 ticks per quarter, a tempo and a program per track; SEED varies the keys.
midi_csv() {
  awk -v tracks="$1" -v notes="$2" -v seed="$3" 'BEGIN {
    print "0, 0, Header, 1, " tracks ", 480"
    for (tr = 1; tr <= tracks; tr++) {
      print tr ", 0, Start_track"
      if (tr == 1) print tr ", 0, Tempo, 500000"
      print tr ", 0, Program_c, " tr - 1 ", " (tr * 8 + seed) % 128
      t = 0
      for (i = 0; i < notes; i++) {
        key = 48 + (i * 7 + tr * 5 + seed) % 36
        print tr ", " t ", Note_on_c, " tr - 1 ", " key ", 90"
        t += 240
        print tr ", " t ", Note_off_c, " tr - 1 ", " key ", 0"
      }
      print tr ", " t ", End_track"
    }
    print "0, 0, End_of_file"
  }'
}

# An X-PmailDX melody: tempo code 4, eighth notes, NOTES scale degrees, end mark.
pmail_melody() {
  awk -v notes="$1" -v seed="$2" 'BEGIN {
    printf "%c%c", 4, 134
    for (i = 0; i < notes; i++) printf "%c", 1 + (i * 3 + seed) % 14
    printf "%c", 255
  }'
}

big="$work/big.mid"
midi_csv 4 6200 0 | csvmidi - "$big"
mkdir -p "$work/ringtones"
for i in $(seq 1 20); do
  midi_csv 3 $((40 + i * 5)) "$i" | csvmidi - "$(printf '%s/ringtones/tone%02d.mid' "$work" "$i")"
  LC_ALL=C pmail_melody $((60 + i * 7)) "$i" >"$(printf '%s/ringtones/melody%02d.dat' "$work" "$i")"
done
ringtones=("$work"/ringtones/*)

# --- measuring -----------------------------------------------------------------

# Mean wall and processor (user + system) time of one run of the command in
# milliseconds, as "WALL CPU". On a busy machine the processor time is the
# steadier figure; the goals are on wall time.
timing() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" \
    bash -c 'for ((i = 0; i < $0; i++)); do "$@" >/dev/null 2>&1; done' "$runs" "$@" || true
  awk -v n="$runs" '{ printf "%.2f %.2f", $1 * 1000 / n, ($2 + $3) * 1000 / n }' "$work/time"
}

# Median peak resident memory of the command over five runs, in KB.
peak_kb() {
  local i
  for i in 1 2 3 4 5; do
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || true
    tail -n 1 "$work/rss"
  done | sort -n | sed -n 3p
}

missed=0
# Prints one comparison: what, ours, theirs, the unit, the goal ratio, the other
# program, and optionally the processor times (ours, theirs) beside wall times.
report() {
  awk -v what="$1" -v ours="$2" -v theirs="$3" -v unit="$4" -v goal="$5" -v other="$6" \
      -v cpu_ours="${7:-}" -v cpu_theirs="${8:-}" 'BEGIN {
    ratio = ours / theirs
    cpu = cpu_ours == "" ? "" : sprintf("   cpu %.2f / %.2f ms = %.2f", cpu_ours, cpu_theirs, cpu_ours / cpu_theirs)
    printf "%-42s %8.2f %s  %-7s %8.2f %s  ratio %5.2f  (goal <= %s) %-6s%s\n",
           what, ours, unit, other, theirs, unit, ratio, goal, ratio <= goal ? "ok" : "MISSED", cpu
    exit ratio <= goal ? 0 : 1
  }' || missed=1
}

# Compares the timing of the tool's command with a reference timing ("WALL CPU").
report_time() {
  local what="$1" goal="$2" other="$3" reference="$4"
  shift 4
  local ours
  ours=$(timing "$tool" "$@")
  report "$what: wall" "${ours% *}" "${reference% *}" ms "$goal" "$other" "${ours#* }" "${reference#* }"
}

# True when the tool writes this format (its writer exists).
writes_format() {
  "$tool" convert "$big" -o "$work/probe.$1" >/dev/null 2>&1
}

echo "melvarino: $tool"
echo "inputs: $(stat -c %s "$big") byte MIDI file; ${#ringtones[@]} ringtone files, $(cat "${ringtones[@]}" | wc -c) bytes"
echo "runs per timing: $runs"
echo

baseline=$(timing /bin/true)
echo "starting a program that does nothing (/bin/true): wall ${baseline% *} ms, cpu ${baseline#* } ms per run"
midicsv_time=$(timing midicsv "$big" "$work/big.csv")
midicsv_kb=$(peak_kb midicsv "$big" "$work/big.csv")
mkdir -p "$work/copies"
cp_time=$(timing cp "${ringtones[@]}" "$work/copies/")

for ext in "${formats[@]}"; do
  if ! writes_format "$ext"; then
    echo "--to $ext: the tool does not write this format yet; skipped"
    continue
  fi
  single=(convert --no-midi-standard "$big" -o "$work/out.$ext")
  report_time "200 KB MIDI -> score -> $ext" 0.5 midicsv "$midicsv_time" "${single[@]}"
  report "200 KB MIDI -> score -> $ext: peak memory" "$(peak_kb "$tool" "${single[@]}")" "$midicsv_kb" KB 2 midicsv
  if [ "$ext" = mid ]; then
    direct=(convert "$big" -o "$work/direct.mid")
    report_time "200 KB MIDI -> direct rewrite" 0.5 midicsv "$midicsv_time" "${direct[@]}"
    report "200 KB MIDI -> direct rewrite: peak memory" "$(peak_kb "$tool" "${direct[@]}")" "$midicsv_kb" KB 2 midicsv
  fi
  report_time "${#ringtones[@]} ringtones -> $ext, one convert -d" 3 cp "$cp_time" \
    convert "${ringtones[@]}" -d "$work/batch.$ext" --to "$ext"
done
exit "$missed"
