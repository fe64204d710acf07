#!/usr/bin/env python3
"""corvella-gateway tried as a hostile client would, alone and behind deploy/'s nginx site.

usage: hostile_test.py GROUP GATEWAY
  hostile   budget fairness, trusted proxies, deadlines, the update file, foreign hosts, framing
  budget    the call budget at its edges: first call of a window, restarts, address blocks, a full
            cache, batches larger than the minute
  operator  hold-offs, a damaged store, signals, a port in use
  publish   releases published by the README's way and by every other
"""
import email.utils
import glob
import hashlib
import http.client
import os
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gateway_test import (FEED_HOST, FEED_QUERY, check, get, main, publish, start_gateway,  # noqa: E402
                          start_site, start_standin, upstream, work)

H = {"Host": FEED_HOST}


def ask(port, place, source="127.0.0.1", **headers):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=20, source_address=(source, 0))
    c.request("GET", FEED_QUERY.format(place), headers={**H, **headers})
    r = c.getresponse()
    r.read()
    return r.status, r


def raw(port, data, source="127.0.0.1"):
    """The first line of what the gateway answers to `data`, and whether it then closed."""
    s = socket.create_connection(("127.0.0.1", port), timeout=5, source_address=(source, 0))
    s.sendall(data)
    out = b""
    try:
        while chunk := s.recv(65536):
            out += chunk
    except socket.timeout:
        return out.split(b"\r\n")[0], False
    return out.split(b"\r\n")[0], True


def eventually(condition, seconds=5.0):
    """Whether `condition()` holds within `seconds`: what a loaded machine does late, it still does."""
    end = time.time() + seconds
    while not condition():
        if time.time() > end:
            return False
        time.sleep(0.1)
    return True


def hostile():
    up = start_standin()
    catalogue = os.path.join(work, "many.txt")
    with open(catalogue, "w") as f:
        f.writelines("Тверская область, Село%d;%d\n" % (i, 2000 + i) for i in range(400))
    release = os.path.join(work, "release")
    os.makedirs(release)
    publish(release, "corv-1.exe", b"MZ" + b"\0" * 100, 1717236000)
    port, _ = start_gateway(up, "hostile", "--catalogue", catalogue, "--release-dir", release,
                            "--client-new-places", "20", "--fresh-seconds", "3", "--stale-seconds", "600",
                            "--answer-seconds", "3", "--trusted-proxy", "127.0.0.1")

    # One client walks 300 places, naming itself otherwise each time, from an address that is not
    # a trusted proxy: 20 are fetched, the rest refused with Retry-After; another client's first new
    # place is served, and so is the refresh of a place already served.
    check("a served place", ask(port, 2000, **{"X-Real-IP": "198.51.100.1"})[0] == 200)
    codes, lock = [], threading.Lock()

    def walk(places):
        for p in places:
            s, r = ask(port, p, "127.0.0.2", **{"X-Real-IP": "203.0.113.%d" % (p % 250)})
            with lock:
                codes.append((s, r.getheader("Retry-After")))
    threads = [threading.Thread(target=walk, args=(range(2100 + i, 2400, 20),)) for i in range(20)]
    [t.start() for t in threads]
    [t.join() for t in threads]
    refused = [int(r) for c, r in codes if c == 429]
    check("the walker spends its 20 new places (answered, or 503 past the deadline)",
          len(refused) == 280 and all(c in (200, 503) for c, _ in codes if c != 429), codes[:30])
    check("... and gets 429 with Retry-After for the rest", min(refused, default=0) > 0)
    check("another client's first new place is served", ask(port, 2050, **{"X-Real-IP": "198.51.100.2"})[0] == 200)
    time.sleep(3.5)
    calls = upstream(up, "/stats")["forecast_places"]
    check("the served place, past its freshness, is served", ask(port, 2000)[0] == 200)
    time.sleep(1)
    check("... and fetched again", upstream(up, "/stats")["forecast_places"] > calls)
    metrics = get(port, "/metrics")[1].decode()
    check("refusals counted by reason", 'corvella_refusals_total{reason="client_new_places"}' in metrics)
    check("metrics only for this machine", get(port, "/metrics", headers={**H, "X-Real-IP": "198.51.100.1"})[0] == 404)

    # A stalled source: 503 with Retry-After at the deadline, and the rates page does not wait.
    upstream(up, "/control?forecast=slow", "POST")
    start = time.time()
    status, r = ask(port, 2060, **{"X-Real-IP": "198.51.100.3"})
    check("stalled source: 503 within the deadline", status == 503 and r.getheader("Retry-After") and
          time.time() - start < 3.8, (status, time.time() - start))
    gone = socket.create_connection(("127.0.0.1", port))
    gone.sendall(("GET %s HTTP/1.1\r\nHost: %s\r\n\r\n" % (FEED_QUERY.format(2061), FEED_HOST)).encode())
    time.sleep(0.3)
    gone.close()
    check("a client that hangs up while waiting is let go at once", eventually(
        lambda: 'corvella_errors_total{kind="client_gone"} 1' in get(port, "/metrics")[1].decode(), 2.5))
    upstream(up, "/control?forecast=ok", "POST")

    # The update file: a symlink out of the folder, a file still being written, the validators.
    os.symlink("/etc/hostname", os.path.join(release, "corv-3.exe"))
    with open(os.path.join(release, "corv-3.exe.sha256"), "w") as f:
        f.write(hashlib.sha256(open("/etc/hostname", "rb").read()).hexdigest() + "\n")
    whole = b"MZ" + b"\0" * 30000
    publish(release, "corv-2.exe", whole)
    with open(os.path.join(release, "corv-2.exe"), "wb") as f:
        f.write(whole[:1000])
    status, _, r = get(port, "/soft/corv.exe", "HEAD", headers=H)
    check("a file still changing and a symlink are passed over", r.getheader("Content-Length") == "102")
    check("If-Modified-Since: 304", get(port, "/soft/corv.exe", headers={
        **H, "If-Modified-Since": email.utils.formatdate(time.time() + 2, usegmt=True)})[0] == 304)
    check("If-None-Match: 304", get(port, "/soft/corv.exe", headers={**H, "If-None-Match": r.getheader("ETag")})[0] == 304)
    with open(os.path.join(release, "corv-2.exe"), "wb") as f:
        f.write(whole)
    check("a settled file is served", eventually(
        lambda: get(port, "/soft/corv.exe", "HEAD", headers=H)[2].getheader("Content-Length") == "30002"))

    # Foreign hosts and lax framing: refused and closed.
    check("foreign Host 403", get(port, FEED_QUERY.format(2000), headers={"Host": "evil.example"})[0] == 403)
    for what, data, want in (
            ("no Host", b"GET / HTTP/1.1\r\n\r\n", b"400"),
            ("two Hosts", b"GET / HTTP/1.1\r\nHost: a\r\nHost: a\r\n\r\n", b"400"),
            ("xchunked", b"GET / HTTP/1.1\r\nHost: %s\r\nTransfer-Encoding: xchunked\r\n\r\nGET / HTTP/1.1\r\n\r\n"
             % FEED_HOST.encode(), b"501"),
            ("bare LF", b"GET / HTTP/1.1\nHost: x\n\n", b"400"), ("NUL", b"GET / HTTP/1.1\r\nHost: a\0b\r\n\r\n", b"400"),
            ("Content-Length : 5", b"GET / HTTP/1.1\r\nHost: x\r\nContent-Length : 5\r\n\r\nabcde", b"400"),
            ("Content-Length: +0", b"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: +0\r\n\r\n", b"400")):
        line, closed = raw(port, data)
        check(what + ": " + want.decode() + " and closed", want in line and closed, line)

    # Behind nginx: unknown names get no answer, the feed has a per-address guard.
    plain, _ = start_site(port)
    check("nginx: an unknown name is dropped (444)", raw(plain, b"GET /index.php HTTP/1.1\r\nHost: evil.example\r\n\r\n")
          == (b"", True))
    check("nginx: a proxy-form target on another port is dropped", raw(plain, (
        "GET http://%s:8080%s HTTP/1.1\r\nHost: %s\r\n\r\n" % (FEED_HOST, FEED_QUERY.format(2000), FEED_HOST)).encode())
        == (b"", True))
    # The client nginx names is the one counted: one address's new places run out, another's do not.
    codes = []
    threads = [threading.Thread(target=lambda i=i: codes.extend(
        ask(plain, 2010 + i + 5 * k, "127.0.0.3")[0] for k in range(5))) for i in range(5)]
    [t.start() for t in threads]
    [t.join() for t in threads]
    check("nginx: one address's new places run out (429 from the gateway)", codes.count(429) == 5, codes)
    check("... another address's first is served", ask(plain, 2040, "127.0.0.4")[0] == 200)
    codes = [ask(plain, 2000)[0] for _ in range(40)]
    check("nginx: one address asking the feed 40 times at once is slowed (429)", 429 in codes and 200 in codes, codes)
    # Queries the gateway ignores make no new cache entries; every location is limited; a client
    # that closes its sending side while it waits still has its answer.
    caching = [get(plain, "/soft/corv.exe?v=%d" % i, headers=H)[2].getheader("X-Cache-Status") for i in range(3)]
    check("nginx: a query on the update file is the same cache entry", caching[1:] == ["HIT", "HIT"], caching)
    codes = [get(plain, "/nothing?%d" % i, headers=H)[0] for i in range(40)]
    check("nginx: any other path is limited too", 429 in codes, codes)
    half = socket.create_connection(("127.0.0.1", port))
    half.sendall(("GET %s HTTP/1.1\r\nHost: %s\r\n\r\n" % (FEED_QUERY.format(2070), FEED_HOST)).encode())
    half.shutdown(socket.SHUT_WR)
    half.settimeout(10)
    check("half-closed while waiting: answered", half.recv(100).startswith(b"HTTP/1.1 200"))
    half.close()


def warmed(name, places):
    """A catalogue of `places` villages and a geocode store that already holds them all."""
    catalogue = os.path.join(work, name + ".txt")
    with open(catalogue, "w") as f:
        f.writelines("Тверская область, Село%d;%d\n" % (i, 5000 + i) for i in range(places))
    db = sqlite3.connect(os.path.join(work, name + ".sqlite"))
    db.execute("CREATE TABLE place (feed_id TEXT PRIMARY KEY, how INTEGER NOT NULL, latitude REAL NOT NULL,"
               " longitude REAL NOT NULL, saved_at INTEGER NOT NULL)")
    db.executemany("INSERT INTO place VALUES (?, 0, ?, ?, 0)",
                   [(str(5000 + i), 50 + i / 1000, 30 + i / 1000) for i in range(places)])
    db.commit()
    db.close()
    return catalogue


def stop(gw):
    gw.send_signal(signal.SIGTERM)
    return gw.wait(timeout=15)


def crowd(port, asks):
    """Asks (place, client address named by the trusted proxy) all at once: [(status, Retry-After)]."""
    def one(a):
        s, r = ask(port, a[0], **{"X-Real-IP": a[1]})
        return s, int(r.getheader("Retry-After") or 0)
    with ThreadPoolExecutor(min(len(asks), 500)) as pool:
        return list(pool.map(one, asks))


def places_fetched(up):
    return upstream(up, "/stats")["forecast_places"]


def budget():
    up = start_standin()
    proxy = ("--trusted-proxy", "127.0.0.1")

    # The first call of a day is weighed too, and a restart remembers the day: 500 new places at
    # once, twice, on a day of 10 calls (8 for new places: 5 places at 1.5 calls each, a batch
    # rounded up to whole calls). A client whose places the budget
    # refuses keeps its own allowance, and hears when the day frees.
    cat = warmed("day", 1000)
    port, gw = start_gateway(up, "day", "--catalogue", cat, "--daily-calls", "10", *proxy)
    first = crowd(port, [(5000 + i, "10.1.%d.%d" % (i // 250, i % 250)) for i in range(500)])
    stop(gw)
    port, gw = start_gateway(up, "day", "--catalogue", cat, "--daily-calls", "10", *proxy)
    again = crowd(port, [(5500 + i, "10.2.%d.%d" % (i // 250, i % 250)) for i in range(500)])
    one = crowd(port, [(5000 + i, "10.3.0.1") for i in range(40)])
    for what, ok, detail in (
            ("first call of a day: at most the day's 5 new places fetched", places_fetched(up) <= 6,
             (places_fetched(up), first.count((200, 0)))),
            ("... the first crowd had those 5", sum(c == 200 for c, _ in first) == 5, first[:10]),
            ("... after a restart, none more", sum(c == 200 for c, _ in again) == 0, again[:10]),
            ("... refused with the day's end as Retry-After", all(c == 503 and r > 3600 for c, r in again), again[:5]),
            ("a client refused by the budget keeps its allowance (never 429)",
             all(c != 429 for c, _ in one), one)):
        check(what, ok, detail)
    stop(gw)

    # One home's /56 shares four /64s' allowance of new places.
    cat = warmed("home", 400)
    port, gw = start_gateway(up, "home", "--catalogue", cat, "--client-new-places", "5", *proxy)
    home = crowd(port, [(5000 + 5 * k + i, "2001:db8:0:1%02x::1" % k) for k in range(64) for i in range(5)])
    check("64 /64s of one /56: four /64s' worth of new places served, the rest 429",
          sum(c == 200 for c, _ in home) == 20 and sum(c == 429 for c, _ in home) == 300,
          sum(c == 200 for c, _ in home))
    stop(gw)

    # The reserve for served places: places without a forecast take no room in the cache, and a
    # served place stays served, across a restart too.
    cat = warmed("reserve", 400)
    args = ("--catalogue", cat, "--cache-places", "30", "--daily-calls", "40", "--client-new-places", "5",
            "--fresh-seconds", "2", *proxy)
    port, gw = start_gateway(up, "reserve", *args)
    check("a user's place is served", ask(port, 5000, **{"X-Real-IP": "198.51.100.1"})[0] == 200)
    crowd(port, [(5010 + 5 * k + i, "2001:db8:%x::1" % (k + 1)) for k in range(8) for i in range(5)])
    time.sleep(2.2)
    check("after eight /64s spent the new places, the user's place is refreshed",
          ask(port, 5000, **{"X-Real-IP": "198.51.100.1"})[0] == 200)
    stop(gw)
    port, gw = start_gateway(up, "reserve", *args)
    check("... and after a restart: the served place still draws on the reserve",
          ask(port, 5000, **{"X-Real-IP": "198.51.100.1"})[0] == 200)
    check("... while a new place is still refused", ask(port, 5300, **{"X-Real-IP": "198.51.100.9"})[0] == 503)
    stop(gw)

    # A batch larger than what is left of the minute: what fits goes now (450 calls a minute for new
    # places on the free tier; a place weighs 1.5 calls, so the first one alone costs 2 and the 448
    # left take 298 more), the rest hears when the minute frees.
    cat = warmed("minute", 600)
    port, gw = start_gateway(up, "minute", "--catalogue", cat, "--gather-ms", "1500", "--answer-seconds", "20", *proxy)
    before = places_fetched(up)
    ask(port, 5000, **{"X-Real-IP": "198.51.100.1"})
    many = crowd(port, [(5001 + i, "10.4.%d.%d" % (i // 250, i % 250)) for i in range(499)])
    served = sum(c == 200 for c, _ in many)
    check("499 new places after one: the minute's 298 are fetched", served == 298 and
          places_fetched(up) - before == 299, (served, places_fetched(up) - before))
    check("... the rest 503 with the minute's end as Retry-After",
          all(0 < r <= 60 for c, r in many if c != 200), [x for x in many if x[0] != 200][:5])
    stop(gw)


def operator():
    up = start_standin()
    cat = warmed("ops", 50)

    # A hold-off (429 with Retry-After 20 s, after a second's wait): a place queued meanwhile, and
    # every ask during it, has its stale copy at once; a place without one hears when it ends.
    port, gw = start_gateway(up, "ops", "--catalogue", cat, "--fresh-seconds", "2", "--answer-seconds", "3")
    check("two places served", ask(port, 5001)[0] == 200 and ask(port, 5002)[0] == 200)
    time.sleep(2.2)
    upstream(up, "/control?forecast=429slow", "POST")
    first = ThreadPoolExecutor(2)
    refresh = first.submit(ask, port, 5001)
    time.sleep(0.4)
    start = time.time()
    queued = first.submit(ask, port, 5002).result()[0]
    took = time.time() - start
    asks = []
    for _ in range(5):
        start = time.time()
        asks.append((ask(port, 5002)[0], round(time.time() - start, 2)))
    status, r = ask(port, 5003)
    for what, ok, detail in (
            ("hold-off: the place being refreshed has its stale copy", refresh.result()[0] == 200, refresh.result()[0]),
            ("... so does a place queued meanwhile, once the hold-off is known", queued == 200 and took < 2,
             (queued, took)),
            ("... and every ask of it during the hold-off, at once", all(s == 200 and t < 0.5 for s, t in asks), asks),
            ("... a place with nothing to serve: 503 with the hold-off's end",
             status == 503 and 10 < int(r.getheader("Retry-After")) <= 20, (status, r.getheader("Retry-After")))):
        check(what, ok, detail)
    upstream(up, "/control?forecast=ok", "POST")

    # Signals: SIGHUP is logged and ignored; SIGTERM answers what is under way, then exits 0.
    gw.send_signal(signal.SIGHUP)
    time.sleep(0.3)
    check("SIGHUP: still serving", gw.poll() is None and get(port, "/healthz")[0] == 200)
    stop(gw)
    port, gw = start_gateway(up, "ops", "--catalogue", cat, "--answer-seconds", "3")
    upstream(up, "/control?forecast=slow", "POST")
    pending = ThreadPoolExecutor(1).submit(lambda: ask(port, 5010)[0])
    time.sleep(0.5)
    gw.send_signal(signal.SIGTERM)
    try:
        answered = pending.result()
    except (OSError, http.client.HTTPException) as e:
        answered = repr(e)
    check("SIGTERM: the request under way is answered", answered == 503, answered)
    check("... and the gateway exits 0", gw.wait(timeout=10) == 0)
    upstream(up, "/control?forecast=ok", "POST")

    # The store is a cache: a damaged one is moved aside and a new one started; one that cannot
    # be opened at all leaves the gateway running on memory. A port in use is worth a restart.
    damaged = os.path.join(work, "damaged.sqlite")
    with open(damaged, "wb") as f:
        f.write(b"this is not a database" * 100)
    for name, what in (("damaged", "STORE DAMAGED"), ("folder", "STORE UNAVAILABLE")):
        if name == "folder":
            os.makedirs(os.path.join(work, "folder.sqlite"))
        port, gw = start_gateway(up, name, "--catalogue", cat)
        log = open(os.path.join(work, name + ".log")).read()
        check(name + " store: the gateway serves, and says so in its log",
              ask(port, 5020)[0] == 200 and what in log, log)
        stop(gw)
    check("... the damaged file is kept aside, a new store in its place",
          len(glob.glob(damaged + ".damaged-*")) == 1 and open(damaged, "rb").read(16) == b"SQLite format 3\0")
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        r = subprocess.run([sys.argv[2], "--listen", "127.0.0.1:%d" % taken.getsockname()[1], "--catalogue", cat,
                            "--db", os.path.join(work, "ops.sqlite")], capture_output=True, text=True, timeout=10)
    check("a port in use: exit 3, which the unit restarts", r.returncode == 3, (r.returncode, r.stderr))


def publish_table():
    up = start_standin()
    release = os.path.join(work, "publish")
    os.makedirs(release)
    publish(release, "corv-1.exe", b"MZ1" + b"\0" * 100, 1717236000)
    port, gw = start_gateway(up, "publish", "--release-dir", release)

    def head(**extra):
        time.sleep(1.1)  # the folder is looked at again once a second
        status, body, r = get(port, "/soft/corv.exe", headers={**H, **extra})
        return status, len(body), r.getheader("Content-Length"), r.getheader("Last-Modified")

    def stalled_copy():
        # The checksum first, the file stalled halfway for 3 s: the old one is served whole.
        data = b"MZ2" + b"\1" * 1000000
        with open(os.path.join(release, "corv-2.exe.sha256"), "w") as f:
            f.write(hashlib.sha256(data).hexdigest() + "\n")
        with open(os.path.join(release, "corv-2.exe"), "wb") as f:
            f.write(data[:30000])
            f.flush()
            time.sleep(3)
            during = head()
            f.write(data[30000:])
        after = head()
        return during[:3] == (200, 103, "103") and after[:3] == (200, 1000003, "1000003"), (during, after)

    def copied_with_its_date():  # cp -p, rsync -t, unzip: an older date than the release served
        publish(release, "corv-3.exe", b"MZ3", 1600000000)
        got = head()
        return got == (200, 3, "3", "Sun, 13 Sep 2020 12:26:40 GMT"), got

    def dated_in_the_future():
        publish(release, "corv-4.exe", b"MZ44", int(time.time()) + 86400 * 30)
        got = head()
        return got[:3] == (200, 4, "4") and email.utils.parsedate_to_datetime(got[3]).timestamp() <= time.time(), got

    def replaced_in_place_with_an_older_date():
        held = head()[3]
        publish(release, "corv-4.exe", b"MZ45", 1500000000)
        got = head(**{"If-Modified-Since": held})
        return got[:3] == (200, 4, "4"), (held, got)

    def without_a_checksum():  # the file alone, however new: not served, the last good one is
        with open(os.path.join(release, "corv-9.exe"), "wb") as f:
            f.write(b"MZ9")
        got = head()
        return got[:3] == (200, 4, "4"), got

    for case in (stalled_copy, copied_with_its_date, dated_in_the_future, replaced_in_place_with_an_older_date,
                 without_a_checksum):
        ok, detail = case()
        check("publishing: " + case.__name__.replace("_", " "), ok, detail)
    stop(gw)
    log = open(os.path.join(work, "publish.log")).read()
    check("... each refusal in the log", "corv-2.exe does not match corv-2.exe.sha256" in log, log)


if __name__ == "__main__":
    main({"hostile": hostile, "budget": budget, "operator": operator, "publish": publish_table})
