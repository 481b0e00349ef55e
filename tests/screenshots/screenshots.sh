#!/usr/bin/env bash
# Pictures of the program's states on private X servers, at 96 dpi (1366 x 768)
# and 144 dpi (1920 x 1080), with the simulated device family. PNGs go to
# $Q731_SCREENSHOT_DIR when it is set, else to a temporary folder that is removed.
#   screenshots.sh SHOOTER
set -euo pipefail
shooter=$1
tmp=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
out=${Q731_SCREENSHOT_DIR:-$tmp/out}
mkdir -p "$out"

for size in 1366x768 1920x1080; do
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$tmp/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
  [ -s "$tmp/display" ] || { echo "FAIL: no X server"; exit 1; }
  run="$tmp/$size"
  mkdir -p -m 700 "$run/run"
  if ! env -u QT_QPA_PLATFORM DISPLAY=":$(cat "$tmp/display")" XDG_RUNTIME_DIR="$run/run" \
      XDG_DATA_HOME="$run/data" XDG_CONFIG_HOME="$run/config" Q731_DEVICES=sim \
      Q731_NO_MUSIC_COMPANION=1 Q731_LOG=info Q731_LOG_FILE="$run/log" timeout 400 "$shooter" "$out"; then
    echo "FAIL: pictures at $size"
    cat "$run/log" 2>/dev/null || true
    exit 1
  fi
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null || true
  xvfb=
  : >"$tmp/display"
done
ls "$out"
