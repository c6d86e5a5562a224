#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ make qt6-base-dev libfontconfig-dev fonts-liberation)
# The end-to-end test runs the program on a virtual X server and drives it with xdotool.
pkgs+=(xvfb xdotool x11-xkb-utils libxcb1-dev)
# Only `make fuzz` needs clang and its libFuzzer runtime (--fuzz).
fuzz_pkgs=(clang libclang-rt-14-dev)
if [ "${1:-}" = "--fuzz" ]; then pkgs+=("${fuzz_pkgs[@]}"); fi
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
