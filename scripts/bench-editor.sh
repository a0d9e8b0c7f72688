#!/usr/bin/env bash
# Times the editor with large notes: notes of 1, 10 and 100 MiB (lines of 40 to 120 bytes with accented letters,
# CJK and emoji) are saved with the core and opened through File > Open in an offscreen window, each in a process of
# its own. Prints, per size, the median over RUNS runs (default 3) of: the time until the first screen of text is
# painted, until the whole note is in and editable, to type a letter and a line break mid-note, to resize the window,
# to save with File > Save, and the peak resident memory of each step.
# Builds a Release tree in build-edperf; extra options go to the benchmark (--crlf for CR LF notes, --sizes 1,100).
#   scripts/bench-editor.sh [RUNS] [--crlf] [--sizes LIST]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

runs=3
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
    runs=$1
    shift
fi
[[ $runs -ge 1 ]] || die "usage: scripts/bench-editor.sh [RUNS] [--crlf] [--sizes LIST], RUNS a whole number above 0."

ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev
configure_and_build "$ROOT/build-edperf" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELLUMPAD_GUI=ON \
    -DVELLUMPAD_BENCHMARKS=ON >/dev/null
bench="$ROOT/build-edperf/bench/vellumpad_editor_bench"
[ -x "$bench" ] || die "$bench was not built."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The editor must never see the user's own preferences or trace settings.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset VELLUMPAD_TRACE

"$bench" --runs "$runs" --folder "$scratch" "$@"
