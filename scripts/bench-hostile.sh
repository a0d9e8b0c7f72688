#!/usr/bin/env bash
# Runs vellumpad-cli on the inputs a hostile or unlucky user gives it (devices, endless pipes, a sparse file of
# 64 GiB, garbage, a large note decrypted from a file) and prints, for each, the exit status, the wall-clock time
# and the peak resident memory ("Maximum resident set size" of /usr/bin/time -v). Every run is capped at 60 s:
# "timeout" in the table means it did not stop by itself.
# Builds a Release tree in build-bench; installs the package `time` when /usr/bin/time is missing.
#   scripts/bench-hostile.sh
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

build_release_cli

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The tool must never see the user's own preferences or trace settings.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config"
unset VELLUMPAD_TRACE
cd "$scratch"
printf 'pw\n' >pw
truncate -s 64G sparse.vpd
head -c 1073741824 /dev/zero | tr '\0' 'A' >garbage.vpd
# A note of 1 GiB made of one repeated line, encrypted once for the decrypt runs.
# (yes ends on the broken pipe, which is no failure here.)
{ yes 'a line of the note, 32 bytes ..' || true; } | head -c 1073741824 >large.txt
"$cli" encrypt --password-file pw -o large.vpd large.txt 2>/dev/null

# run NAME SHELL-COMMAND: the command's output is thrown away; the tool's own run is timed.
run() {
    local status=0
    /usr/bin/time -v -o time.log timeout 60 sh -c "$2" >/dev/null 2>&1 || status=$?
    local wall peak
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' time.log)
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.log)
    [ "$status" -eq 124 ] && status=timeout
    printf '%-46s exit %-7s %10s s %8d MiB\n' "$1" "$status" "$wall" "$((peak / 1024))"
}

run "encrypt --password-file /dev/zero" "'$cli' encrypt --password-file /dev/zero large.txt"
run "encrypt /dev/zero" "'$cli' encrypt --password-file pw /dev/zero"
run "encrypt </dev/urandom" "'$cli' encrypt --password-file pw </dev/urandom"
run "decrypt /dev/zero" "'$cli' decrypt --password-file pw /dev/zero"
run "decrypt </dev/zero" "'$cli' decrypt --password-file pw </dev/zero"
run "decrypt sparse 64 GiB file" "'$cli' decrypt --password-file pw sparse.vpd"
run "decrypt 1 GiB of 'A' from a pipe" "cat garbage.vpd | '$cli' decrypt --password-file pw"
run "decrypt 1 GiB of 'A' from a file" "'$cli' decrypt --password-file pw garbage.vpd"
run "decrypt 1 GiB note, file to -o" "'$cli' decrypt --password-file pw -o out.txt large.vpd"
run "decrypt 1 GiB note, file to a pipe" "'$cli' decrypt --password-file pw large.vpd | cat"
run "decrypt 1 GiB note, file to >file" "'$cli' decrypt --password-file pw large.vpd >out.txt"
