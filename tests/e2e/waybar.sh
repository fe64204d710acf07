#!/usr/bin/env bash
# The README's Waybar module: against feedsim it prints one JSON object with the temperature
# and sky on the bar and the forecast window's text as the tooltip; with no server, the "no data" object.
# Usage: waybar.sh CORVELLA_CLI FEEDSIM
set -uo pipefail
CLI=$1
FEEDSIM=$2
MODULE="$(cd "$(dirname "$0")/../.." && pwd)/docs/waybar/corvella.sh"
OUT=$(mktemp -d)
"$FEEDSIM" --port 0 >"$OUT/feedsim.out" 2>&1 &
FEEDSIM_PID=$!
trap 'kill $FEEDSIM_PID 2>/dev/null; rm -rf "$OUT"' EXIT
for _ in $(seq 1 50); do grep -q listening "$OUT/feedsim.out" 2>/dev/null && break; sleep 0.1; done
PORT=$(grep -oE "127\.0\.0\.1:[0-9]+" "$OUT/feedsim.out" | head -n 1 | cut -d: -f2)
[ -n "$PORT" ] || { echo "FAIL: feedsim did not start"; exit 1; }

json=$(CORVELLA_CLI="$CLI" "$MODULE" --proxy "127.0.0.1:$PORT" --now "2026-03-10 12:00")
echo "$json"
echo "$json" | jq -e '(.text | test("^[-+]?[0-9]+([.,][0-9]+)?° \\S+")) and (.tooltip | test("^[^\n]+\nСейчас [^\n]+, ощущается как [^\n]+, ветер [^\n]+ мм рт\\. ст\\."))
                     and (.tooltip | test("\nДоллар [0-9]+,[0-9]+")) and .class == "ok"' >/dev/null ||
  { echo "FAIL: not the module's JSON with data"; exit 1; }
[ "$(echo "$json" | wc -l)" -eq 1 ] || { echo "FAIL: Waybar reads one line per update"; exit 1; }

json=$(CORVELLA_CLI="$CLI" "$MODULE" --proxy 127.0.0.1:1)
echo "$json" | jq -e '.class == "error" and (.text | length) > 0' >/dev/null ||
  { echo "FAIL: no \"no data\" object without a server: $json"; exit 1; }
echo PASS
