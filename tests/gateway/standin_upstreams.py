#!/usr/bin/env python3
"""Stand-ins for the gateway's public sources on one HTTPS port: the forecast API
(/v1/forecast), the geocoder (/v1/search), the bank's daily list (/scripts/XML_daily.asp, by
Moscow's date; with published=1 the next day's is out) and its series (/scripts/XML_dynamic.asp),
with fault modes switched at run time (POST /control?forecast=MODE&rates=MODE&geocode=MODE&published=0|1)
and call counts at GET /stats.

usage: standin_upstreams.py CERT KEY BANK_XML PORT_FILE
"""
import datetime
import json
import math
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CERT, KEY, BANK_XML, PORT_FILE = sys.argv[1:5]
OFFSET = 3 * 3600
CURRENT_TEMPERATURE = -3.4
CURRENT_CODE = 61  # rain
state = {"forecast": "ok", "rates": "ok", "geocode": "ok", "forecast_calls": 0, "forecast_places": 0,
         "geocode_calls": 0, "rates_calls": 0, "series_calls": 0, "published": "0", "caught": 0,
         "apikeys": []}
lock = threading.Lock()
KNOWN_VARIABLES = {"temperature_2m", "weather_code", "apparent_temperature", "wind_speed_10m", "wind_gusts_10m",
                   "wind_direction_10m", "surface_pressure", "relative_humidity_2m", "precipitation",
                   "precipitation_probability", "temperature_2m_max", "temperature_2m_min", "precipitation_sum",
                   "precipitation_probability_max", "wind_speed_10m_max", "wind_gusts_10m_max",
                   "wind_direction_10m_dominant", "pressure_msl", "is_day"}


def place_reply(lat, lon, now):
    day0 = (now + OFFSET) // 86400 * 86400 - OFFSET  # local midnight as a UTC instant
    hours = [day0 + h * 3600 for h in range(8 * 24)]
    return {
        "latitude": round(lat, 2), "longitude": round(lon, 2), "utc_offset_seconds": OFFSET,
        "current": {"time": now // 900 * 900, "interval": 900,
                    "temperature_2m": CURRENT_TEMPERATURE, "weather_code": CURRENT_CODE},
        # Where the model's range ends: the last six hours and the last day are null.
        "hourly": {"time": hours,
                   "temperature_2m": [round(-8 + 3 * math.sin(h / 4), 1) for h in range(len(hours) - 6)] + [None] * 6,
                   "weather_code": [71] * (len(hours) - 6) + [None] * 6,
                   "apparent_temperature": [-14.2] * len(hours), "wind_speed_10m": [4.4] * len(hours),
                   "wind_gusts_10m": [9.2] * len(hours), "wind_direction_10m": [225] * len(hours),
                   "surface_pressure": [993.2] * len(hours), "relative_humidity_2m": [81] * len(hours),
                   "precipitation": [0.4] * len(hours),
                   "precipitation_probability": [None] * len(hours)},  # the source had none
        "daily": {"time": [day0 + d * 86400 for d in range(8)],
                  "weather_code": [73] * 7 + [None],
                  "temperature_2m_min": [-13.4 + d for d in range(7)] + [None],
                  "temperature_2m_max": [-4.6 + d for d in range(7)] + [None]},
    }


def moscow_today():
    return datetime.date(1970, 1, 1) + datetime.timedelta(days=(int(time.time()) + OFFSET) // 86400)


def bank_list(query, published):
    """The daily list in force on Moscow's date, or from the afternoon on (published) the next
    day's with the dollar at 84,5000. A date asked for that has no list yet gets the last one,
    under its own Date, as the bank does."""
    today = moscow_today()
    last = today + datetime.timedelta(days=1) if published else today
    day = last
    if "date_req" in query:
        day = min(datetime.datetime.strptime(query["date_req"][0], "%d/%m/%Y").date(), last)
    with open(BANK_XML, "rb") as f:
        body = f.read().replace(b"05.04.2025", day.strftime("%d.%m.%Y").encode())
    return body.replace(b"84,1200", b"84,5000") if day > today else body


def bank_series(query):
    """A currency's published rates over the range asked: none on Sundays, Mondays and one
    holiday; the yuan quoted per one unit until two weeks ago, per ten since."""
    first, last = (datetime.datetime.strptime(query[k][0], "%d/%m/%Y").date() for k in ("date_req1", "date_req2"))
    vid = query["VAL_NM_RQ"][0]
    with open(BANK_XML, "rb") as f:
        listed = f.read()
    at = listed.find(('ID="%s"' % vid).encode())
    nominal = int(listed[listed.find(b"<Nominal>", at) + 9:listed.find(b"</Nominal>", at)])
    value = float(listed[listed.find(b"<Value>", at) + 7:listed.find(b"</Value>", at)].replace(b",", b"."))
    today = moscow_today()
    out = ['<?xml version="1.0" encoding="windows-1251"?>',
           '<ValCurs ID="%s" DateRange1="%s" DateRange2="%s" name="Foreign Currency Market Dynamic">'
           % (vid, first.strftime("%d.%m.%Y"), last.strftime("%d.%m.%Y"))]
    day = first
    while day <= last:
        ago = (today - day).days
        if day.isoweekday() not in (7, 1) and ago != 10:
            quoted = 1 if vid == "R01375" and ago > 14 else nominal
            rate = value * (1 - ago / 1000) * quoted / nominal
            out.append('<Record Date="%s" Id="%s"><Nominal>%d</Nominal><Value>%s</Value></Record>'
                       % (day.strftime("%d.%m.%Y"), vid, quoted, ("%.4f" % rate).replace(".", ",")))
        day += datetime.timedelta(days=1)
    return ("\n".join(out) + "\n</ValCurs>\n").encode("cp1251")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, ctype="application/json", headers=()):
        if isinstance(body, str):
            body = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        self.route(self.rfile.read(length).decode())

    def do_GET(self):
        self.route(None)

    def route(self, form):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        query.update(urllib.parse.parse_qs(form or ""))
        if url.path == "/control":
            with lock:
                state.update({k: v[0] for k, v in query.items()})
            return self.reply(200, "{}")
        if url.path == "/stats":
            with lock:
                return self.reply(200, json.dumps(state))
        if url.path == "/v1/forecast":
            return self.forecast(query)
        if url.path == "/catch":  # where a redirect points: nothing may follow it here
            with lock:
                state["caught"] += 1
            return self.reply(200, "{}")
        if url.path == "/v1/search":
            with lock:
                state["geocode_calls"] += 1
                mode = state["geocode"]
            if mode == "slow":
                time.sleep(5)
            if mode == "huge":  # an endless list of places
                return self.reply(200, '{"results":[' + ",".join(['{"name":"x"}'] * 200000) + "]}")
            name = query["name"][0]
            if name == "Нигдеево":
                return self.reply(200, '{"generationtime_ms":0.5}')
            h = sum(name.encode()) % 1000
            return self.reply(200, json.dumps({"results": [{
                "id": h, "name": name, "latitude": 50 + h / 100, "longitude": 30 + h / 50,
                "country_code": "RU", "admin1": "Тверская область", "population": 1000}]}))
        if url.path == "/scripts/XML_daily.asp":
            with lock:
                state["rates_calls"] += 1
                mode = state["rates"]
                published = state["published"] == "1"
            if mode == "down":
                return self.reply(500, "down", "text/plain")
            body = bank_list(query, published)
            return self.reply(200, body if mode == "ok" else body[: len(body) // 2],
                              "application/xml; charset=windows-1251")
        if url.path == "/scripts/XML_dynamic.asp":
            with lock:
                state["series_calls"] += 1
            return self.reply(200, bank_series(query), "application/xml; charset=windows-1251")
        self.reply(404, "{}")

    def forecast(self, query):
        # As the source does, an unknown variable fails the whole request.
        for key in ("current", "hourly", "daily"):
            unknown = set(query.get(key, [""])[0].split(",")) - KNOWN_VARIABLES
            if unknown:
                return self.reply(400, json.dumps({"error": True, "reason": "Cannot initialize WeatherVariable "
                                                   "from invalid String value " + unknown.pop()}))
        lats = [float(x) for x in query["latitude"][0].split(",")]
        lons = [float(x) for x in query["longitude"][0].split(",")]
        with lock:
            state["forecast_calls"] += 1
            state["forecast_places"] += len(lats)
            state["apikeys"] += query.get("apikey", [])
            mode = state["forecast"]
        now = int(time.time())
        places = [place_reply(a, o, now) for a, o in zip(lats, lons)]
        body = json.dumps(places[0] if len(places) == 1 else places)
        if mode == "down":
            self.close_connection = True
            return
        if mode == "slow":
            time.sleep(4)
        if mode == "429slow":  # a while, then a long hold-off
            time.sleep(1)
            return self.reply(429, '{"error":true,"reason":"Hourly API request limit exceeded"}',
                              headers=[("Retry-After", "20")])
        if mode == "429":
            return self.reply(429, '{"error":true,"reason":"Minutely API request limit exceeded"}',
                              headers=[("Retry-After", "3")])
        if mode == "400":  # a reason with a line of its own in it
            return self.reply(400, '{"error":true,"reason":"Cannot initialize WeatherVariable from invalid String value'
                                   '\\nforecast: injected"}')
        if mode == "307":
            return self.reply(307, "{}", headers=[("Location", "/catch")])
        if mode == "garbage":
            return self.reply(200, "<html>Bad gateway</html>", "text/html")
        if mode == "truncated":
            return self.reply(200, body[: len(body) // 2])
        if mode == "wrong_length":
            return self.reply(200, json.dumps(places + places[:1]))
        self.reply(200, body)


class Server(ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # the gateway hung up on a slow reply: expected


server = Server(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(CERT, KEY)
server.socket = context.wrap_socket(server.socket, server_side=True)
with open(PORT_FILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
