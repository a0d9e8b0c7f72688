#!/usr/bin/env bash
# Times the editor with large notes: notes of 1, 10 and 100 MiB (lines of 40 to 120 bytes with accented letters,
# Greek, Cyrillic, CJK and emoji), then notes of one line of 2 and 10 MiB (of those words, of ASCII words, of Japanese
# without spaces) with word wrap on and off, are saved with the core and opened through File > Open in an offscreen
# window, each in a process of its own. Prints, per size, the median over RUNS runs (default 3) of: the time until the
# first screen of text is painted, until the whole note is in and editable, until word wrap has gone through it (and
# the CPU time that took), the longest the window did not answer meanwhile, to type a letter and a line break
# mid-note, to resize the window, to save with File > Save, and the peak resident memory of each step. Each figure is
# given with the view's run styling and without it (the way before), run alternately.
# Then, under Xvfb, the time from launch until the process is quiet, its CPU time and peak memory, for the editor with
# and without run styling and for FeatherPad with the same notes (--peers alone does only that).
# Builds a Release tree in build-edperf; options given replace the default set and go to the benchmark (--crlf for
# CR LF notes, --one-line [--ascii | --japanese], --no-wrap, --compare, --sizes 1,100).
#   scripts/bench-editor.sh [RUNS] [--crlf] [--one-line] [--no-wrap] [--sizes LIST]
#   scripts/bench-editor.sh [RUNS] --peers [--sizes LIST]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

runs=3
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
    runs=$1
    shift
fi
[[ $runs -ge 1 ]] || die "usage: scripts/bench-editor.sh [RUNS] [--peers] [--crlf] [--one-line] [--no-wrap] [--sizes LIST], RUNS a whole number above 0."

ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev
configure_and_build "$ROOT/build-edperf" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELLUMPAD_GUI=ON \
    -DVELLUMPAD_BENCHMARKS=ON >/dev/null
bench="$ROOT/build-edperf/bench/vellumpad_editor_bench"
peer_bench="$ROOT/build-edperf/bench/vellumpad_peer_bench"
[ -x "$bench" ] && [ -x "$peer_bench" ] || die "$bench or $peer_bench was not built."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The editor must never see the user's own preferences or trace settings.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" \
    XDG_STATE_HOME="$scratch/state"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset VELLUMPAD_TRACE

# FeatherPad on a virtual display, wrapping lines as it does by default, in a window of the editor's size.
peers() {
    ensure_packages xvfb xauth featherpad
    mkdir -p "$XDG_CONFIG_HOME/featherpad"
    printf '[text]\nnoWrap=false\n[window]\nremSize=false\nstartSize=@Size(900 700)\n' \
        >"$XDG_CONFIG_HOME/featherpad/fp.conf"
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$peer_bench" --runs "$runs" --folder "$scratch" "$@"
}

if [[ $# -gt 0 && $1 == --peers ]]; then
    shift
    peers "$@"
elif [ $# -gt 0 ]; then
    "$bench" --runs "$runs" --folder "$scratch" "$@"
else
    "$bench" --runs "$runs" --folder "$scratch" --compare --sizes 1,10,100
    for line in "" --ascii --japanese; do
        "$bench" --runs "$runs" --folder "$scratch" --compare --sizes 2,10 --one-line $line
    done
    "$bench" --runs "$runs" --folder "$scratch" --compare --sizes 2,10 --one-line --no-wrap
    peers --sizes 1,10
    # Without run styling a 100 MiB note takes minutes to settle: its figure comes from the first part.
    peers --sizes 100 --no-plain
fi
