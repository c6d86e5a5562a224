#!/usr/bin/env bash
# `make install` and `make uninstall`. Install copies what `make` built (it
# builds nothing and installs no packages, so `sudo make install` never
# compiles as root) and keeps a record of every file it wrote and every folder
# it made, beside the installed files, where `make clean` cannot reach it.
# Uninstall reads that record, removes exactly those files and then those
# folders that are left empty, and touches nothing else.
#
# Usage: install.sh install BUILD PREFIX | install.sh uninstall PREFIX
# A DESTDIR in the environment stages everything under it; a live install (no
# DESTDIR) also refreshes the MIME database of the prefix.
set -euo pipefail

record_of() { echo "$1/share/helpedit/installed-files"; }
mime_db_files=(XMLnamespaces aliases generic-icons globs globs2 icons magic mime.cache subclasses treemagic types version)

# Prints each folder above the given paths that does not exist under DESTDIR yet.
missing_folders() {
  local path dir
  while IFS= read -r path; do
    dir=$(dirname "$path")
    while [ "$dir" != / ] && [ ! -d "$DESTDIR$dir" ]; do
      echo "$dir"
      dir=$(dirname "$dir")
    done
  done | sort -u
}

refresh_mime() {
  local prefix=$1
  if [ -z "$DESTDIR" ] && [ -d "$prefix/share/mime/packages" ] && command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime"
  fi
}

install_files() {
  local build=$1 prefix=$2
  if [ ! -f "$build/cmake_install.cmake" ] || [ ! -x "$build/helpedit" ]; then
    echo "make install: nothing is built in $build yet. Run 'make' first (as yourself, not as root);" >&2
    echo "make install only copies what it built." >&2
    exit 1
  fi
  local stage record
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' RETURN
  # What will be installed, learnt from a dry install into a scratch folder.
  DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
  record=$(record_of "$prefix")
  local files
  files=$( (cd "$stage" && find . -type f -o -type l) | sed 's|^\.||'; echo "$record")
  local old=""
  if [ -f "$DESTDIR$record" ]; then old=$(cat "$DESTDIR$record"); fi
  # A second install adds to the record of the first: the folders the first made stay its own.
  {
    sed 's/^/file /' <<<"$files"
    missing_folders <<<"$files" | sed 's/^/folder /'
    if [ -n "$old" ]; then echo "$old"; fi
  } | sort -u > "$stage/record"
  mkdir -p "$(dirname "$DESTDIR$record")"
  # The record comes first: an install cut short can still be undone.
  cp "$stage/record" "$DESTDIR$record"
  DESTDIR=$DESTDIR cmake --install "$build" --prefix "$prefix"
  refresh_mime "$prefix"
  echo "installed under $DESTDIR$prefix; 'make uninstall' removes it (record: $DESTDIR$record)"
}

# The MIME database of a prefix whose mime folder the install made, once no
# package is left in it, describes nothing: its generated files go too.
drop_empty_mime_db() {
  local mime=$DESTDIR$1/share/mime
  [ -d "$mime/packages" ] || return 0
  if [ -n "$(find "$mime/packages" -mindepth 1 -print -quit)" ]; then
    refresh_mime "$1"
    return 0
  fi
  grep -qx "folder $1/share/mime" "$DESTDIR$(record_of "$1")" || return 0
  [ -z "$DESTDIR" ] && update-mime-database "$mime" 2>/dev/null || true
  local f
  for f in "${mime_db_files[@]}"; do rm -f "$mime/$f"; done
  find "$mime" -mindepth 1 -type d -empty -delete
}

uninstall_files() {
  local prefix=$1 record kind path
  record=$(record_of "$prefix")
  if [ ! -f "$DESTDIR$record" ]; then
    echo "make uninstall: no record of an install under $DESTDIR$prefix ($DESTDIR$record); nothing removed"
    exit 0
  fi
  while read -r kind path; do
    if [ "$kind" = file ] && [ "$path" != "$record" ] && { [ -f "$DESTDIR$path" ] || [ -L "$DESTDIR$path" ]; }; then
      rm -fv "$DESTDIR$path"
    fi
  done < "$DESTDIR$record"
  drop_empty_mime_db "$prefix"
  local folders
  folders=$(sed -n 's/^folder //p' "$DESTDIR$record" | awk '{ print gsub("/", "/"), $0 }' | sort -rn | cut -d' ' -f2-)
  rm -fv "$DESTDIR$record"
  # Deepest first, and only those left empty.
  while IFS= read -r path; do
    [ -n "$path" ] && [ -d "$DESTDIR$path" ] && rmdir --ignore-fail-on-non-empty "$DESTDIR$path"
  done <<<"$folders"
  return 0
}

DESTDIR=${DESTDIR:-}
case "${1:-}" in
  install) install_files "$2" "$3" ;;
  uninstall) uninstall_files "$2" ;;
  *) echo "usage: $0 install BUILD PREFIX | uninstall PREFIX" >&2; exit 2 ;;
esac
