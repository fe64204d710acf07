#!/usr/bin/env bash
# The program's HTTP client against real peers from Debian's packages: nginx as the origin
# of the weather, rates and update hosts (it takes absolute-form targets, so the client
# reaches it through its proxy setting), tinyproxy as a forward proxy that closes every
# connection and asks for Basic credentials, and squid as a forward proxy that keeps its
# connections and asks for credentials through its basic authentication helper.
# Every server runs once per group of cases, as this user, on a free loopback port, from
# configuration in a temporary folder, and is stopped at the end.
#
# Usage: interop.sh GROUP CLI FEEDSIM FEED_HOST RATES_HOST SITE_HOST
#   GROUP    nginx | tinyproxy | squid | tinyproxy-wine
#   CLI      corvella-cli, or corvella-cli.exe for tinyproxy-wine (run under Wine, with
#            BUILD_DIR the Windows build tree)
#   FEEDSIM  the native feedsim ("" for $FEEDSIM): the documents nginx serves are feedsim's,
#            so a pass through the real peers must print what a pass straight against
#            feedsim prints
set -uo pipefail
GROUP=$1 CLI=$2 FEEDSIM=${3:-${FEEDSIM:-}} FEED_HOST=$4 RATES_HOST=$5 SITE_HOST=$6
HERE=$(cd "$(dirname "$0")" && pwd)

TODAY=2026-12-07
NOW="$TODAY 14:05"
LOCATION_ID=13564  # the first location, the one a pass asks for without settings
FORECAST_TARGET="/index.php?api_lang=ru&localidad=$LOCATION_ID&affiliate_id=qk3d8w2mzx7e&v=2&h=1"
UPDATE_DATE="2024-06-01 10:00:00"
PROXY_USER=corvella
PROXY_PASSWORD='open-sesame_7'  # tinyproxy takes letters, digits and -._ only
COOKIE="bank_visit=$TODAY"

for tool in nginx python3 openssl; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (tools/ci/install-deps.sh)"; exit 1; }
done
# The Windows build's test is told where the native feedsim is, when there is one.
[ -x "$FEEDSIM" ] || { echo "SKIP: no native feedsim at '$FEEDSIM'"; exit 77; }

WORK=$(mktemp -d /tmp/corvella-interop.XXXXXX)
chmod 755 "$WORK"  # squid's helper reads from here after squid drops root
PIDS=()
FAILED=0
KEEP_WORK=0

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  if [ "$KEEP_WORK" = 1 ] || [ -n "${INTEROP_KEEP:-}" ]; then echo "logs kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  FAILED=1
  KEEP_WORK=1
}
ok() { echo "ok: $*"; }
# check DESCRIPTION COMMAND...: runs the command as the condition of one case.
check() {
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
contains() { grep -qF -- "$2" "$1"; }

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# wait_port NAME PORT PID: until the server listens, or fails when it died or took 30 s.
wait_port() {
  local _
  for _ in $(seq 1 300); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null; then return 0; fi
    kill -0 "$3" 2>/dev/null || { fail "$1 ended at start"; tail -n 20 "$WORK"/*"$1"*.log 2>/dev/null; exit 1; }
    sleep 0.1
  done
  fail "$1 does not listen on port $2"
  exit 1
}

# The native client for the cases, or the Windows one under Wine.
cli() {
  if [ "$GROUP" = tinyproxy-wine ]; then "$WINE" "$CLI" "$@"; else "$CLI" "$@"; fi
}

# --- The documents: feedsim's forecast, rates page and update file, as nginx's files -------
prepare_documents() {
  "$FEEDSIM" --port 0 --date "$TODAY" >"$WORK/feedsim.out" 2>&1 &
  local feedsim=$!
  PIDS+=("$feedsim")
  local _ port=""
  for _ in $(seq 1 100); do
    port=$(grep -oE "127\.0\.0\.1:[0-9]+" "$WORK/feedsim.out" 2>/dev/null | head -n 1 | cut -d: -f2)
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { fail "feedsim did not start"; exit 1; }
  mkdir -p "$WORK/www/meteo" "$WORK/www/rates/currency_base/daily" "$WORK/www/site/soft"
  python3 - "$port" "$FORECAST_TARGET" "$WORK/www/meteo/forecast.xml" /currency_base/daily/ \
    "$WORK/www/rates/currency_base/daily/index.html" <<'EOF' || { fail "documents from feedsim"; exit 1; }
import sys, urllib.request
port = sys.argv[1]
for target, path in zip(sys.argv[2::2], sys.argv[3::2]):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{target}", timeout=20) as r, open(path, "wb") as f:
        f.write(r.read())
EOF
  head -c 4096 /dev/urandom >"$WORK/www/site/soft/corv.exe"
  touch -d "$UPDATE_DATE UTC" "$WORK/www/site/soft/corv.exe"
  # What a pass prints when feedsim itself is its proxy.
  cli pass --proxy "127.0.0.1:$port" --now "$NOW" >"$WORK/expected-pass.txt" 2>"$WORK/expected-pass.err"
  kill "$feedsim"
  wait "$feedsim" 2>/dev/null
  if ! contains "$WORK/expected-pass.txt" "Сейчас" || ! contains "$WORK/expected-pass.txt" "Доллар"; then
    fail "a pass against feedsim itself printed no forecast or no rates:"
    cat "$WORK/expected-pass.txt" "$WORK/expected-pass.err"
    exit 1
  fi
}

# --- nginx: the three hosts ----------------------------------------------------------------
start_nginx() {
  NGINX_PORT=$(free_port)
  mkdir -p "$WORK/nginx/temp"
  cat >"$WORK/nginx/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx-error.log info;
events { worker_connections 64; }
http {
  types { text/html html; text/xml xml; application/octet-stream exe; }
  default_type application/octet-stream;
  log_format peek '\$host \$request_method \$request_uri cookie=[\$http_cookie]';
  access_log $WORK/nginx-access.log peek;
  client_body_temp_path $WORK/nginx/temp/body;
  proxy_temp_path $WORK/nginx/temp/proxy;
  fastcgi_temp_path $WORK/nginx/temp/fastcgi;
  uwsgi_temp_path $WORK/nginx/temp/uwsgi;
  scgi_temp_path $WORK/nginx/temp/scgi;
  # The real sites answer on port 80: redirects name no port.
  port_in_redirect off;
  server {
    listen 127.0.0.1:$NGINX_PORT default_server;
    return 404;
  }
  server {
    listen 127.0.0.1:$NGINX_PORT;
    server_name $FEED_HOST;
    root $WORK/www/meteo;
    location = /index.php {
      if (\$arg_localidad != "$LOCATION_ID") { return 404; }
      alias $WORK/www/meteo/forecast.xml;
      default_type text/xml;
      # Parsed for includes, so its length is unknown before it is sent: chunked.
      ssi on;
      ssi_types text/xml;
    }
  }
  server {
    listen 127.0.0.1:$NGINX_PORT;
    server_name $RATES_HOST;
    root $WORK/www/rates;
    # A folder asked for without its slash: nginx's own 301 to the trailing slash.
    location = /currency_base/daily {
      add_header Set-Cookie "$COOKIE; Path=/" always;
    }
  }
  server {
    listen 127.0.0.1:$NGINX_PORT;
    server_name $SITE_HOST;
    root $WORK/www/site;
  }
}
EOF
  nginx -p "$WORK/nginx/" -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx-error.log" 2>>"$WORK/nginx-error.log" &
  PIDS+=($!)
  wait_port nginx "$NGINX_PORT" $!
}

# --- tinyproxy: closes after every response, Basic credentials -----------------------------
start_tinyproxy() {
  command -v tinyproxy >/dev/null || { fail "tinyproxy is not installed (tools/ci/install-deps.sh)"; exit 1; }
  TINYPROXY_PORT=$(free_port)
  cat >"$WORK/tinyproxy.conf" <<EOF
Port $TINYPROXY_PORT
Listen 127.0.0.1
Timeout 30
MaxClients 16
PidFile "$WORK/tinyproxy.pid"
LogFile "$WORK/tinyproxy.log"
LogLevel Connect
BasicAuth $PROXY_USER $PROXY_PASSWORD
Upstream http 127.0.0.1:$NGINX_PORT
EOF
  tinyproxy -d -c "$WORK/tinyproxy.conf" >>"$WORK/tinyproxy.log" 2>&1 &
  PIDS+=($!)
  wait_port tinyproxy "$TINYPROXY_PORT" $!
}

# --- squid: keeps connections, credentials through basic_ncsa_auth -------------------------
SQUID_HELPER=/usr/lib/squid/basic_ncsa_auth
start_squid() {
  command -v squid >/dev/null || { fail "squid is not installed (tools/ci/install-deps.sh)"; exit 1; }
  [ -x "$SQUID_HELPER" ] || { fail "no $SQUID_HELPER"; exit 1; }
  SQUID_PORT=$(free_port)
  mkdir -p "$WORK/squid"
  printf '%s:%s\n' "$PROXY_USER" "$(openssl passwd -apr1 "$PROXY_PASSWORD")" >"$WORK/squid/passwd"
  : >"$WORK/squid/errorpage.css"
  cat >"$WORK/squid/squid.conf" <<EOF
http_port 127.0.0.1:$SQUID_PORT
visible_hostname corvella-interop
pid_filename $WORK/squid/squid.pid
cache_log $WORK/squid/cache.log
logformat peek %>a:%>p %rm %ru %>Hs %un
access_log stdio:$WORK/squid/access.log peek
coredump_dir $WORK/squid
cache deny all
cache_mem 8 MB
hosts_file none
mime_table /usr/share/squid/mime.conf
err_page_stylesheet $WORK/squid/errorpage.css
netdb_filename none
pinger_enable off
shutdown_lifetime 0 seconds
auth_param basic program $SQUID_HELPER $WORK/squid/passwd
auth_param basic children 1 startup=1 idle=1
auth_param basic realm corvella-interop
acl users proxy_auth REQUIRED
http_access allow users
http_access deny all
cache_peer 127.0.0.1 parent $NGINX_PORT 0 no-query no-digest no-netdb-exchange default name=origin
never_direct allow all
EOF
  # Run as root, squid drops to its own user: its folder must be that user's.
  if [ "$(id -u)" = 0 ]; then chown -R proxy "$WORK/squid" 2>/dev/null || chown -R nobody "$WORK/squid"; fi
  squid -N -f "$WORK/squid/squid.conf" >"$WORK/squid-run.log" 2>&1 &
  PIDS+=($!)
  wait_port squid "$SQUID_PORT" $!
}

# --- The cases ------------------------------------------------------------------------------
# pass_case NAME PROXY_PORT [pass options]: a whole pass prints what it printed against feedsim.
pass_case() {
  local name=$1 port=$2
  shift 2
  local out="$WORK/pass-$name.txt"
  cli pass --proxy "127.0.0.1:$port" --now "$NOW" "$@" >"$out" 2>"$WORK/pass-$name.err"
  local rc=$?
  if [ "$rc" = 0 ] && cmp -s "$out" "$WORK/expected-pass.txt"; then
    ok "a whole pass through $name: forecast and rates"
  else
    fail "a whole pass through $name (exit code $rc) printed:"
    cat "$out" "$WORK/pass-$name.err"
    echo "--- expected:"
    cat "$WORK/expected-pass.txt"
  fi
}

# get_case NAME OUTFILE [get options] URL: one request; stdout to OUTFILE, stderr to OUTFILE.err.
get_case() {
  local out=$1
  shift
  cli get "$@" >"$out" 2>"$out.err"
}

# redirect_case NAME PROXY_PORT [credential options]: the folder without its slash is redirected,
# the cookie of the redirect comes back, and the page arrives whole.
redirect_case() {
  local name=$1 port=$2
  shift 2
  local out="$WORK/redirect-$name"
  if get_case "$out" --proxy "127.0.0.1:$port" "$@" "http://$RATES_HOST/currency_base/daily" &&
     cmp -s "$out" "$WORK/www/rates/currency_base/daily/index.html"; then
    ok "through $name: the 301 to the trailing slash is followed to the rates page"
  else
    fail "through $name: the redirect to the trailing slash"
    cat "$out.err"
  fi
  check "through $name: the redirect's cookie comes back on the next request to the host" \
    contains "$WORK/nginx-access.log" "$RATES_HOST GET /currency_base/daily/ cookie=[$COOKIE]"
}

# update_case NAME PROXY_PORT [credential options]: HEAD of the update file reads its date.
update_case() {
  local name=$1 port=$2
  shift 2
  local out="$WORK/head-$name"
  if TZ=UTC cli head --proxy "127.0.0.1:$port" "$@" "http://$SITE_HOST/soft/corv.exe" >"$out" 2>"$out.err" &&
     contains "$out.err" "LastModified: ${UPDATE_DATE}"; then
    ok "through $name: Last-Modified of the update file"
  else
    fail "through $name: Last-Modified of the update file"
    cat "$out.err"
  fi
}

# credential_cases NAME PROXY_PORT: no or wrong credentials fail with the proxy's 407.
credential_cases() {
  local name=$1 port=$2
  local out="$WORK/denied-$name"
  get_case "$out" --proxy "127.0.0.1:$port" "http://$RATES_HOST/currency_base/daily/"
  check "through $name: without credentials the request fails with 407 (exit code $?)" \
    grep -qE "^HTTP/1\.[01] 407 " "$out.err"
  get_case "$out-wrong" --proxy "127.0.0.1:$port" --proxy-user "$PROXY_USER" --proxy-password wrong \
    "http://$RATES_HOST/currency_base/daily/"
  # (tinyproxy refuses wrong ones with a 401 of its own)
  check "through $name: wrong credentials are refused and not sent again (exit code $?)" \
    grep -qE "^HTTP/1\.[01] 40[17] " "$out-wrong.err"
  # The right ones get the page (the redirect case asks for it the long way round).
  if get_case "$out-right" --proxy "127.0.0.1:$port" --proxy-user "$PROXY_USER" \
       --proxy-password "$PROXY_PASSWORD" "http://$RATES_HOST/currency_base/daily/" &&
     cmp -s "$out-right" "$WORK/www/rates/currency_base/daily/index.html"; then
    ok "through $name: with the right credentials the page arrives"
  else
    fail "through $name: with the right credentials"
    cat "$out-right.err"
  fi
}

CREDENTIALS=(--proxy-user "$PROXY_USER" --proxy-password "$PROXY_PASSWORD")
PASS_CREDENTIALS=(--set "loginPrx=$PROXY_USER" --set "paswPrx=$PROXY_PASSWORD")

started=$(date +%s)
case "$GROUP" in
  nginx)
    prepare_documents
    start_nginx
    pass_case nginx "$NGINX_PORT"
    out="$WORK/forecast"
    get_case "$out" --proxy "127.0.0.1:$NGINX_PORT" "http://$FEED_HOST$FORECAST_TARGET"
    check "the forecast comes chunked from nginx" contains "$out.err" "Transfer-Encoding: chunked"
    check "the chunked forecast arrives byte for byte" cmp -s "$out" "$WORK/www/meteo/forecast.xml"
    redirect_case nginx "$NGINX_PORT"
    update_case nginx "$NGINX_PORT"
    ;;
  tinyproxy)
    prepare_documents
    start_nginx
    start_tinyproxy
    pass_case tinyproxy "$TINYPROXY_PORT" "${PASS_CREDENTIALS[@]}"
    redirect_case tinyproxy "$TINYPROXY_PORT" "${CREDENTIALS[@]}"
    # What the two cases above stand for: the proxy closed after every answer, unasked.
    requests=$(grep -c "Request (file descriptor" "$WORK/tinyproxy.log")
    connections=$(grep -c "Connect (file descriptor" "$WORK/tinyproxy.log")
    check "tinyproxy took each of $requests requests on a connection of its own ($connections)" \
      test "$requests" -ge 6 -a "$connections" -ge "$requests"
    credential_cases tinyproxy "$TINYPROXY_PORT"
    update_case tinyproxy "$TINYPROXY_PORT" "${CREDENTIALS[@]}"
    ;;
  squid)
    prepare_documents
    start_nginx
    start_squid
    pass_case squid "$SQUID_PORT" "${PASS_CREDENTIALS[@]}"
    # Four exchanges (each document asked without, then with credentials), one connection.
    # (the start-up probe's empty connection left a line without a method)
    grep -E '^[^ ]+ GET ' "$WORK/squid/access.log" >"$WORK/squid/pass.log"
    ports=$(awk '{print $1}' "$WORK/squid/pass.log" | sort -u | wc -l)
    exchanges=$(wc -l <"$WORK/squid/pass.log")
    check "the pass kept its one connection to squid ($exchanges exchanges, $ports connections)" \
      test "$exchanges" -ge 4 -a "$ports" = 1
    redirect_case squid "$SQUID_PORT" "${CREDENTIALS[@]}"
    credential_cases squid "$SQUID_PORT"
    update_case squid "$SQUID_PORT" "${CREDENTIALS[@]}"
    ;;
  tinyproxy-wine)
    BUILD_DIR=${BUILD_DIR:?the Windows build tree}
    . "$HERE/../../tools/wine/wine-env.sh"
    prepare_documents
    start_nginx
    start_tinyproxy
    pass_case tinyproxy-under-wine "$TINYPROXY_PORT" "${PASS_CREDENTIALS[@]}"
    redirect_case tinyproxy-under-wine "$TINYPROXY_PORT" "${CREDENTIALS[@]}"
    ;;
  *)
    echo "unknown group '$GROUP'"
    exit 2
    ;;
esac
echo "group $GROUP took $(( $(date +%s) - started )) s"
[ "$FAILED" = 0 ]
