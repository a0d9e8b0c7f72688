#!/usr/bin/env bash
# Builds the Debian package and checks it as Debian would: lintian must report no error and no warning,
# and appstreamcli must accept the software-centre metadata.
# Usage: scripts/package.sh [BUILD_DIR]
# Without BUILD_DIR it configures and builds build-deb; given one, it packages that build as it stands
# (scripts/test.sh passes its own).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

if [ $# -ge 1 ]; then
    build=$(cd "$1" && pwd)
    [ -f "$build/CPackConfig.cmake" ] || die "$build is not a configured build directory."
else
    build=$ROOT/build-deb
    mkdir -p "$build"
    configure_and_build "$build" -DVELLUMPAD_WERROR=ON -DBUILD_TESTING=OFF
fi

out=$build/deb
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out.log" 2>&1 ||
    { cat "$out.log" >&2; die "cpack could not build the package (log above)."; }
debs=("$out"/vellumpad_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack did not leave exactly one vellumpad_*.deb in $out."
deb=${debs[0]}
echo "Built $deb"

echo "== lintian =="
# Informational tags are shown but do not fail the check. lintian only complains about running as root.
lintian --info --display-info --fail-on error,warning "$deb" 2> >(grep -v 'root privileges' >&2) ||
    die "lintian reports errors or warnings for $deb (above)."

echo "== appstreamcli =="
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
metainfo=("$scratch"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || die "the package carries no AppStream metadata in /usr/share/metainfo."
appstreamcli validate --no-net "${metainfo[@]}" || die "appstreamcli rejects the package's AppStream metadata."
echo "Package checked: $deb"
