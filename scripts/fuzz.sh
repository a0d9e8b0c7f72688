#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for SECONDS (default 30), starting from a
# scratch copy of its checked-in seed corpus, which is never grown here. Prints executions and findings per
# target and exits non-zero when any target finds a crash, a leak, a timeout or a broken property.
# Installs nothing: scripts/test.sh installs clang and libclang-rt-14-dev.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

seconds=${1:-30}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || die "usage: scripts/fuzz.sh [SECONDS], SECONDS a whole number above 0 (got '$seconds')."
command -v clang++ >/dev/null || die "clang++ is missing: run scripts/test.sh once, which installs clang and libclang-rt-14-dev."
compgen -G "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer*.a" >/dev/null ||
    die "clang's libFuzzer runtime is missing: run scripts/test.sh once, which installs libclang-rt-14-dev."

BUILD="$ROOT/build-fuzz"
CC=clang CXX=clang++ configure_and_build "$BUILD" -DVELLUMPAD_FUZZ=ON -DVELLUMPAD_WERROR=ON -DBUILD_TESTING=OFF \
    -DVELLUMPAD_GUI=OFF

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
findingsDir="$BUILD/findings"
mkdir -p "$findingsDir"

failed=()
for target in base64 utf8 decrypt url_path open_file cli_arguments; do
    binary="$BUILD/fuzz/fuzz_$target"
    [ -x "$binary" ] || die "the fuzz target $binary was not built."
    corpus="$scratch/$target"
    mkdir -p "$corpus"
    cp -R "$ROOT/fuzz/corpus/$target/." "$corpus/"
    dictionary=()
    [ -f "$ROOT/fuzz/$target.dict" ] && dictionary=(-dict="$ROOT/fuzz/$target.dict")
    log="$findingsDir/$target.log"
    # Each finding stays in build-fuzz/findings for reproduction: run the target binary with the file as argument.
    status=0
    "$binary" "$corpus" "${dictionary[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findingsDir/$target-" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    finding=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
    if [ "$status" -eq 0 ] && [ -z "$finding" ]; then
        printf '%-14s %10s executions, 0 findings\n' "$target" "${executions:-?}"
    else
        printf '%-14s %10s executions, 1 finding (exit %d): %s\n' "$target" "${executions:-?}" "$status" \
            "${finding:-see $log}"
        grep -E -m 1 -A 12 '^==[0-9]+==|SUMMARY|deadly signal|ERROR' "$log" >&2 || tail -n 30 "$log" >&2
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    die "fuzzing found problems in: ${failed[*]} (inputs and logs in $findingsDir)"
fi
echo "Fuzzing found nothing in ${seconds} s per target."
