#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   native (GCC), native with AddressSanitizer + UBSan, Windows (MinGW) under Wine in
#   Xvfb, and each fuzz target for a bounded time. Ends with "N passed, N failed".
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$ROOT"
bash tools/ci/install-deps.sh || { echo "0 passed, 1 failed"; exit 1; }

# Builds use every core; tests run two at a time (the Wine journeys share a display and a prefix).
BUILD_JOBS=${BUILD_JOBS:-$(nproc 2>/dev/null || echo 2)}
JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-10}
B="$ROOT/build/ci"
mkdir -p "$B"
passed=0
failed=0

count_ctest() {  # adds the figures of a ctest summary in $1
  local line total bad
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$1" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

show_failures() {  # the output of each failed test in the ctest log $1, so the CI log says why
  awk '/^ *[0-9]+\/[0-9]+ Test +#/ { keep = ($0 ~ /\*\*\*(Failed|Timeout|Exception)/) }
       /^[0-9]+% tests passed/ { keep = 0 }
       keep' "$1" | tail -n 60
}

build() {  # name, cmake args...
  local name=$1; shift
  echo "== build $name"
  if ! { cmake -S "$ROOT" -B "$B/$name" -G Ninja "$@" >"$B/$name.configure.log" 2>&1 &&
         cmake --build "$B/$name" -j "$BUILD_JOBS" >"$B/$name.build.log" 2>&1; }; then
    tail -n 40 "$B/$name.configure.log" "$B/$name.build.log"
    echo "build $name failed"
    failed=$((failed + 1))
    return 1
  fi
}

run_ctest() {  # name, extra ctest args...
  local name=$1; shift
  echo "== test $name"
  (cd "$B/$name" && ctest -j "$JOBS" --output-on-failure "$@") >"$B/$name.test.log" 2>&1
  grep -E "\*\*\*(Failed|Timeout|Exception)|Not Run|tests passed" "$B/$name.test.log" | tail -n 30
  show_failures "$B/$name.test.log"
  count_ctest "$B/$name.test.log"
}

# Release, as a newcomer builds it and as the packages ship: -O3 warnings stop the build.
if build native -DCMAKE_BUILD_TYPE=Release; then run_ctest native; fi
if build asan -DCORVELLA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest asan
fi
if build windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake"; then
  # The end-to-end test points the program at the native feedsim.
  export FEEDSIM="$B/native/feedsim"
  # Wine programs that create windows need an X display: one Xvfb for the whole run, on a
  # display number Xvfb chose itself, so that another run on this machine never shares it.
  (. tools/wine/display.sh
   CORVELLA_SCREEN_SIZE=1024x768 CORVELLA_FORCE_XVFB=1 start_display || { echo "no X display"; exit 1; }
   trap 'kill "$XVFB_PID" 2>/dev/null' EXIT
   cd "$B/windows" && ctest -j "$JOBS" --output-on-failure) >"$B/windows.test.log" 2>&1
  grep -E "\*\*\*(Failed|Timeout|Exception)|Not Run|tests passed" "$B/windows.test.log" | tail -n 30
  show_failures "$B/windows.test.log"
  count_ctest "$B/windows.test.log"
  [ -f "$B/windows/artifacts/smoke-tray.png" ] && echo "screenshot: $B/windows/artifacts/smoke-tray.png"
fi
if build fuzz -DCORVELLA_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
  echo "== fuzz (${FUZZ_SECONDS}s each)"
  targets=$(cat "$B/fuzz/fuzz-targets.txt" 2>/dev/null | tr ';' ' ')
  for t in $targets; do
    work="$B/fuzz/work/$t"
    rm -rf "$work" && mkdir -p "$work"
    if (cd "$work" && "$B/fuzz/fuzz_$t" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 \
          "$work" "$ROOT/tests/fuzz/corpus/$t" >"$B/fuzz/$t.log" 2>&1); then
      echo "fuzz $t: ok"
      passed=$((passed + 1))
    else
      echo "fuzz $t: FAILED"; tail -n 30 "$B/fuzz/$t.log"
      failed=$((failed + 1))
    fi
  done
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
