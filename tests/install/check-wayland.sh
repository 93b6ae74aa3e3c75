#!/usr/bin/env bash
# check-wayland.sh TRELLICK: starts the window natively on Wayland, under a headless weston of its own, and
# checks that it made a top-level window and drew into it. Safe to run by hand: all in a temporary folder.
set -euo pipefail
program="$(realpath "$1")"
work="$(mktemp -d)"
trap 'kill "${app:-}" "${weston:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
export XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/run"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY

weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 > "$work/weston.log" 2>&1 &
weston=$!
for _ in $(seq 50); do
    [ -S "$XDG_RUNTIME_DIR/wayland-test" ] && break
    sleep 0.1
done
WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client "$program" > "$work/app.log" 2>&1 &
app=$!
for _ in $(seq 150); do
    grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$work/app.log" && break
    sleep 0.1
done
grep -q 'xdg_toplevel@[0-9]*\.set_title("Trellick")' "$work/app.log" || { tail -20 "$work/app.log"; exit 1; }
grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$work/app.log" || { tail -20 "$work/app.log"; exit 1; }
echo "the window opened natively on Wayland"
