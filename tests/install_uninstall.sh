#!/usr/bin/env bash
# `make install` and `make uninstall` as a user and a packager meet them:
# install copies only, and refuses with a clear message when nothing is built;
# a live install and a staged one (DESTDIR) over the same prefix stay apart;
# uninstall works from the record kept beside the installed files, with the
# build folder gone (as after `make clean`), removes exactly what the install
# wrote and the folders it made, and leaves everything else as it was; with no
# record it says so and succeeds. Arguments: the source folder and the build folder.
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
live=$tmp/live stage=$tmp/stage
mk() { make -s --no-print-directory -C "$src" BUILD="$build" PREFIX="$live" "$@" >"$tmp/out" 2>&1; }
fail() { echo "FAIL: $*"; cat "$tmp/out" 2>/dev/null; exit 1; }
files() { (cd "$1" && find . -type f ! -path './share/mime/*' -o -path './share/mime/packages/*' -type f) | sort; }
tree() { (cd "$1" && find . | sort); }

expected="./bin/helpedit
./share/applications/org.helpedit.helpedit.desktop
./share/doc/helpedit/LICENSE
./share/doc/helpedit/examples/sample.hlp
./share/helpedit/installed-files
./share/icons/hicolor/128x128/apps/helpedit.png
./share/icons/hicolor/256x256/apps/helpedit.png
./share/icons/hicolor/48x48/apps/helpedit.png
./share/icons/hicolor/64x64/apps/helpedit.png
./share/icons/hicolor/scalable/apps/helpedit.svg
./share/man/man1/helpedit.1
./share/metainfo/org.helpedit.helpedit.metainfo.xml
./share/mime/packages/helpedit.xml"

# Without a build, install says so, fails, and neither builds nor copies anything.
if make -s --no-print-directory -C "$src" BUILD="$tmp/unbuilt" PREFIX="$live" install >"$tmp/out" 2>&1; then
  fail "install without a build succeeded"
fi
grep -q "nothing is built in $tmp/unbuilt" "$tmp/out" || fail "install without a build did not say why"
[ ! -e "$tmp/unbuilt" ] && [ ! -e "$live" ] || fail "install without a build made files"

# The live prefix already holds things of others: they and their folders must survive.
mkdir -p "$live/bin" "$live/share/applications" "$live/share/icons"
echo other >"$live/bin/other-program"
echo other >"$live/share/applications/other.desktop"
before=$(tree "$live")

mk install || fail "install"
[ "$(files "$live")" = "$(printf '%s\n' "$expected" ./bin/other-program ./share/applications/other.desktop | sort)" ] ||
  fail "live install wrote: $(files "$live")"
# The icons are the theme's sizes, drawn from the scalable one.
for size in 48 64 128 256; do
  head -c 24 "$live/share/icons/hicolor/${size}x$size/apps/helpedit.png" | od -An -tx1 | tr -d ' \n' |
    grep -q "^89504e47.*$(printf '%08x%08x' "$size" "$size")$" || fail "icon at $size is not a $size x $size PNG"
done
# A live install refreshes the MIME database of its prefix.
grep -qx 'text/x-helpedit:\*\.hlp' <(cut -d: -f2- "$live/share/mime/globs2") || fail "MIME database not refreshed"

mk install DESTDIR="$stage" || fail "staged install"
[ "$(files "$stage$live")" = "$expected" ] || fail "staged install wrote: $(files "$stage$live")"
[ ! -e "$stage$live/share/mime/mime.cache" ] || fail "a staged install ran update-mime-database"
# The installed desktop entry carries the name the metainfo launches, and the tree validates.
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$stage$live/share/metainfo/"*.metainfo.xml)
[ -f "$stage$live/share/applications/$launchable" ] || fail "no installed desktop entry $launchable"
appstreamcli validate-tree --pedantic --no-net "$stage$live" >"$tmp/out" 2>&1 || fail "appstreamcli validate-tree"

# The build folder gone, as after `make clean`: the records beside the installs still serve.
mk uninstall DESTDIR="$stage" BUILD="$tmp/cleaned" || fail "staged uninstall"
[ -z "$(find "$stage" -mindepth 1)" ] || fail "staged uninstall left: $(find "$stage" -mindepth 1)"
[ "$(files "$live")" = "$(printf '%s\n' "$expected" ./bin/other-program ./share/applications/other.desktop | sort)" ] ||
  fail "uninstall of the staged install touched the live one: $(files "$live")"

mk uninstall BUILD="$tmp/cleaned" || fail "live uninstall"
[ "$(tree "$live")" = "$before" ] || fail "live uninstall left the prefix as: $(diff <(echo "$before") <(tree "$live"))"

# Nothing recorded any more: said so, exit 0, nothing removed.
mk uninstall || fail "uninstall without a record failed"
grep -q "no record of an install" "$tmp/out" || fail "uninstall without a record did not say so"
[ "$(tree "$live")" = "$before" ] || fail "uninstall without a record changed the prefix"
echo "install (and refusal without a build), staged install, uninstall from the record: exactly the expected files"
