#!/bin/sh
# Runs a command in a D-Bus session of its own, with a GNOME Keyring of its own unlocked from a known password, and
# HOME and the XDG folders in a fresh temporary folder: the user's session, keyring and files are never reached.
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellumpad-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$scratch" "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION \
    KDE_FULL_SESSION
for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing (Debian packages dbus, gnome-keyring)" >&2; exit 1; }
done
# --unlock reads the password on standard input and creates the "login" keyring with it: the default collection.
status=0
dbus-run-session -- sh -c '
    printf %s "known-keyring-password" | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
    # The daemon goes into the background before it takes its name on the bus; a call before that would start a
    # second, locked one.
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true"; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || { echo "gnome-keyring-daemon did not start" >&2; exit 1; }
        sleep 0.1
    done
    "$@"' keyring "$@" || status=$?
exit $status
