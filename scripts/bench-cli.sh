#!/usr/bin/env bash
# Times vellumpad-cli against `openssl enc -aes-256-cbc -a` (same key and iv, given with -K and -iv) on the same
# notes of 1 MiB and 100 MiB: random UTF-8 text with non-ASCII characters, made in a scratch folder. Each step runs
# REPETITIONS times (default 5), the tools alternating; prints median wall-clock times, the ratio to openssl and
# the peak resident memory ("Maximum resident set size" of /usr/bin/time -v) against the note's size.
# Each tool writes its output two ways: into a named file (openssl -out against the tool's -o, an atomic, synced,
# read-back and verified save, which does more), and to standard output redirected into a file, both tools through
# the same shell, which compares like with like.
# Builds a Release tree in build-bench; installs the package `time` when /usr/bin/time is missing.
#   scripts/bench-cli.sh [REPETITIONS]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

repetitions=${1:-5}
[[ $repetitions =~ ^[1-9][0-9]*$ ]] || die "usage: scripts/bench-cli.sh [REPETITIONS], a whole number above 0."

ensure_packages "${BUILD_PACKAGES[@]}" time
configure_and_build "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELLUMPAD_GUI=OFF \
    -DVELLUMPAD_BENCHMARKS=OFF >/dev/null
cli="$ROOT/build-bench/src/cli/vellumpad-cli"
[ -x "$cli" ] || die "$cli was not built."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The tool must never see the user's own preferences or trace settings.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config"
unset VELLUMPAD_TRACE

password="bench pass word"
printf '%s\n' "$password" >"$scratch/password"
# The note key is the 32 ASCII characters of the password's MD5 in hex; openssl wants those bytes in hex again.
key=$(printf '%s' "$password" | md5sum | cut -c1-32 | tr -d '\n' | od -An -tx1 | tr -d ' \n')
iv=$(printf '%s' 7405219368150273 | od -An -tx1 | tr -d ' \n')

# make_note BYTES SEED > FILE: words, line breaks, accented letters, CJK and emoji, cut back to whole characters.
make_note() {
    perl -e '
        my ($size, $seed) = @ARGV;
        srand($seed);
        my @pieces = ("the ", "note ", "and ", "a", "Z", " ", "\n", "\r\n", "caf\xC3\xA9 ", "\xC3\xBC",
                      "\xD0\x96\xD0\xB8", "\xE5\x90\x8D\xE5\x89\x8D ", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                      "0123456789", "\t");
        binmode STDOUT;
        my $written = 0;
        while ($written < $size) {
            my $block = join "", map { $pieces[int(rand(@pieces))] } 1 .. 65536;
            if ($written + length($block) >= $size) {
                $block = substr($block, 0, $size - $written);
                $block =~ s/[\x80-\xFF]+\z//;
                $block .= "x" x ($size - $written - length($block));
            }
            print $block;
            $written += length($block);
        }' "$1" "$2"
}

# measure NAME COMMAND...: runs the command once; appends "wall-µs peak-KiB cpu-µs" to $scratch/NAME, where cpu is
# user plus system time: on a machine that other work keeps busy, it varies far less than the wall clock.
measure() {
    local name=$1
    shift
    local start end
    # Earlier runs' files still being written to disk would slow whichever tool runs next.
    sync
    start=$(date +%s%N)
    /usr/bin/time -v -o "$scratch/time.txt" "$@" 2>"$scratch/stderr.txt" ||
        { cat "$scratch/stderr.txt" >&2; die "failed: $*"; }
    end=$(date +%s%N)
    local rss cpu
    rss=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$scratch/time.txt")
    cpu=$(awk -F': ' '/User time|System time/ { total += $2 } END { printf "%d", total * 1e6 }' "$scratch/time.txt")
    echo "$(((end - start) / 1000)) $rss $cpu" >>"$scratch/$name"
}

# to_file NAME FILE COMMAND...: measures the command with its standard output redirected into FILE. Both tools are
# run this way for the `>` column, so that both pay for the same shell.
to_file() {
    local name=$1 file=$2
    shift 2
    measure "$name" sh -c 'exec "$@" >"$0"' "$file" "$@"
}

# median_us NAME [FIELD] and peak_kib NAME: the median wall (or FIELD 3, CPU) time in microseconds and the largest
# peak memory over the runs.
median_us() {
    local field=${2:-1}
    sort -n -k"$field" "$scratch/$1" | awk -v f="$field" '{ t[NR] = $f } END { print t[int((NR + 1) / 2)] }'
}
peak_kib() { sort -n -k2 "$scratch/$1" | tail -1 | cut -d' ' -f2; }

printf '%-8s %-8s %10s %10s %5s %10s %10s %5s   %s\n' "note" "step" "ossl -out" "cli -o" "ratio" "ossl >" "cli >" \
    "ratio" "peak RSS ossl/-o/> (x note)"
for mib in 1 100; do
    bytes=$((mib * 1024 * 1024))
    note="$scratch/note-$mib.txt"
    make_note "$bytes" "$mib" >"$note"
    "$cli" encrypt --password-file "$scratch/password" -o "$scratch/cli-$mib.vpd" "$note" 2>/dev/null
    openssl enc -aes-256-cbc -a -K "$key" -iv "$iv" -in "$note" -out "$scratch/ossl-$mib.b64"
    # The same Base64 in the same lines: openssl breaks them with LF and ends with one, the tool with CR LF.
    cmp -s <(tr -d '\r' <"$scratch/cli-$mib.vpd"; echo) "$scratch/ossl-$mib.b64" ||
        die "vellumpad-cli and openssl disagree on the $mib MiB note."

    for ((round = 0; round < repetitions; ++round)); do
        rm -f "$scratch"/out-*
        measure "ossl-enc-o-$mib" openssl enc -aes-256-cbc -a -K "$key" -iv "$iv" -in "$note" -out "$scratch/out-1"
        measure "cli-enc-o-$mib" "$cli" encrypt --password-file "$scratch/password" -o "$scratch/out-2" "$note"
        to_file "ossl-enc-s-$mib" "$scratch/out-7" openssl enc -aes-256-cbc -a -K "$key" -iv "$iv" -in "$note"
        to_file "cli-enc-s-$mib" "$scratch/out-3" "$cli" encrypt --password-file "$scratch/password" "$note"
        measure "ossl-dec-o-$mib" openssl enc -d -aes-256-cbc -a -K "$key" -iv "$iv" -in "$scratch/ossl-$mib.b64" \
            -out "$scratch/out-4"
        measure "cli-dec-o-$mib" "$cli" decrypt --password-file "$scratch/password" -o "$scratch/out-5" \
            "$scratch/cli-$mib.vpd"
        to_file "ossl-dec-s-$mib" "$scratch/out-8" openssl enc -d -aes-256-cbc -a -K "$key" -iv "$iv" \
            -in "$scratch/ossl-$mib.b64"
        to_file "cli-dec-s-$mib" "$scratch/out-6" "$cli" decrypt --password-file "$scratch/password" \
            "$scratch/cli-$mib.vpd"
    done
    for out in 5 6; do
        cmp -s "$note" "$scratch/out-$out" || die "vellumpad-cli did not decrypt the $mib MiB note back to itself."
    done

    for step in enc dec; do
        rss=$(for name in "ossl-$step-o-$mib" "cli-$step-o-$mib" "cli-$step-s-$mib"; do
            printf '%s ' "$(peak_kib "$name")"
        done)
        for field in 1 3; do
            times=$(for name in ossl-$step-o cli-$step-o ossl-$step-s cli-$step-s; do
                printf '%s ' "$(median_us "$name-$mib" "$field")"
            done)
            awk -v label="$mib MiB" -v step="$step" -v t="$times" -v rss="$rss" -v size="$bytes" -v field="$field" '
                BEGIN {
                    split(t, m, " "); split(rss, r, " ");
                    if (field == 1) {
                        printf "%-8s %-8s %8.3f s %8.3f s %5.2f %8.3f s %8.3f s %5.2f   %s/%s/%s MiB (%.2f/%.2f/%.2f)\n",
                            label, step == "enc" ? "encrypt" : "decrypt", m[1] / 1e6, m[2] / 1e6, m[2] / m[1],
                            m[3] / 1e6, m[4] / 1e6, m[4] / m[3], int(r[1] / 1024), int(r[2] / 1024),
                            int(r[3] / 1024), r[1] * 1024 / size, r[2] * 1024 / size, r[3] * 1024 / size
                    } else if (m[1] == 0 || m[3] == 0) {
                        # /usr/bin/time counts CPU time in hundredths of a second, too coarse for the small note.
                        printf "%-8s %-8s (too short to count)\n", "", "  cpu"
                    } else {
                        printf "%-8s %-8s %8.3f s %8.3f s %5.2f %8.3f s %8.3f s %5.2f\n", "", "  cpu",
                            m[1] / 1e6, m[2] / 1e6, m[2] / m[1], m[3] / 1e6, m[4] / 1e6, m[4] / m[3]
                    }
                }'
        done
    done
done
echo "median of $repetitions runs each; ratio = vellumpad-cli time / openssl time (target: at most 0.5);"
echo "the cpu rows are user plus system time, which other work on the machine disturbs less than the wall clock"
