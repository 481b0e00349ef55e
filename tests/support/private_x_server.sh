#!/usr/bin/env bash
# Runs a test program on a private X server of its own (DISPLAY set for it).
#   private_x_server.sh TEST_BINARY
set -euo pipefail
binary=$1
tmp=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { echo "FAIL: no X server"; exit 1; }
DISPLAY=":$(cat "$tmp/display")" "$binary"
