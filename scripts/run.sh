#!/usr/bin/env bash
# Installs what the editor needs, builds it and starts it. Arguments are passed to the editor.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${RUNTIME_PACKAGES[@]}" qt6-wayland qt6-translations-l10n xvfb xauth
mkdir -p "$ROOT/build"
configure_and_build "$ROOT/build" -DBUILD_TESTING=OFF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<MSG
vellumpad: built, but there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Start it from a desktop session, or under a virtual display:
    xvfb-run -a $ROOT/build/src/app/vellumpad
The command-line tool needs no display:
    $ROOT/build/src/cli/vellumpad-cli --help
MSG
    exit 1
fi
exec "$ROOT/build/src/app/vellumpad" "$@"
