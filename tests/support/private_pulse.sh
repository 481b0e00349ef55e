#!/usr/bin/env bash
# Runs a program against a private sound server of its own: a PulseAudio
# daemon in a fresh folder (its runtime folder, HOME and socket), with one null
# sink as the default sink, so nothing depends on or disturbs a server the
# machine may run. The program gets PULSE_SERVER and XDG_RUNTIME_DIR pointing
# there; its exit status is the script's.
#   private_pulse.sh PROGRAM [ARGUMENTS...]
#
# Exit status 77 (a skip for CTest) only when PulseAudio is not installed; a
# server that is installed but does not come up is a failure, with its log.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARGUMENTS...]" >&2; exit 64; }
for tool in pulseaudio pactl pacat; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/setup installs pulseaudio and pulseaudio-utils)"
    exit 77
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/q731-pulse.XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -m 700 "$tmp/pulse" "$tmp/home"
socket="$tmp/pulse/native"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp" XDG_CONFIG_HOME="$tmp/home/.config"
export PULSE_SERVER="unix:$socket" PULSE_RUNTIME_PATH="$tmp/pulse" PULSE_STATE_PATH="$tmp/pulse"
# No session bus (and no display to start one through): the daemon only warns.
unset DISPLAY WAYLAND_DISPLAY
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus"

# -n: none of the default modules, only these two. As root it warns and runs.
pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --use-pid-file=no \
  --realtime=no --high-priority=no --log-target=stderr \
  -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
  -L "module-null-sink sink_name=q731test rate=48000" \
  >"$tmp/server.log" 2>&1 &
server=$!

ready=false
for _ in $(seq 200); do
  if ! kill -0 "$server" 2>/dev/null; then break; fi
  if pactl info >/dev/null 2>&1; then ready=true; break; fi
  sleep 0.05
done
if ! $ready || ! pactl set-default-sink q731test; then
  echo "FAIL: the private sound server did not start; its log:" >&2
  cat "$tmp/server.log" >&2
  exit 1
fi

status=0
"$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "== sound server log" >&2
  tail -n 40 "$tmp/server.log" >&2
fi
exit "$status"
