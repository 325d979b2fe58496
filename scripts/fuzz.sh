#!/usr/bin/env bash
# Builds the readers' libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs it for a while:
#
#   scripts/fuzz.sh [SECONDS]        (default 60; the corpus stays in build/fuzz/corpus)
#
# Not part of scripts/test.sh: the regular tests already feed the readers random,
# truncated and corrupted input; this is the longer, coverage-guided search.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${MEL_BUILD_ROOT:-$repo/build}/fuzz"
seconds="${1:-60}"
mkdir -p "$out/corpus" "$out/obj"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2
  exit 1
fi

# The core's sources hold no Japanese literals, so clang needs no CP932 setting.
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I"$repo/src")
objects=()
for src in "$repo"/src/common/*.cpp "$repo"/src/midi/*.cpp "$repo"/src/score/*.cpp \
           "$repo"/src/formats/*/*.cpp "$repo"/src/convert/*.cpp; do
  rel="${src#"$repo"/src/}"
  obj="$out/obj/${rel//\//_}"
  obj="${obj%.cpp}.o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ]; then
    clang++ "${flags[@]}" -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
clang++ "${flags[@]}" -fsanitize=fuzzer "$repo/fuzz/reader_fuzzer.cpp" "${objects[@]}" -o "$out/reader_fuzzer"

"$out/reader_fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix="$out/" "$out/corpus"
