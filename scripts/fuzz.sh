#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for RUNS executions (default 100000), or
# SECONDS (default 240) if it gets no further in that time, starting from a scratch copy of its checked-in seed
# corpus, which is never grown here. Runs as many targets at once as there are processors. Prints executions and
# findings per target, and says which targets stopped short of RUNS; exits non-zero when any target finds a crash,
# a leak, a timeout or a broken property.
# Installs nothing: scripts/test.sh installs clang and libclang-rt-14-dev.
#   scripts/fuzz.sh [SECONDS [RUNS]]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

seconds=${1:-240}
runs=${2:-100000}
[[ $seconds =~ ^[1-9][0-9]*$ && $runs =~ ^[1-9][0-9]*$ ]] ||
    die "usage: scripts/fuzz.sh [SECONDS [RUNS]], whole numbers above 0 (got '$seconds' '$runs')."
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
targets=(base64 utf8 decrypt url_path open_file cli_arguments cli_run atomic_file mapped_file)

# fuzz_one TARGET: runs it and leaves one line of results in $scratch/TARGET.result, "ok" or "failed" first.
fuzz_one() {
    local target=$1
    local binary="$BUILD/fuzz/fuzz_$target"
    local corpus="$scratch/corpus-$target"
    mkdir -p "$corpus"
    [ -d "$ROOT/fuzz/corpus/$target" ] && cp -R "$ROOT/fuzz/corpus/$target/." "$corpus/"
    local dictionary=()
    [ -f "$ROOT/fuzz/$target.dict" ] && dictionary=(-dict="$ROOT/fuzz/$target.dict")
    local log="$findingsDir/$target.log"
    # Each finding stays in build-fuzz/findings for reproduction: run the target binary with the file as argument.
    local status=0
    "$binary" "$corpus" "${dictionary[@]}" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findingsDir/$target-" >"$log" 2>&1 || status=$?
    local executions time finding
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    time=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    finding=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
    if [ "$status" -eq 0 ] && [ -z "$finding" ]; then
        printf 'ok %-14s %10s executions (%s a second), 0 findings\n' "$target" "${executions:-?}" "${time:-?}" \
            >"$scratch/$target.result"
    else
        printf 'failed %-14s %10s executions, 1 finding (exit %d): %s\n' "$target" "${executions:-?}" "$status" \
            "${finding:-see $log}" >"$scratch/$target.result"
    fi
}

for target in "${targets[@]}"; do
    [ -x "$BUILD/fuzz/fuzz_$target" ] || die "the fuzz target $BUILD/fuzz/fuzz_$target was not built."
done
parallel=$(nproc)
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait

failed=()
short=()
for target in "${targets[@]}"; do
    read -r outcome line <"$scratch/$target.result"
    echo "$line"
    if [ "$outcome" != ok ]; then
        grep -E -m 1 -A 12 '^==[0-9]+==|SUMMARY|deadly signal|ERROR' "$findingsDir/$target.log" >&2 ||
            tail -n 30 "$findingsDir/$target.log" >&2
        failed+=("$target")
    else
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$findingsDir/$target.log" | tail -n 1)
        [ "${executions:-0}" -ge "$runs" ] || short+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    die "fuzzing found problems in: ${failed[*]} (inputs and logs in $findingsDir)"
fi
if [ ${#short[@]} -eq 0 ]; then
    echo "Fuzzing found nothing in $runs executions per target."
else
    echo "Fuzzing found nothing. Stopped by the ${seconds} s limit before $runs executions (counts above): ${short[*]}."
fi
