#!/usr/bin/env bash
# Makes the Debian package flickstow_<version>_amd64.deb from a build:
#
#   package.sh BUILD OUTDIR
#
# BUILD is a configured build folder in which the program is built (make
# package does both); the package goes into OUTDIR. CPack's DEB generator
# packages what the install rules of the component "deb" name
# (packaging/CMakeLists.txt), with dependencies from dpkg-shlibdeps.
# Reproducible: every time stamp in it is SOURCE_DATE_EPOCH, by default the
# date of the newest entry of packaging/changelog, so the same sources give
# the same bytes.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 BUILD OUTDIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$2

fail() {
    echo "Flickstow: $*" >&2
    exit 1
}

[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build folder; run 'make package'."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog -l "$here/packaging/changelog" -S Timestamp)}
# The modes of the folders CPack stages are the package's.
umask 022
staging=$(mktemp -d "$build/package.XXXXXX")
trap 'rm -rf -- "$staging"' EXIT
(cd "$build" && cpack -G DEB -B "$staging") >"$staging/cpack.log" 2>&1 || {
    cat "$staging/cpack.log" >&2
    fail "CPack could not make the package."
}
debs=("$staging"/*.deb)
{ [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "CPack made no package, or more than one: ${debs[*]}"
mkdir -p -- "$out"
mv -f -- "${debs[0]}" "$out/"
name=$(basename -- "${debs[0]}")
echo "Built $out/$name"
