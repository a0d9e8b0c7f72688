#!/usr/bin/env bash
# Refreshes translations/vellumpad_*.ts from the interface text in src/: new texts come in unfinished (the
# translation_files_tests test then fails until they are translated), texts no longer in the code go.
# Usage: scripts/update-translations.sh [LANG...]   (each LANG, such as de, also starts a new translation)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=common.sh
. "$ROOT/scripts/common.sh"

LUPDATE=/usr/lib/qt6/bin/lupdate
[ -x "$LUPDATE" ] || ensure_packages qt6-l10n-tools
[ -x "$LUPDATE" ] || die "no lupdate at $LUPDATE (Debian package qt6-l10n-tools)."

cd "$ROOT"
for language in "$@"; do
    [[ "$language" =~ ^[a-z]{2,3}(_[A-Z]{2})?$ ]] || die "not a language code: $language (say ja or pt_BR)."
    ts=translations/vellumpad_$language.ts
    [ -e "$ts" ] || printf '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n<TS version="2.1" language="%s" sourcelanguage="en">\n</TS>\n' \
        "$language" >"$ts"
done
# The command-line tool (src/cli) is for scripts and stays in English. Without locations a .ts changes only
# where a text does, so edits to the code elsewhere never touch it.
for ts in translations/vellumpad_*.ts; do
    "$LUPDATE" -silent -no-obsolete -locations none -extensions cpp,h -I src \
        src/app src/window src/preferences src/platform -ts "$ts"
done
