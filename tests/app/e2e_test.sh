#!/usr/bin/env bash
# End-to-end run of the control centre on a private X server with the simulated
# device family: single instance and wake, the local bus, and an orderly exit
# on SIGTERM within 2 s with the workers stopped.
#   e2e_test.sh APP Q731CTL
set -euo pipefail
app=$1
ctl=$2
tmp=$(mktemp -d)
xvfb=
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$tmp/log" 2>/dev/null || true; exit 1; }

Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || fail "no X server"
export DISPLAY=":$(cat "$tmp/display")"
export XDG_RUNTIME_DIR="$tmp/run" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config"
export Q731_DEVICES=sim Q731_LOG=info Q731_LOG_FILE="$tmp/log"
mkdir -m 700 "$tmp/run"
unset QT_QPA_PLATFORM

"$app" &
pid=$!
socket="$tmp/run/q731-control-center/bus.sock"
for _ in $(seq 200); do [ -S "$socket" ] && break; sleep 0.05; done
[ -S "$socket" ] || fail "the bus never came up"
for _ in $(seq 100); do grep -q "main window shown" "$tmp/log" && break; sleep 0.05; done
grep -q "main window shown" "$tmp/log" || fail "the window was never shown"

# A second start wakes the first and ends with 0 at once.
set +e
timeout 10 "$app"
second=$?
set -e
[ "$second" -eq 0 ] || fail "second start exited with $second"
kill -0 "$pid" || fail "the first instance died"

"$ctl" Q731 0 1 || fail "q731ctl could not reach the running program"

# A game event shows mode 5 on the current device for five seconds; the
# simulated firmware accepts both writes (result 1).
sleep 2  # the devices connect 500 ms after they arrive (slower under the sanitizers)
"$ctl" Game_Kill 0 5 || fail "q731ctl Game_Kill"
for _ in $(seq 40); do grep -q "lighting mode 5 sent to the .* (result 1)" "$tmp/log" && break; sleep 0.05; done
grep -q "lighting mode 5 sent to the .* (result 1)" "$tmp/log" || fail "game mode not sent"
sleep 4
[ "$(grep -c "lighting mode .* sent" "$tmp/log")" -eq 1 ] || fail "the mode came back too early"
for _ in $(seq 100); do [ "$(grep -c "lighting mode .* sent" "$tmp/log")" -ge 2 ] && break; sleep 0.05; done
grep "lighting mode .* sent" "$tmp/log" | tail -1 | grep -q "(result 1)" || fail "the user's mode did not come back"
"$ctl" Format_Disk 0 0 || true  # unknown: dropped by the program, not an error here

# A question is answered: every simulated product, connected, by its channel.
devices=$("$ctl" devices) || fail "q731ctl devices"
for product in mouse keyboard "mouse pad" headset; do
  grep -q "^$product .* connected, firmware" <<<"$devices" || fail "q731ctl devices: no $product in: $devices"
done
"$ctl" devices --json | grep -q '"devices":\[' || fail "q731ctl devices --json"
# A watcher hears the state at once, then each change, whoever makes it.
"$ctl" watch >"$tmp/watch" 2>&1 &
watcher=$!
for _ in $(seq 40); do grep -q "lighting-control on" "$tmp/watch" && break; sleep 0.05; done
"$ctl" lighting --all off || fail "q731ctl lighting --all off"
for _ in $(seq 40); do grep -q "lighting-control off" "$tmp/watch" && break; sleep 0.05; done
grep -q "device-arrived mouse" "$tmp/watch" || fail "q731ctl watch: no device listed: $(cat "$tmp/watch")"
grep -q "lighting-control off" "$tmp/watch" || fail "q731ctl watch: the change was not told: $(cat "$tmp/watch")"
"$ctl" lighting --all on || fail "q731ctl lighting --all on"
# A change: the mouse's second stage to 1600 dpi, shown back by the mouse.
"$ctl" dpi mouse --stage 2 --set 1600 >/dev/null || fail "q731ctl dpi mouse --stage 2 --set 1600"
"$ctl" dpi mouse | grep -q "^stage 2 *1600 dpi" || fail "the mouse's stage 2 is not 1600 dpi"
set +e
"$ctl" dpi mouse --stage 9 --set 1600 2>/dev/null
[ $? -eq 2 ] || fail "q731ctl: a stage out of range should exit 2"
set -e

# SIGTERM ends it like the tray's exit, within 2 s, workers stopped.
start=$(date +%s%N)
kill -TERM "$pid"
for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then fail "still running 2 s after SIGTERM"; fi
wait "$pid" || true
pid=
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
grep -q "device scan thread ended" "$tmp/log" || fail "the scan thread was not stopped"
grep -q "dropped unknown message 'Format_Disk'" "$tmp/log" || fail "unknown bus message not dropped"
[ -S "$socket" ] && fail "the bus socket was left behind"
# The watcher ends with the program.
for _ in $(seq 40); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.05; done
kill -0 "$watcher" 2>/dev/null && fail "q731ctl watch outlived the program"
set +e
"$ctl" devices
[ $? -eq 3 ] || fail "q731ctl devices without a running program should exit 3"
set -e
echo "e2e: second start exit 0, bus reached, exit after SIGTERM in ${elapsed} ms"
echo "1 passed, 0 failed"
