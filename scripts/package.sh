#!/usr/bin/env bash
# Makes the two packages of Tessaly and checks them:
#   tessaly_<version>_<arch>.deb                  the Debian package (programs in /usr/bin,
#                                                 launcher, icons, manuals, completion);
#   tessaly-<version>-portable-<cpu>.tar.gz       the portable layout: programs and request
#                                                 folders in one folder.
# Builds the programs alone (no tests), in Release with Debian's hardening flags, in
# OUTPUT/build; then checks the launcher files (desktop-file-validate, appstreamcli) and the
# Debian package (lintian: no errors). Installs the Debian packages it lacks first.
# Usage: scripts/package.sh [OUTPUT FOLDER]   (default: build-package)
# With TESSALY_PACKAGE_FROM=BUILD_FOLDER it packs the programs of that existing build instead
# of building them again (CI packs the build it has just tested).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-$root/build-package}")
build=${TESSALY_PACKAGE_FROM:-$out/build}
"$root/scripts/deps.sh" package-packages.txt
umask 022  # the package's files and folders get the usual modes

if [ -z "${TESSALY_PACKAGE_FROM:-}" ]; then
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSALY_TESTS=OFF \
              -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    cmake --build "$build" -j"$(nproc)"
fi
mkdir -p "$out"
rm -f "$out"/*.deb "$out"/*.tar.gz
(cd "$build" && cpack -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"

desktop-file-validate "$root/packaging/io.tessaly.Tessaly.desktop"
appstreamcli validate --no-net --pedantic "$build/packaging/io.tessaly.Tessaly.metainfo.xml"
deb=$(ls "$out"/tessaly_*.deb)
lintian --fail-on error "$deb" ||
    { echo "lintian reports errors on $deb" >&2; exit 1; }
ls -l "$out"/*.deb "$out"/*.tar.gz
