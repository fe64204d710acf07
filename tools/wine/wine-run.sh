#!/usr/bin/env bash
# Runs a Windows program of the build tree under Wine (ctest's cross-compiling emulator).
# Keeps the exit code; the prefix is the build tree's own.
set -uo pipefail
BUILD_DIR="${BUILD_DIR:-$PWD}"
# ctest runs tests from the build tree or one of its subfolders; find the tree's root.
while [ ! -f "$BUILD_DIR/CMakeCache.txt" ] && [ "$BUILD_DIR" != "/" ]; do BUILD_DIR=$(dirname "$BUILD_DIR"); done
. "$(dirname "$0")/wine-env.sh"
exec "$WINE" "$@"
