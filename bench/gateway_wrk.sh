#!/usr/bin/env bash
# Benchmark (not a test): cached feed-document requests per second and 99th-percentile latency
# of corvella-gateway, with keep-alive, against nginx serving the same document as a static file,
# in one run on this machine. The gateway's sources are the HTTPS stand-ins of the gateway tests.
# Usage: [ROUNDS=3] gateway_wrk.sh BUILD_DIR [SECONDS [CONNECTIONS [THREADS]]]
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SECONDS_EACH=${2:-10}
CONNECTIONS=${3:-64}
THREADS=${4:-2}
HERE=$(cd "$(dirname "$0")" && pwd)
for tool in wrk nginx openssl python3 curl; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (tools/ci/install-deps.sh)"; exit 1; }
done
WORK=$(mktemp -d /tmp/corvella-gateway-wrk.XXXXXX)
chmod 755 "$WORK"  # nginx workers may run as another user
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

cd "$WORK"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 1 -subj "/CN=bench CA" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout up.key -out up.csr -subj "/CN=127.0.0.1" 2>/dev/null
echo "subjectAltName=IP:127.0.0.1" >ext.cnf
openssl x509 -req -in up.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out up.pem -days 1 -extfile ext.cnf 2>/dev/null
python3 "$HERE/../tests/gateway/standin_upstreams.py" up.pem up.key "$HERE/../tests/gateway/fixtures/bank_daily.xml" up.port &
PIDS+=($!)
for _ in $(seq 50); do [ -f up.port ] && break; sleep 0.1; done
UP="https://127.0.0.1:$(cat up.port)"

GW_PORT=$(free_port)
"$BUILD/corvella-gateway" --listen "127.0.0.1:$GW_PORT" --threads 2 --ca-file ca.pem --db gw.sqlite \
  --forecast-url "$UP/v1/forecast" --geocoding-url "$UP/v1/search" --rates-url "$UP/scripts/XML_daily.asp" 2>gw.log &
PIDS+=($!)
TARGET="/index.php?api_lang=ru&localidad=230569&affiliate_id=qk3d8w2mzx7e&v=2&h=1"
HOST_FIELD="Host: meteo.velmar.example"  # the gateway serves its own names only
for _ in $(seq 50); do curl -sf -H "$HOST_FIELD" "http://127.0.0.1:$GW_PORT$TARGET" -o doc.xml && break; sleep 0.2; done
[ -s doc.xml ] || { echo "the gateway served no document"; cat gw.log; exit 1; }

NG_PORT=$(free_port)
mkdir -p nginx/temp
cat >nginx/nginx.conf <<CONF
daemon off; worker_processes 2; pid $WORK/nginx/nginx.pid; error_log $WORK/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off; keepalive_requests 1000000;
  client_body_temp_path $WORK/nginx/temp/body; proxy_temp_path $WORK/nginx/temp/proxy;
  fastcgi_temp_path $WORK/nginx/temp/fastcgi; uwsgi_temp_path $WORK/nginx/temp/uwsgi;
  scgi_temp_path $WORK/nginx/temp/scgi;
  server {
    listen 127.0.0.1:$NG_PORT;
    location = /index.php { alias $WORK/doc.xml; default_type text/xml; }
  }
}
CONF
nginx -p "$WORK/nginx/" -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx/error.log" 2>/dev/null &
PIDS+=($!)
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$NG_PORT$TARGET" -o /dev/null && break; sleep 0.1; done
curl -s "http://127.0.0.1:$NG_PORT$TARGET" -o static.xml
cmp -s doc.xml static.xml || { echo "nginx serves another document"; cat nginx/error.log; exit 1; }

# requests/s and p99 (ms) of one wrk run
measure() {
  local out rps p99
  out=$(wrk -t"$THREADS" -c"$CONNECTIONS" -d"${SECONDS_EACH}s" --latency -H "$HOST_FIELD" "$1")
  rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {v=$2; if (v ~ /us$/) {sub(/us/,"",v); v/=1000} else if (v ~ /ms$/) sub(/ms/,"",v); else if (v ~ /s$/) {sub(/s/,"",v); v*=1000}; print v}' <<<"$out")
  echo "$rps $p99"
}
# The machine may be shared: the two are measured in turns, ROUNDS times, and the
# median of the rounds' ratios is the figure.
ROUNDS=${ROUNDS:-3}
echo "document: $(wc -c <doc.xml) bytes; wrk -t$THREADS -c$CONNECTIONS -d${SECONDS_EACH}s, keep-alive, $ROUNDS rounds"
printf '%-6s %16s %8s %16s %8s %7s\n' round "gateway req/s" "p99 ms" "nginx req/s" "p99 ms" ratio
RATIOS=()
for round in $(seq "$ROUNDS"); do
  read -r GW_RPS GW_P99 < <(measure "http://127.0.0.1:$GW_PORT$TARGET")
  read -r NG_RPS NG_P99 < <(measure "http://127.0.0.1:$NG_PORT$TARGET")
  RATIO=$(python3 -c "print('%.2f' % ($GW_RPS / $NG_RPS))")
  RATIOS+=("$RATIO")
  printf '%-6s %16s %8s %16s %8s %7s\n' "$round" "$GW_RPS" "$GW_P99" "$NG_RPS" "$NG_P99" "$RATIO"
done
python3 -c "import statistics, sys; print('gateway / nginx: %.2f of the rate (median of %d rounds)' % (statistics.median(map(float, sys.argv[1:])), len(sys.argv) - 1))" "${RATIOS[@]}"
