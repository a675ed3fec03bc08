#!/usr/bin/env bash
# Runs the tests labelled "keychain" against a Secret Service of their own: a private session
# bus (dbus-run-session) with gnome-keyring-daemon on it, its keyring in a temporary folder,
# so that the user's own keychain is never touched. Needs the packages of ci-packages.txt.
# Usage: scripts/keychain-test.sh [build folder]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export XDG_DATA_HOME=$data TESSALY_PRIVATE_KEYCHAIN=1 QT_QPA_PLATFORM=offscreen
unset XDG_CURRENT_DESKTOP
# The daemon makes a login keyring with a throw-away password and serves it unlocked.
dbus-run-session -- sh -c "printf throwaway | gnome-keyring-daemon --unlock --components=secrets >/dev/null &&
    ctest --test-dir '$build' -L keychain --output-on-failure" 2> >(grep -v 'fd limit' >&2)
