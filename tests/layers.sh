#!/usr/bin/env bash
# The layer check passes on the source tree, and fails on copies of it with an
# include that points up a layer and with a cycle inside one folder.
# Arguments: the source folder.
set -euo pipefail
src=$1
check=$src/tools/check-layers.sh
fail() { echo "FAIL: $*"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

bash "$check" "$src" || fail "the source tree breaks its layers"

# Copies the layer folders into a fresh tree named by the first argument.
copy_tree() {
    mkdir -p "$1"
    for d in base markup document render links fileio view publish helpview app; do
        [ -d "$src/$d" ] && cp -r "$src/$d" "$1/"
    done
}

copy_tree "$tmp/up"
echo '#include "view/surface.h"' >>"$tmp/up/render/colors.h"
out=$(bash "$check" "$tmp/up") && fail "an include of view/ from render/ passed"
grep -q 'upward include: render/colors.h includes "view/surface.h"' <<<"$out" \
    || fail "the upward include is not named: $out"

copy_tree "$tmp/loop"
echo '#include "render/glyphs.h"' >>"$tmp/loop/render/colors.h"
echo '#include "colors.h"' >>"$tmp/loop/render/glyphs.h"
out=$(bash "$check" "$tmp/loop") && fail "an include cycle inside render/ passed"
grep -q 'include cycle' <<<"$out" || fail "the cycle is not reported: $out"
grep -q 'render/colors.h' <<<"$out" || fail "the cycle's files are not named: $out"
echo "PASS"
