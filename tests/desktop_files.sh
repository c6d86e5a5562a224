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
out=$(appstreamcli validate --no-net "$src/data/org.helpedit.helpedit.metainfo.xml" 2>&1) || fail "appstreamcli: $out"

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
