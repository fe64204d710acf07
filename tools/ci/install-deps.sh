#!/usr/bin/env bash
# Installs, as root on Debian 12, every package the build, the tests and the run need.
# Does nothing when they are all there already.
set -euo pipefail
PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev python3
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcurl4-openssl-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wine fonts-liberation librsvg2-bin
  nsis jq
  nginx tinyproxy squid openssl xcompmgr
  libboost-dev libboost-system-dev nlohmann-json3-dev libxml2-dev libsqlite3-dev libssl-dev wrk curl
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
