#!/bin/sh
# Waybar custom module for Corvella: the temperature and sky now on the bar, the forecast
# window's text (feels-like, wind, pressure, humidity, precipitation, hours, days, rates) as the
# tooltip. Arguments go to `corvella-cli forecast` (for instance --location 12297 or
# --proxy HOST:PORT). Needs jq.
CLI="${CORVELLA_CLI:-corvella-cli}"
if forecast=$("$CLI" forecast "$@" 2>/dev/null); then
  printf '%s\n' "$forecast" | jq --raw-input --slurp --compact-output 'split("\n") as $lines
    | {text: ($lines[1] | sub("^Сейчас "; "") | split(", ")[0]), tooltip: rtrimstr("\n"), class: "ok"}'
else
  echo '{"text": "Corvella: нет данных", "tooltip": "Сервер погоды и курсов не ответил", "class": "error"}'
fi
