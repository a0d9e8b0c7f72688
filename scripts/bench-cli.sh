#!/usr/bin/env bash
# Times vellumpad-cli against `openssl enc -aes-256-cbc -a` (same key and iv, given with -K and -iv) on the same
# notes of 1 MiB and 100 MiB: random UTF-8 text with non-ASCII characters, made in a scratch folder. Each step runs
# REPETITIONS times (default 5), the tools alternating, each round starting with the next; prints median wall-clock
# and CPU times, their ratios to openssl's in the same run, and the peak resident memory ("Maximum resident set
# size" of /usr/bin/time -v) against the note's size.
# Each tool writes its output two ways: into a named file (openssl -out against the tool's -o, an atomic, synced,
# read-back and verified save, which does more), and to standard output redirected into a file, both tools through
# the same shell, which compares like with like.
#   --busy      runs every step beside one competing busy process (a CPU-bound loop that the system may put on any
#               processor), as on a desktop that is never idle; the script starts it and ends it.
#   --also CLI  also times another vellumpad-cli (a build of an earlier commit, say) in the same rounds; may be
#               given more than once. Its rows are numbered in the order given.
# Builds a Release tree in build-bench; installs the package `time` when /usr/bin/time is missing.
#   scripts/bench-cli.sh [--busy] [--also CLI]... [REPETITIONS]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

usage="usage: scripts/bench-cli.sh [--busy] [--also CLI]... [REPETITIONS], REPETITIONS a whole number above 0."
busy=false
others=()
repetitions=5
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=true ;;
    --also)
        [ $# -ge 2 ] && [ -x "$2" ] || die "--also needs an executable vellumpad-cli. $usage"
        others+=("$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")
        shift
        ;;
    *)
        [[ $1 =~ ^[1-9][0-9]*$ ]] || die "$usage"
        repetitions=$1
        ;;
    esac
    shift
done

build_release_cli

scratch=$(mktemp -d)
busy_pid=
trap '[ -z "$busy_pid" ] || kill "$busy_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
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

# The tools timed: openssl first, the ratios' base; then this tree's vellumpad-cli and any given with --also.
tools=(ossl cli)
clis=("$cli")
for ((index = 0; index < ${#others[@]}; ++index)); do
    tools+=("cli$((index + 2))")
    clis+=("${others[index]}")
done
tool_label() {
    case $1 in
    ossl) echo "openssl" ;;
    cli) echo "vellumpad-cli" ;;
    *) echo "vellumpad-cli #${1#cli}" ;;
    esac
}

# run_tool TOOL STEP WAY MIB NOTE OUT: one timed run of one tool; STEP enc or dec, WAY o (a named file) or s
# (standard output redirected into OUT).
run_tool() {
    local tool=$1 step=$2 way=$3 mib=$4 note=$5 out=$6
    local name="$tool-$step-$way-$mib"
    local command
    if [ "$tool" = ossl ]; then
        command=(openssl enc -aes-256-cbc -a -K "$key" -iv "$iv")
        [ "$step" = enc ] && command+=(-in "$note") || command+=(-d -in "$scratch/ossl-$mib.b64")
        [ "$way" = o ] && command+=(-out "$out")
    else
        local index=0
        [ "$tool" = cli ] || index=$((${tool#cli} - 1))
        command=("${clis[index]}")
        [ "$step" = enc ] && command+=(encrypt) || command+=(decrypt)
        command+=(--password-file "$scratch/password")
        [ "$way" = o ] && command+=(-o "$out")
        [ "$step" = enc ] && command+=("$note") || command+=("$scratch/cli-$mib.vpd")
    fi
    if [ "$way" = o ]; then
        measure "$name" "${command[@]}"
    else
        to_file "$name" "$out" "${command[@]}"
    fi
}

if $busy; then
    # Pinned nowhere: the system moves it wherever it sees fit, as it would any other program.
    perl -e '1 while 1' &
    busy_pid=$!
fi

printf '%-26s %10s %6s %10s %6s %10s %8s\n' "" "wall" "ratio" "cpu" "ratio" "peak RSS" "x note"
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
        # The tools take turns at going first, so that none always runs just after the same other one: the same
        # build timed twice in one round came out up to a tenth slower when it ran first.
        shift_by=$((round % ${#tools[@]}))
        order=("${tools[@]:shift_by}" "${tools[@]:0:shift_by}")
        for step in enc dec; do
            for way in o s; do
                for tool in "${order[@]}"; do
                    rm -f "$scratch/out-$tool"
                    run_tool "$tool" "$step" "$way" "$mib" "$note" "$scratch/out-$tool"
                    if [ "$step" = dec ] && [ "$tool" != ossl ]; then
                        cmp -s "$note" "$scratch/out-$tool" ||
                            die "$(tool_label "$tool") did not decrypt the $mib MiB note back to itself."
                    fi
                done
            done
        done
    done

    for step in enc dec; do
        for way in o s; do
            [ "$way" = o ] && how="-o / -out" || how="> file"
            printf '%s\n' "$mib MiB $([ "$step" = enc ] && echo encrypt || echo decrypt), $how"
            base_wall=$(median_us "ossl-$step-$way-$mib" 1)
            base_cpu=$(median_us "ossl-$step-$way-$mib" 3)
            for tool in "${tools[@]}"; do
                name="$tool-$step-$way-$mib"
                awk -v label="$(tool_label "$tool")" -v wall="$(median_us "$name" 1)" -v cpu="$(median_us "$name" 3)" \
                    -v bwall="$base_wall" -v bcpu="$base_cpu" -v rss="$(peak_kib "$name")" -v size="$bytes" '
                    BEGIN {
                        # /usr/bin/time counts CPU time in hundredths of a second, too coarse for the small note.
                        cpuratio = bcpu > 0 ? sprintf("%6.2f", cpu / bcpu) : sprintf("%6s", "-")
                        printf "  %-24s %8.3f s %6.2f %8.3f s %s %6d MiB %8.2f\n", label, wall / 1e6, wall / bwall,
                            cpu / 1e6, cpuratio, int(rss / 1024), rss * 1024 / size
                    }'
            done
        done
    done
done
for ((index = 0; index < ${#others[@]}; ++index)); do
    echo "vellumpad-cli #$((index + 2)): ${others[index]}"
done
echo "median of $repetitions runs each$($busy && echo ", beside one busy process"); ratio = the tool's time / openssl's"
echo "in the same run. The cpu column is user plus system time, which other work on the machine disturbs less than"
echo "the wall clock."
