#!/usr/bin/env bash
# The files that tie the program into the desktop, checked by the tools that
# read them: the desktop entry, the AppStream metainfo, the MIME type and the
# manual page. Argument: the source folder.
set -euo pipefail
src=$1
fail() { echo "FAIL: $*"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

out=$(desktop-file-validate "$src/data/helpedit.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate reports: $out"
meta=$src/data/org.helpedit.helpedit.metainfo.xml
out=$(appstreamcli validate --pedantic --no-net "$meta" 2>&1) || fail "appstreamcli: $out"
# Pedantic hints count too: only a success line may come back.
[ "$(grep -cv 'Validation was successful' <<<"$out")" = 0 ] || fail "appstreamcli reports: $out"
# The id, the file name and the desktop entry it launches agree, and the release is this version.
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$meta")
[ "$meta" = "$src/data/$id.metainfo.xml" ] || fail "metainfo id $id does not match its file name"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$meta" || fail "metainfo launches another desktop entry than $id.desktop"
version=$(sed -n 's/^project(helpedit VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$meta" || fail "no release entry for version $version"

# The MIME type the entry claims is the one the package file defines, for the *.hlp files.
mkdir -p "$tmp/mime/packages"
cp "$src/data/helpedit-mime.xml" "$tmp/mime/packages/helpedit.xml"
update-mime-database "$tmp/mime" 2>/dev/null
grep -qx 'text/x-helpedit:\*\.hlp' <(cut -d: -f2- "$tmp/mime/globs2") || fail "no glob *.hlp for text/x-helpedit"
grep -qx 'MimeType=text/x-helpedit;' "$src/data/helpedit.desktop" || fail "the desktop entry claims another MIME type"
grep -q '<mediatype>text/x-helpedit</mediatype>' "$src/data/org.helpedit.helpedit.metainfo.xml" || fail "metainfo names another MIME type"

# One licence, said the same way everywhere.
grep -q '^MIT License' "$src/LICENSE" && grep -q 'Copyright (c) the helpedit authors' "$src/LICENSE" || fail "LICENSE"
grep -q '<project_license>MIT</project_license>' "$src/data/org.helpedit.helpedit.metainfo.xml" || fail "metainfo licence"

out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$src/helpedit.1" 2>&1 >/dev/null) || fail "man: $out"
[ -z "$out" ] || fail "man reports: $out"
echo "desktop entry, metainfo, MIME type, licence and manual page: clean"
