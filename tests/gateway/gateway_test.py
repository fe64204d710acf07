#!/usr/bin/env python3
"""corvella-gateway against stand-in upstreams over HTTPS (a CA made here with openssl).

usage: gateway_test.py GROUP GATEWAY [CLI | PORT_FILE]
  faults  routes, limits, coalescing, and every upstream fault ending in a stale document or a
          clear status; the rates' change, tomorrow and history; bad configuration; SIGTERM
  e2e     corvella-cli pass through the gateway as its proxy shows the stand-in's weather and
          all ten rates in the client's units
  serve   only runs the stand-ins and a gateway (for the Wine journey), until SIGTERM
"""
import datetime
import hashlib
import http.client
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GROUP, GATEWAY = sys.argv[1], sys.argv[2]
CLI = sys.argv[3] if len(sys.argv) > 3 else None
FEED_QUERY = "/index.php?api_lang=ru&localidad={}&affiliate_id=qk3d8w2mzx7e&v=2&h=1"
FEED_HOST = os.environ.get("FEED_HOST", "meteo.velmar.example")
RATES_HOST = os.environ.get("RATES_HOST", "rates.velmar.example")
work = tempfile.mkdtemp(prefix="corvella-gateway-test.")
procs = []
failures = []


def check(what, condition, detail=""):
    print(("ok: " if condition else "FAIL: ") + what + ("" if condition else " " + str(detail)))
    if not condition:
        failures.append(what)


def publish(folder, name, data, mtime=None):
    """A release as the README says to publish one: the file, then its checksum beside it."""
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    if mtime:
        os.utime(os.path.join(folder, name), (mtime, mtime))
    with open(os.path.join(folder, name + ".sha256"), "w") as f:
        f.write(hashlib.sha256(data).hexdigest() + "  " + name + "\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_ca():
    def run(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=work)
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
        "-subj", "/CN=corvella test CA")
    run("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "up.key", "-out", "up.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(work, "ext.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    run("x509", "-req", "-in", "up.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out", "up.pem",
        "-days", "2", "-extfile", "ext.cnf")


def start_standin():
    port_file = os.path.join(work, "standin.port")
    procs.append(subprocess.Popen([sys.executable, os.path.join(HERE, "standin_upstreams.py"),
                                   os.path.join(work, "up.pem"), os.path.join(work, "up.key"),
                                   os.path.join(HERE, "fixtures", "bank_daily.xml"), port_file]))
    for _ in range(100):
        if os.path.exists(port_file):
            return int(open(port_file).read())
        time.sleep(0.1)
    raise SystemExit("stand-in did not start")


def upstream(port, path, method="GET"):
    ctx = ssl.create_default_context(cafile=os.path.join(work, "ca.pem"))
    c = http.client.HTTPSConnection("127.0.0.1", port, context=ctx, timeout=10)
    c.request(method, path)
    return json.loads(c.getresponse().read() or b"{}")


def start_gateway(up, name, *extra, rates_url=None):
    port = free_port()
    base = "https://127.0.0.1:%d" % up
    args = [GATEWAY, "--listen", "127.0.0.1:%d" % port, "--ca-file", os.path.join(work, "ca.pem"),
            "--forecast-url", base + "/v1/forecast", "--geocoding-url", base + "/v1/search",
            "--rates-url", rates_url or base + "/scripts/XML_daily.asp", "--db", os.path.join(work, name + ".sqlite"),
            *extra]
    log = open(os.path.join(work, name + ".log"), "w")
    p = subprocess.Popen(args, stderr=log)
    procs.append(p)
    for _ in range(100):
        try:
            if get(port, "/healthz")[0] == 200:
                return port, p
        except OSError:
            time.sleep(0.1)
    raise SystemExit("gateway did not start: " + open(log.name).read())


def get(port, target, method="GET", headers=None):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
    c.putrequest(method, target, skip_host=True, skip_accept_encoding=True)
    for k, v in (headers or {"Host": FEED_HOST}).items():
        c.putheader(k, v)
    c.endheaders()
    r = c.getresponse()
    body = r.read()
    return r.status, body, r


def rate_cells(page, name):
    """The extra cells of a currency's row on the rates page: change, tomorrow (with date), history."""
    row = page.decode().split(name + "</td>", 1)[-1].split("</tr>", 1)[0]
    cells = dict(re.findall(r'<td class="(\w+)"(?: data-date="[^"]*")?>([^<]*)</td>', row))
    date = re.search(r'data-date="([^"]*)"', row)
    if date:
        cells["date"] = date.group(1)
    return cells


def wait_for_history(port, name):
    for _ in range(60):
        cells = rate_cells(get(port, "/currency_base/daily/")[1], name)
        if "history" in cells:
            return cells
        time.sleep(0.5)
    return cells


def bank_published(up):
    """A gateway started after the bank published tomorrow's list: today's in the rate cell,
    tomorrow's beside it; the series asked once a day, so a restart asks none again."""
    upstream(up, "/control?published=1", "POST")
    before = upstream(up, "/stats")
    port, gw = start_gateway(up, "bank")
    wait_for_history(port, "Японских иен")
    usd = rate_cells(get(port, "/currency_base/daily/")[1], "Доллар США")
    tomorrow = (datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(hours=27)).strftime("%d.%m.%Y")
    body = get(port, "/currency_base/daily/")[1]
    check("published: today's rate in the rate cell, tomorrow's in its own",
          "Доллар США</td><td>84,1200</td>".encode() in body and usd.get("tomorrow") == "84,5000" and
          usd.get("date") == tomorrow, usd)
    after = upstream(up, "/stats")
    check("... from the latest list, today's by date and ten series",
          (after["rates_calls"] - before["rates_calls"], after["series_calls"] - before["series_calls"]) == (2, 10),
          (before, after))
    gw.send_signal(signal.SIGTERM)
    gw.wait(timeout=10)
    port, gw = start_gateway(up, "bank")
    again = wait_for_history(port, "Японских иен")
    again = rate_cells(get(port, "/currency_base/daily/")[1], "Доллар США")
    check("restarted: the stored series, none asked again",
          again.get("history") == usd["history"] and upstream(up, "/stats")["series_calls"] == after["series_calls"],
          again)
    gw.send_signal(signal.SIGTERM)
    gw.wait(timeout=10)
    upstream(up, "/control?published=0", "POST")


def feed(port, place):
    return get(port, FEED_QUERY.format(place))


def faults():
    up = start_standin()
    release = os.path.join(work, "release")
    os.makedirs(release)
    publish(release, "corvella-5.9.exe", b"MZ" + b"\0" * 100, 1717236000)
    port, gw = start_gateway(up, "faults", "--catalogue", os.path.join(HERE, "fixtures", "places.txt"),
                             "--release-dir", release, "--fresh-seconds", "3", "--stale-seconds", "12", "--gather-ms", "300", "--max-client-connections", "20",
                             "--timeout", "2")

    # Routes and requests the gateway refuses.
    status, body, r = feed(port, 1001)
    check("feed 200 with the stand-in's current temperature", status == 200 and b'<temp value="-3.4"/>' in body, body[:200])
    check("feed carries max-age", r.getheader("Cache-Control", "").startswith("max-age="))
    check("proxy form for the feed host", get(port, "http://%s:80%s" % (FEED_HOST, FEED_QUERY.format(1001)))[0] == 200)
    check("proxy form on another port is refused", get(port, "http://%s:8080/healthz" % FEED_HOST)[0] == 403)
    check("proxy form for another host is refused", get(port, "http://example.org/index.php")[0] == 403)
    check("CONNECT is refused", get(port, "example.org:443", "CONNECT")[0] == 403)
    check("malformed query 400", get(port, "/index.php?api_lang=ru&localidad=12a&affiliate_id=x&v=2&h=1")[0] == 400)
    check("repeated key 400", get(port, FEED_QUERY.format(1001) + "&v=2")[0] == 400)
    check("unknown place 404", feed(port, 999999)[0] == 404)
    check("unknown path 404", get(port, "/nothing")[0] == 404)
    check("POST 405", get(port, "/healthz", "POST")[0] == 405)
    check("oversized header 431", get(port, "/healthz", headers={"Host": "x", "X-Big": "a" * 20000})[0] == 431)
    status, _, r = get(port, "/soft/corv.exe", "HEAD")
    check("HEAD update file with Last-Modified", status == 200 and
          r.getheader("Last-Modified") == "Sat, 01 Jun 2024 10:00:00 GMT", r.getheader("Last-Modified"))
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)  # one connection, kept alive
    c.request("HEAD", "/nothing", headers={"Host": FEED_HOST})
    r = c.getresponse()
    r.read()
    c.request("GET", "/healthz")
    check("HEAD 404 has no body: the next answer on the connection is intact",
          r.status == 404 and int(r.getheader("Content-Length")) > 0 and c.getresponse().read() == b"ok\n")
    check("GET update file", get(port, "http://www.velmar.example/soft/corv.exe")[1].startswith(b"MZ"))
    status, body, _ = get(port, "/currency_base/daily/")
    check("rates page", status == 200 and "Доллар США</td><td>84,1200".encode() in body)
    wait_for_history(port, "Японских иен")  # the last series asked
    usd = rate_cells(get(port, "/currency_base/daily/")[1], "Доллар США")
    history = usd.get("history", "").split()
    check("the dollar's history: 30 rates ending with today's, its change signed",
          len(history) == 30 and history[-1] == "84,1200" and usd.get("change", "").startswith("+"), usd)
    cny = rate_cells(get(port, "/currency_base/daily/")[1], "Китайских юаней")
    check("the yuan's history per ten across its change of nominal",
          "history" in cny and all(100 < float(v.replace(",", ".")) < 120 for v in cny["history"].split()), cny)
    check("no tomorrow before the bank publishes it", "tomorrow" not in usd, usd)

    # One client holds at most 20 connections: the 21st is closed unanswered, and a freed one counts
    # again. The client is 127.0.0.2, so that no earlier connection of this test counts.
    def connect():
        return socket.create_connection(("127.0.0.1", port), timeout=5, source_address=("127.0.0.2", 0))

    def answered(sock):
        sock.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        try:
            return sock.recv(100).startswith(b"HTTP/1.1 200")
        except ConnectionResetError:  # closed with the request unread
            return False

    held = [connect() for _ in range(20)]
    check("20 connections of one client are served", all(answered(c) for c in held))
    check("the 21st is closed unanswered", not answered(connect()))
    for c in held:
        c.close()
    freed = False
    for _ in range(50):
        freed = answered(connect())
        if freed:
            break
        time.sleep(0.1)
    check("... and freed ones count again", freed)

    # Coalescing: concurrent asks for five places become one call.
    before = upstream(up, "/stats")
    results = []
    threads = [threading.Thread(target=lambda p=p: results.append(feed(port, p)[0])) for p in
               (1004, 1005, 1005, 1006, 1007, 1008, 1004)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    after = upstream(up, "/stats")
    check("seven asks for five places: all 200", results == [200] * 7, results)
    check("... in one forecast call of five places",
          (after["forecast_calls"] - before["forecast_calls"], after["forecast_places"] - before["forecast_places"]) == (1, 5),
          (before, after))
    feed(port, 1004)
    check("a fresh place is not fetched again", upstream(up, "/stats")["forecast_calls"] == after["forecast_calls"])

    # Geocoding: the place is unknown, so its region's centre stands in; an unknown region has none.
    check("unknown place name: the region's centre", feed(port, 1002)[0] == 200)
    check("unknown place in an unknown region: 503", feed(port, 1003)[0] == 503)

    # Each fault on a new place gives 503; on a cached place past freshness the stale copy.
    good = feed(port, 1018)[1]
    time.sleep(3.2)
    for mode, place in (("down", 1009), ("slow", 1010), ("400", 1011), ("garbage", 1012), ("truncated", 1013),
                        ("wrong_length", 1016)):
        upstream(up, "/control?forecast=" + mode, "POST")
        check(mode + ": a new place gets 503", feed(port, place)[0] == 503)
    status, body, _ = feed(port, 1018)
    check("stale copy served while the source fails", status == 200 and body == good, (status, body[:100]))
    upstream(up, "/control?forecast=429", "POST")
    status, _, r = feed(port, 1014)
    check("429: 503 with Retry-After", status == 503 and int(r.getheader("Retry-After", "0")) >= 2,
          (status, r.getheader("Retry-After")))
    calls = upstream(up, "/stats")["forecast_calls"]
    check("429: no call while held off", feed(port, 1015)[0] == 503 and
          upstream(up, "/stats")["forecast_calls"] == calls)
    time.sleep(7)
    check("past the stale limit: 503", feed(port, 1018)[0] == 503)
    upstream(up, "/control?forecast=ok", "POST")
    time.sleep(0.5)
    metrics = get(port, "/metrics")[1].decode()
    for name in ('corvella_requests_total{route="feed",status="200"}', 'corvella_forecast_cache_total{outcome="hit"}',
                 'corvella_upstream_calls_total{source="forecast",outcome="refused"}',
                 'corvella_upstream_calls_total{source="forecast",outcome="malformed"}',
                 "corvella_upstream_seconds_bucket"):
        check("metrics: " + name, name in metrics)
    gw.send_signal(signal.SIGTERM)
    check("SIGTERM: clean exit", gw.wait(timeout=10) == 0)
    bank_published(up)

    log = open(os.path.join(work, "faults.log")).read()
    check("a source's error reason stays on its log line", "\nforecast: injected" not in log and
          "value\\x0aforecast: injected" in log, log)

    # A gateway with the provider's key in a file, a fresh store, and the bank never answering:
    # the rates page is 503, never an empty table.
    key = "k3y-" + str(os.getpid())
    with open(os.path.join(work, "api-key"), "w") as f:
        f.write(key + "\n")
    port, gw = start_gateway(up, "nobank", "--catalogue", os.path.join(HERE, "fixtures", "places.txt"),
                             "--api-key-file", os.path.join(work, "api-key"), "--fresh-seconds", "2",
                             "--timeout", "2", "--gather-ms", "100", "--daily-calls", "22",
                             rates_url="https://127.0.0.1:%d/nothing" % up)
    check("no rates yet: 503", get(port, "/currency_base/daily/")[0] == 503)
    check("the key from its file goes to the source", feed(port, 1001)[0] == 200 and
          upstream(up, "/stats")["apikeys"][-1:] == [key])
    check("... and not in the process list", key.encode() not in open("/proc/%d/cmdline" % gw.pid, "rb").read())
    upstream(up, "/control?forecast=307", "POST")
    check("a redirect from the forecast source is not followed: 503, nothing sent on",
          feed(port, 1005)[0] == 503 and upstream(up, "/stats")["caught"] == 0)
    # A stalled geocoder holds up neither a served place's refresh nor the answers to new places.
    upstream(up, "/control?forecast=ok&geocode=slow", "POST")
    time.sleep(2.1)
    results = {}
    threads = [threading.Thread(target=lambda p=p: results.update({p: feed(port, p)[0]}))
               for p in (1001, 1006, 1007, 1008, 1009, 1010)]
    start = time.time()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    check("stalled geocoder: the served place refreshed, new places 503, all within seconds",
          results == {1001: 200, 1006: 503, 1007: 503, 1008: 503, 1009: 503, 1010: 503} and
          time.time() - start < 8, (results, time.time() - start))
    upstream(up, "/control?geocode=huge", "POST")
    check("a geocoder reply past its cap: 503", feed(port, 1011)[0] == 503)
    upstream(up, "/control?geocode=ok", "POST")
    # A day of 22 forecast calls keeps 5 for refreshes (geocoding has the free tier's own): one
    # client walking through new places spends the rest (a place's 15 variables weigh 1.5 calls,
    # which a call for one place rounds up to 2), and the served place is still refreshed.
    walked = [feed(port, p)[0] for p in (1012, 1013, 1014, 1015, 1016, 1017, 1018, 1004)]
    calls = upstream(up, "/stats")["forecast_calls"]
    time.sleep(3.5)
    check("a walk through new places ends at the budget for new places, 503",
          walked[:4] == [200] * 4 and walked[-2:] == [503] * 2, walked)
    check("... and the served place is still refreshed", feed(port, 1001)[0] == 200 and
          upstream(up, "/stats")["forecast_calls"] > calls)
    gw.send_signal(signal.SIGTERM)
    gw.wait(timeout=10)
    log = open(os.path.join(work, "nobank.log")).read()
    check("... the cap is in the log, the key is not", "reply larger than 1048576 bytes" in log and key not in log, log)

    # Warming the store: every place once, and a second run finds them all stored.
    base = "https://127.0.0.1:%d/v1/search" % up
    warm = [GATEWAY, "geocode", "--all", "--catalogue", os.path.join(HERE, "fixtures", "places.txt"),
            "--geocoding-url", base, "--ca-file", os.path.join(work, "ca.pem"), "--db", os.path.join(work, "warm.sqlite")]
    calls = upstream(up, "/stats")["geocode_calls"]
    first = subprocess.run(warm, capture_output=True, text=True, timeout=60)
    check("geocode --all: finished with progress", first.returncode == 0 and "finished at 18/18" in first.stderr,
          first.stderr)
    check("... one search per place, one more for the centre of the place it does not know",
          upstream(up, "/stats")["geocode_calls"] - calls == 18 + 1, first.stderr)
    again = subprocess.run(warm, capture_output=True, text=True, timeout=60)
    check("geocode --all again: nothing left to ask", "18 of 18 places already stored" in again.stderr and
          "0 looked up" in again.stderr, again.stderr)

    for args in (["--bogus", "1"], ["--catalogue", "/nonexistent"], ["--listen", "nowhere"],
                 ["--ca-file", os.path.join(HERE, "fixtures", "places.txt")], ["--fresh-seconds", "0"],
                 ["--forecast-url", "ftp://x"], ["geocode"]):
        r = subprocess.run([GATEWAY, *args], capture_output=True, text=True, timeout=10)
        check("bad configuration %s: exit 2, one line" % args[0],
              r.returncode == 2 and r.stderr.count("\n") == 1, (r.returncode, r.stderr))


# Every currency selected, by the names the settings are stored under.
ALL_RATES = [a for name in ("доллар", "евро", "гривен", "золото", "Турецкая лира", "v12", "Датских крон",
                            "Китайских юаней", "Казахских тенге", "v13") for a in ("--set", name + "=1")]


def e2e():
    up = start_standin()
    port, gw = start_gateway(up, "e2e")
    for _ in range(50):
        if get(port, "/currency_base/daily/")[0] == 200:
            break
        time.sleep(0.2)
    if time.time() % 3600 > 3590:
        time.sleep(15)  # the client's hour and the document's must be the same hour
    now = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(hours=3)  # the stand-in's offset
    r = subprocess.run([CLI, "pass", "--proxy", "127.0.0.1:%d" % port, "--location", "0",
                        "--now", now.strftime("%Y-%m-%d %H:%M+03:00"), *ALL_RATES], capture_output=True, text=True, timeout=60)
    out = r.stdout
    print(out)
    check("pass exit 0", r.returncode == 0, r.stderr)
    check("current temperature and sky", "-3.4° Дождь" in out, out)
    check("tomorrow", "Завтра от -12° до -4°" in out, out)
    check("day after tomorrow", "Послезавтра от -11° до -3°" in out, out)
    for line in ("Доллар 84,1200", "Евро 92,8800", "Франк 97,9000", "Фунт 108,2500", "Лира 2,2151",
                 "10 Гривен 20,3300", "10 Крон 124,1000", "10 Юаней 115,6333", "100 Тенге 16,7300",
                 "100 Иен 57,6400"):
        check("rate " + line, line in out)
    # The same pass as the forecast window shows it: the source's m/s, hPa at the surface and
    # feels-like, converted and rounded; its null chances of precipitation left out.
    r = subprocess.run([CLI, "forecast", "--proxy", "127.0.0.1:%d" % port, "--location", "0",
                        "--now", now.strftime("%Y-%m-%d %H:%M+03:00")], capture_output=True, text=True, timeout=60)
    out = r.stdout
    print(out)
    check("forecast exit 0", r.returncode == 0, r.stderr)
    check("now line", ", ощущается как -14°, ветер ЮЗ, 4 м/с, порывы 9, 745 мм рт. ст., влажность 81 %" in out, out)
    hours = [line for line in out.splitlines() if re.match(r"\d\d:00 ", line)]
    check("24 hours with their precipitation and no chance",
          len(hours) == 24 and all(line.endswith(", 0,4 мм") for line in hours), out)
    check("days with their sums and wind", ", 10 мм, ветер ЮЗ, 4 м/с, порывы 9" in out, out)
    gw.send_signal(signal.SIGTERM)
    gw.wait(timeout=10)


def start_site(port):
    """deploy/'s nginx site on free ports (plain, TLS) of this user, in front of the gateway at `port`."""
    plain, tls = free_port(), free_port()
    subprocess.run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", "site.key", "-out", "site.csr",
                    "-subj", "/CN=" + FEED_HOST], check=True, capture_output=True, cwd=work)
    with open(os.path.join(work, "site.cnf"), "w") as f:
        f.write("subjectAltName=DNS:%s,DNS:%s\n" % (FEED_HOST, RATES_HOST))
    subprocess.run(["openssl", "x509", "-req", "-in", "site.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", "site.pem", "-days", "2", "-extfile", "site.cnf"],
                   check=True, capture_output=True, cwd=work)
    site = open(os.path.join(HERE, "..", "..", "deploy", "nginx-corvella.conf")).read()
    for old, new in (("/var/cache/nginx/corvella", work + "/cache"), ("127.0.0.1:8080", "127.0.0.1:%d" % port),
                     ("listen [::]:80;", ""), ("listen [::]:443 ssl http2;", ""),
                     ("listen [::]:80 default_server;", ""), ("listen [::]:443 ssl default_server;", ""),
                     ("listen 80 default_server;", "listen 127.0.0.1:%d default_server;" % plain),
                     ("listen 443 ssl default_server;", "listen 127.0.0.1:%d ssl default_server;" % tls),
                     ("listen 80;", "listen 127.0.0.1:%d;" % plain),
                     ("listen 443 ssl http2;", "listen 127.0.0.1:%d ssl http2;" % tls),
                     ("/etc/ssl/corvella/fullchain.pem", work + "/site.pem"),
                     ("/etc/ssl/corvella/privkey.pem", work + "/site.key"),
                     ("meteo.velmar.example rates.velmar.example www.velmar.example",
                      "%s %s www.velmar.example" % (FEED_HOST, RATES_HOST))):
        if old not in site:
            check("the site names " + old, False)
        site = site.replace(old, new)
    os.makedirs(os.path.join(work, "nginx", "temp"))
    with open(os.path.join(work, "nginx", "site.conf"), "w") as f:
        f.write(site)
    with open(os.path.join(work, "nginx", "nginx.conf"), "w") as f:
        f.write("daemon off; master_process off; worker_processes 1; pid %(w)s/nginx/nginx.pid;\n"
                "error_log %(w)s/nginx-error.log info; events { worker_connections 64; }\n"
                "http { access_log off; client_body_temp_path %(w)s/nginx/temp/body;\n"
                "proxy_temp_path %(w)s/nginx/temp/proxy; fastcgi_temp_path %(w)s/nginx/temp/fastcgi;\n"
                "uwsgi_temp_path %(w)s/nginx/temp/uwsgi; scgi_temp_path %(w)s/nginx/temp/scgi;\n"
                "include %(w)s/nginx/site.conf; }\n" % {"w": work})
    base = ["nginx", "-p", work + "/nginx/", "-c", work + "/nginx/nginx.conf", "-e", work + "/nginx-error.log"]
    t = subprocess.run(base + ["-t"], capture_output=True, text=True)
    check("nginx -t accepts the site", t.returncode == 0, t.stderr)
    procs.append(subprocess.Popen(base, stderr=subprocess.DEVNULL))
    for _ in range(50):
        try:
            socket.create_connection(("127.0.0.1", plain), 1).close()
            break
        except OSError:
            time.sleep(0.1)
    return plain, tls


def nginx():
    """The deployed nginx site, made to run as this user on free ports, in front of the gateway."""
    up = start_standin()
    port, gw = start_gateway(up, "nginx")
    plain, tls = start_site(port)
    target = "http://%s%s" % (FEED_HOST, FEED_QUERY.format(230569))
    first = get(plain, target, headers={"Host": FEED_HOST})
    second = get(plain, target, headers={"Host": FEED_HOST})
    check("through nginx: the feed, then the same from its cache",
          first[0] == 200 and first[2].getheader("X-Cache-Status") == "MISS" and
          second[2].getheader("X-Cache-Status") == "HIT" and second[1] == first[1],
          (first[0], first[2].getheader("X-Cache-Status"), second[2].getheader("X-Cache-Status")))
    ctx = ssl.create_default_context(cafile=os.path.join(work, "ca.pem"))
    c = http.client.HTTPSConnection(RATES_HOST, tls, context=ctx, timeout=10)
    c.sock = ctx.wrap_socket(socket.create_connection(("127.0.0.1", tls)), server_hostname=RATES_HOST)
    for _ in range(50):
        c.request("GET", "/currency_base/daily/")
        r = c.getresponse()
        body = r.read()
        if r.status == 200:
            break
        time.sleep(0.2)
    check("HTTPS: the rates page through nginx's TLS", r.status == 200 and "Доллар США".encode() in body, r.status)
    check("the gateway's metrics answer this machine", get(plain, "/metrics", headers={"Host": FEED_HOST})[0] == 200)
    gw.send_signal(signal.SIGTERM)
    gw.wait(timeout=10)


def serve():
    """Stand-ins and a gateway for another test: the gateway's port goes to PORT_FILE (the third
    argument); runs until SIGTERM."""
    up = start_standin()
    port, _ = start_gateway(up, "serve")
    with open(sys.argv[3] + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(sys.argv[3] + ".tmp", sys.argv[3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        time.sleep(1)


def main(groups):
    try:
        subprocess.run(["openssl", "version"], check=True, capture_output=True)
        make_ca()
        groups[GROUP]()
    finally:
        for p in procs:
            if p.poll() is None:
                p.kill()
                p.wait()
    if failures:
        print("logs in " + work)
        sys.exit(1)
    subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    main({"faults": faults, "e2e": e2e, "nginx": nginx, "serve": serve})
