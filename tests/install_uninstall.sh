#!/usr/bin/env bash
# `make install` into a live prefix and into a staging DESTDIR over the same
# prefix, then `make uninstall`: it must remove exactly the staged files and
# leave the live install alone; a second uninstall of the live one leaves
# nothing of ours behind. Arguments: the source folder and the build folder.
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
live=$tmp/live stage=$tmp/stage
mk() { make -s --no-print-directory -C "$src" BUILD="$build" MANIFEST="$tmp/manifest" PREFIX="$live" "$@" >/dev/null; }
fail() { echo "FAIL: $*"; exit 1; }
files() { (cd "$1" && find . -type f ! -path './share/mime/*' -o -path './share/mime/packages/*' -type f) | sort; }

expected="./bin/helpedit
./share/applications/helpedit.desktop
./share/doc/helpedit/LICENSE
./share/doc/helpedit/examples/sample.hlp
./share/icons/hicolor/scalable/apps/helpedit.svg
./share/man/man1/helpedit.1
./share/metainfo/org.helpedit.helpedit.metainfo.xml
./share/mime/packages/helpedit.xml"

mk install
[ "$(files "$live")" = "$expected" ] || fail "live install wrote: $(files "$live")"
[ "$(sort "$tmp/manifest")" = "$(sed "s|^\.|$live|" <<<"$expected")" ] || fail "manifest of the live install: $(cat "$tmp/manifest")"
# A live install refreshes the MIME database of its prefix.
grep -qx 'text/x-helpedit:\*\.hlp' <(cut -d: -f2- "$live/share/mime/globs2") || fail "MIME database not refreshed"
cp "$tmp/manifest" "$tmp/live-manifest"

mk install DESTDIR="$stage"
[ "$(files "$stage$live")" = "$expected" ] || fail "staged install wrote: $(files "$stage$live")"
[ ! -e "$stage$live/share/mime/mime.cache" ] || fail "a staged install ran update-mime-database"

mk uninstall
[ -z "$(find "$stage" -type f)" ] || fail "uninstall left staged files: $(find "$stage" -type f)"
[ "$(files "$live")" = "$expected" ] || fail "uninstall of the staged install touched the live one: $(files "$live")"

cp "$tmp/live-manifest" "$tmp/manifest"
mk uninstall
[ -z "$(files "$live")" ] || fail "uninstall left: $(files "$live")"
echo "install, staged install and uninstall: exactly the expected files"
