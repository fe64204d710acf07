#!/usr/bin/env bash
# Runs a Windows program of the build tree under Wine (ctest's cross-compiling emulator).
# Keeps the exit code; the prefix is the build tree's own.
set -uo pipefail
BUILD_DIR="${BUILD_DIR:-$PWD}"
# ctest runs tests from the build tree or one of its subfolders; find the tree's root.
while [ ! -f "$BUILD_DIR/CMakeCache.txt" ] && [ "$BUILD_DIR" != "/" ]; do BUILD_DIR=$(dirname "$BUILD_DIR"); done
. "$(dirname "$0")/wine-env.sh"
# A program that starts just as the prefix's idle wineserver shuts down is cut off before it
# runs: it fails with "wine client error: ... Connection reset by peer", or with no output at
# all. That start alone is tried again; a program that ran and failed is never repeated.
out=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$out" "$errors"' EXIT
for attempt in 1 2; do
  "$WINE" "$@" > >(tee "$out") 2> >(tee "$errors" >&2)
  rc=$?
  wait
  [ "$rc" -ne 0 ] && [ "$attempt" -eq 1 ] || exit "$rc"
  grep -q '^wine client error:' "$errors" || { [ ! -s "$out" ] && [ ! -s "$errors" ]; } || exit "$rc"
  sleep 1
done
