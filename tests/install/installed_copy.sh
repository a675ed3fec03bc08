#!/usr/bin/env bash
# Checks an installed copy of Tessaly in a scratch home: the home folder is made and filled with
# the shipped request folders, a second start keeps the user's edits, and tessaly-cli talks to
# the installed tessaly-devsim on 127.0.0.1. Used by ctest (a DESTDIR install) and by CI (the
# installed Debian package).
# Usage: tests/install/installed_copy.sh BIN_FOLDER SHARE_FOLDER
#   BIN_FOLDER holds the installed programs, SHARE_FOLDER the shipped request folders.
set -euo pipefail
bin=$1
share=$2
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
    # The simulator's status on SIGTERM must not become the script's (set -e holds here too).
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A user of their own: no configuration, data or keychain of the real one is touched.
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessaly-test-bus
unset XDG_DATA_HOME
mkdir -p "$HOME"
data=$HOME/.local/share/tessaly
cd "$scratch"  # nothing of the source or build folder is in reach

"$bin/tessaly-cli" --version | grep -qx "tessaly-cli [0-9.]*" || fail "tessaly-cli --version"
[ ! -e "$data" ] || fail "--version made the home folder"

# First start: the home folder is made and holds copies of the shipped request folders.
"$bin/tessaly-cli" catalogue --mode long >"$scratch/first" || fail "catalogue"
grep -qx "  SUBSCRIBE_SetSubscribe_test" "$scratch/first" || fail "catalogue lacks the shipped files"
diff -r "$share/protocol_long" "$data/protocol_long" || fail "protocol_long not copied whole"
diff -r "$share/protocol_short" "$data/protocol_short" || fail "protocol_short not copied whole"

# Second start: an edited file stays edited, a deleted one stays deleted.
edited=$data/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml
deleted=$(find "$data/protocol_short" -name '*.xml' | head -n 1)
printf 'edited by the user' >"$edited"
rm "$deleted"
"$bin/tessaly-cli" catalogue --mode short >/dev/null || fail "second catalogue"
[ "$(cat "$edited")" = "edited by the user" ] || fail "the user's edit was overwritten"
[ ! -e "$deleted" ] || fail "a deleted request file came back"
cp "$share/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml" "$edited"

# A short send and a short listen against the installed simulator, on 127.0.0.1 only.
"$bin/tessaly-devsim" --short-port 0 --long-port 0 --count 2 --rate 0 >"$scratch/sim" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^long-port ' "$scratch/sim" && break
    sleep 0.1
done
short=$(awk '/^short-port / { print $2 }' "$scratch/sim")
long=$(awk '/^long-port / { print $2 }' "$scratch/sim")
[ -n "$short" ] && [ -n "$long" ] || fail "tessaly-devsim did not start"
timeout 30 "$bin/tessaly-cli" send GetDeviceInfo --ip 127.0.0.1 --short-port "$short" \
    >"$scratch/answer" || fail "send GetDeviceInfo"
grep -q "<hardwareVersion" "$scratch/answer" || fail "no device information in the answer"
# The request file is named as in a portable folder; the log and pictures land in the home.
timeout 30 "$bin/tessaly-cli" listen protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml \
    --ip 127.0.0.1 --long-port "$long" --seconds 3 >"$scratch/listen" || fail "listen"
grep -q "^response length=" "$scratch/listen" || fail "no answer to the subscription"
[ -s "$data/ApiLog.txt" ] || fail "no ApiLog.txt in the home folder"
[ -n "$(find "$data/pic" -name '*.jpg' 2>/dev/null | head -n 1)" ] || fail "no pictures filed"

# The window's command line answers without a display.
if [ -x "$bin/tessaly" ]; then
    "$bin/tessaly" --version | grep -q "^Tessaly " || fail "tessaly --version"
fi
echo "installed copy works"
