#!/usr/bin/env bash
# Quits early and often: the control centre is started many times on a private
# X server with the simulated family and sent SIGTERM at a random moment in its
# first 200 ms (the last runs with the devices arriving during that window too).
# Every run must end within 2 s, and afterwards a normal start shows its window.
#   early_quit_test.sh APP [RUNS] [LATE_RUNS]
set -uo pipefail
app=$1
runs=${2:-100}
late=${3:-20}
tmp=$(mktemp -d)
xvfb=
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { echo "FAIL: no X server"; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
export XDG_RUNTIME_DIR="$tmp/run" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config"
export Q731_LOG=info
mkdir -m 700 "$tmp/run"
unset QT_QPA_PLATFORM

stuck=0
slowest=0
for i in $(seq $((runs + late))); do
  devices=sim
  [ "$i" -gt "$runs" ] && devices="sim@$((RANDOM % 200))"
  Q731_DEVICES=$devices Q731_LOG_FILE="$tmp/log.$i" "$app" &
  pid=$!
  delay=$((RANDOM % 200))
  sleep "$(printf '0.%03d' "$delay")"
  start=$(date +%s%N)
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  if kill -0 "$pid" 2>/dev/null; then
    stuck=$((stuck + 1))
    echo "run $i ($devices, SIGTERM after ${delay} ms): still running 2 s later"
    tail -5 "$tmp/log.$i" 2>/dev/null
    kill -KILL "$pid" 2>/dev/null
  else
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "$ms" -gt "$slowest" ] && slowest=$ms
  fi
  wait "$pid" 2>/dev/null
  pid=
  rm -f "$tmp/log.$i"
done

# The next start after all that shows its window.
Q731_DEVICES=sim Q731_LOG_FILE="$tmp/log.final" "$app" &
pid=$!
for _ in $(seq 200); do grep -q "main window shown" "$tmp/log.final" 2>/dev/null && break; sleep 0.05; done
shown=0
grep -q "main window shown" "$tmp/log.final" 2>/dev/null && shown=1
kill -TERM "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=

echo "early quit: $((runs + late)) runs, $stuck still running after 2 s, slowest exit ${slowest} ms, next start shown: $shown"
[ "$stuck" -eq 0 ] && [ "$shown" -eq 1 ]
