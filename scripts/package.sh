#!/usr/bin/env bash
# Builds the Windows release archive melvarino-<version>-win64.zip:
#
#   scripts/package.sh [--no-build] [--build-dir DIR] [--out DIR]
#
# The version is the project VERSION in CMakeLists.txt. The archive holds one
# folder melvarino-<version>/ with the window program (melvarino.exe), the
# console tool (tool/melvarino.exe), the settings program (setting.exe), the
# help page, the example melody and the README.
# Without --no-build, the win64 configuration is built first. DIR defaults to
# build/win64, the output folder to build/release.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${MEL_BUILD_ROOT:-$repo/build}"
build_dir="$build_root/win64"
out_dir="$build_root/release"
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --build-dir) build_dir="$2"; shift ;;
    --out) out_dir="$2"; shift ;;
    -h|--help) sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
  shift
done

version="$(sed -n 's/^project(melvarino VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")"
if [ -z "$version" ]; then
  echo "package.sh: no project VERSION in CMakeLists.txt" >&2
  exit 1
fi

if [ "$build" = 1 ]; then
  bash "$repo/scripts/build.sh" win64 >/dev/null
fi
if ! command -v zip >/dev/null; then
  echo "package.sh: 'zip' is missing (scripts/setup.sh installs it)" >&2
  exit 1
fi

name="melvarino-$version"
required=(
  "$build_dir/melvarino.exe:melvarino.exe"
  "$build_dir/tool/melvarino.exe:tool/melvarino.exe"
  "$repo/resources/help/melvarino.html:melvarino.html"
  "$repo/resources/examples/sakura.mid:examples/sakura.mid"
  "$repo/resources/release/README.txt:README.txt"
  "$build_dir/setting.exe:setting.exe"
)
optional=()

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
copy() {  # copy SOURCE:TARGET into the staged folder
  local source="${1%%:*}" target="$stage/$name/${1#*:}"
  mkdir -p "$(dirname "$target")"
  cp "$source" "$target"
}
for entry in "${required[@]}"; do
  if [ ! -f "${entry%%:*}" ]; then
    echo "package.sh: ${entry%%:*} is missing (build win64 first, or leave out --no-build)" >&2
    exit 1
  fi
  copy "$entry"
done
for entry in "${optional[@]}"; do
  [ ! -f "${entry%%:*}" ] || copy "$entry"
done

# The build is a debug build; the archive gets the programs without their
# debugging information.
strip_tool="$(command -v x86_64-w64-mingw32-strip || true)"
if [ -n "$strip_tool" ]; then
  find "$stage" -name '*.exe' -exec "$strip_tool" --strip-debug {} +
fi

mkdir -p "$out_dir"
zip_path="$(cd "$out_dir" && pwd)/$name-win64.zip"
rm -f "$zip_path"
(cd "$stage" && zip -q -r -X "$zip_path" "$name")
echo "package.sh: wrote $zip_path"
