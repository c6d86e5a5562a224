#!/usr/bin/env bash
# Installs the Debian packages that are missing: those the program needs to
# build and run; with --test also those only the tests need; with --fuzz also
# those only `make fuzz` needs.
set -euo pipefail
pkgs=(cmake ninja-build g++ make qt6-base-dev libfontconfig-dev fonts-liberation)
# The end-to-end test runs the program on a virtual X server and drives it with
# xdotool (with setxkbmap for other keyboard layouts and xcb to press the close
# box); the install test validates the desktop entry, the metainfo and the
# MIME type, and reads the man page; the screen-reader test reads the editor
# over AT-SPI on a session bus of its own. The web export's pages are loaded in
# chromium (headless) and parsed with html5lib.
test_pkgs=(xvfb xdotool x11-xkb-utils libxcb1-dev desktop-file-utils appstream shared-mime-info man-db
           dbus-daemon dbus-bin at-spi2-core python3-pyatspi chromium python3-html5lib)
# Only `make fuzz` needs clang and its libFuzzer runtime.
fuzz_pkgs=(clang libclang-rt-14-dev)
case "${1:-}" in
  --test) pkgs+=("${test_pkgs[@]}") ;;
  --fuzz) pkgs+=("${fuzz_pkgs[@]}") ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
