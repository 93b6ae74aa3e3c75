#!/bin/sh
# Runs a test program in a private D-Bus session with its own GNOME Keyring, unlocked, in a temporary
# home: the Secret Service the program meets is real, but never the user's.
# TRELLICK_TEST_KEYRING_PASSWORD lets the test unlock the keyring again after locking it.
set -eu
scratch=$(mktemp -d) # mode 0700, as the runtime folder must be
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" XDG_RUNTIME_DIR="$scratch/runtime"
export TRELLICK_TEST_KEYRING_PASSWORD=trellick-test
dbus-run-session -- sh -c '
    printf %s "$TRELLICK_TEST_KEYRING_PASSWORD" | gnome-keyring-daemon --daemonize --login >/dev/null
    gnome-keyring-daemon --start --components=secrets >/dev/null
    "$@"' sh "$@"
