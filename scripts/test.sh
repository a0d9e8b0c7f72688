#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors and runs the whole suite:
# once in a plain build, whose Debian package then goes through lintian, once under AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for 10^5 executions or 4 minutes,
# whichever comes first.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

# fonts-wqy-microhei: a CJK font, so that the note view's pixel test draws Japanese rather than empty boxes.
ensure_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev \
    clang libclang-rt-14-dev desktop-file-utils shared-mime-info libxml2-utils "${PACKAGE_PACKAGES[@]}" \
    qt6-translations-l10n "${RUNTIME_PACKAGES[@]}" gnome-keyring dbus dbus-bin dbus-daemon libglib2.0-bin fonts-wqy-microhei

# Tests must never see the user's own preferences, notes or display.
export QT_QPA_PLATFORM=offscreen
unset VELLUMPAD_TRACE

echo "== Build and test =="
configure_and_build "$ROOT/build-test" -DVELLUMPAD_WERROR=ON -DVELLUMPAD_BENCHMARKS=ON
ctest --test-dir "$ROOT/build-test" --output-on-failure --parallel "$(nproc)"

echo "== Debian package: lintian and AppStream =="
"$ROOT/scripts/package.sh" "$ROOT/build-test"

echo "== Build and test under sanitizers =="
configure_and_build "$ROOT/build-asan" -DVELLUMPAD_WERROR=ON -DVELLUMPAD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
# Also catches a pointer to a returned function's locals and static initialisers that depend on their order.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure --parallel "$(nproc)"

if [ -x "$ROOT/scripts/fuzz.sh" ]; then
    # 10^5 executions per target, each capped at 4 minutes; two targets at a time on two processors.
    echo "== Fuzz each target =="
    "$ROOT/scripts/fuzz.sh" "${VELLUMPAD_FUZZ_SECONDS:-240}" "${VELLUMPAD_FUZZ_RUNS:-100000}"
fi
