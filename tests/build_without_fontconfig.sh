#!/usr/bin/env bash
# A build as a packager on a system without fontconfig would make it: no
# fontconfig, no tests (BUILD_TESTING off, so no Qt Test). The program must
# build, not link fontconfig itself, and render pages identical to the main build's.
# Arguments: the source folder, the main build's program, a build folder for this one.
set -euo pipefail
src=$1 main=$2 build=$3
fail() { echo "FAIL: $*"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DHELPEDIT_FONTCONFIG=OFF -DBUILD_TESTING=OFF >/dev/null
fi
grep -q 'fontconfig: not used' <(cmake "$build" 2>&1) || fail "the configure still uses fontconfig"
cmake --build "$build" -j 2 >/dev/null || fail "the build failed"
! grep -q 'test_cli' "$build/build.ninja" || fail "BUILD_TESTING=OFF still builds the tests"
! readelf -d "$build/helpedit" | grep -q 'libfontconfig' || fail "the program links fontconfig"
"$build/helpedit" --version >/dev/null
"$main" --render "$src/examples/sample.hlp" --out "$tmp/main" >/dev/null
"$build/helpedit" --render "$src/examples/sample.hlp" --out "$tmp/plain" >/dev/null
cmp "$tmp/main/page-001.png" "$tmp/plain/page-001.png" || fail "the pages differ"
echo "built without fontconfig and without tests; same pages"
