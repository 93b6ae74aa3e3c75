#!/bin/sh
# Runs a program in a private D-Bus session with its own GNOME Keyring, unlocked, in a temporary home: the
# Secret Service the program meets is real, but never the user's. Test programs built with KEYRING run
# themselves through this script (see TestHome), which marks the bus it made in TRELLICK_TEST_PRIVATE_BUS.
# TRELLICK_TEST_KEYRING_PASSWORD lets the test unlock the keyring again after locking it;
# TRELLICK_TEST_KEYRINGS is the folder holding the keyring files.
set -eu
scratch=$(mktemp -d) # mode 0700, as the runtime folder must be
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
unset GNOME_KEYRING_CONTROL DISPLAY WAYLAND_DISPLAY
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" XDG_RUNTIME_DIR="$scratch/runtime"
export TRELLICK_TEST_KEYRING_PASSWORD=trellick-test TRELLICK_TEST_KEYRINGS="$scratch/home/data/keyrings"
dbus-run-session -- sh -c '
    export TRELLICK_TEST_PRIVATE_BUS="$DBUS_SESSION_BUS_ADDRESS"
    printf %s "$TRELLICK_TEST_KEYRING_PASSWORD" | gnome-keyring-daemon --daemonize --login >/dev/null
    gnome-keyring-daemon --start --components=secrets >/dev/null
    "$@"' sh "$@"
