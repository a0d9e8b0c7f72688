# Shared by the set-up scripts: package installation and the build. Sourced, not run.

die() {
    echo "vellumpad: $*" >&2
    exit 1
}

# Installs the Debian packages given that are missing; touches apt only when something is.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    [ "$(id -u)" -eq 0 ] || die "missing Debian packages: ${missing[*]}. Run this as root (or with sudo) so they can be installed."
    command -v apt-get >/dev/null || die "missing packages ${missing[*]} and no apt-get: this set-up is for Debian 12."
    echo "Installing: ${missing[*]}"
    apt-get update -qq || die "apt-get update failed: check the network connection and /etc/apt/sources.list."
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
        die "apt-get install failed for: ${missing[*]}"
}

BUILD_PACKAGES=(cmake make g++ pkg-config libssl-dev openssl qt6-base-dev libgl-dev libqscintilla2-qt6-dev
    qt6-tools-dev qt6-l10n-tools qtkeychain-qt6-dev libzxcvbn-dev)
# What the programs load at run time: libsecret, through which QtKeychain reaches the desktop keyring.
RUNTIME_PACKAGES=(libsecret-1-0)
# What scripts/package.sh needs to build the Debian package and check it.
PACKAGE_PACKAGES=(dpkg-dev lintian appstream man-db)

# configure_and_build BUILD_DIR [CMAKE_ARGS...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log" >&2; die "CMake could not configure $dir (log above)."; }
    cmake --build "$dir" --parallel "$(nproc)" || die "the build in $dir failed (errors above)."
}

# For the benchmark scripts: builds vellumpad-cli alone in Release into build-bench and sets cli to its path.
build_release_cli() {
    ensure_packages "${BUILD_PACKAGES[@]}" time
    configure_and_build "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELLUMPAD_GUI=OFF \
        -DVELLUMPAD_BENCHMARKS=OFF >/dev/null
    cli="$ROOT/build-bench/src/cli/vellumpad-cli"
    [ -x "$cli" ] || die "$cli was not built."
}
