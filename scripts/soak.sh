#!/usr/bin/env bash
# Soak run of the long connection: the device simulator pushes EVENTS events (default 10000) as
# fast as they are taken, while `tessaly-cli listen` receives them. Afterwards:
#   - ApiLog.txt equals, byte for byte, what the simulator sent on the long port;
#   - the pictures filed under pic equal the pictures sent, in number and in bytes;
#   - the listener's resident memory stayed flat, and its threads and open descriptors did
#     not grow (sampled from /proc/<pid>/status and /proc/<pid>/fd once a second).
# Everything runs on 127.0.0.1 in a temporary folder, removed afterwards unless SOAK_KEEP=1.
#
# Usage: scripts/soak.sh [EVENTS]
# Environment: TESSALY_BIN (folder of tessaly-cli and tessaly-devsim; default build/bin),
#   SOAK_PICTURE_SIZE (WxH of the simulated source pictures; default 640x360),
#   SOAK_RSS_SLACK_KB (allowed growth of the resident memory; default 16384),
#   SOAK_TIMEOUT (seconds; default 120 + EVENTS / 20), SOAK_KEEP=1 (keep the folder),
#   SOAK_SIM_OPTIONS (more simulator options, e.g. "--write pieces --piece-bytes 777").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
events=${1:-10000}
bin=${TESSALY_BIN:-$root/build/bin}
picture_size=${SOAK_PICTURE_SIZE:-640x360}
rss_slack=${SOAK_RSS_SLACK_KB:-16384}
timeout=${SOAK_TIMEOUT:-$((120 + events / 20))}

for program in tessaly-cli tessaly-devsim; do
    if [ ! -x "$bin/$program" ]; then
        echo "soak: $bin/$program is missing (build it, or set TESSALY_BIN)" >&2
        exit 2
    fi
done

work=$(mktemp -d /tmp/tessaly-soak-XXXXXX)
sim_pid=
cli_pid=
finish() {
    [ -n "$cli_pid" ] && kill "$cli_pid" 2>/dev/null && wait "$cli_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    if [ "${SOAK_KEEP:-0}" = 1 ]; then
        echo "soak: kept $work"
    else
        rm -rf "$work"
    fi
}
trap finish EXIT
fail() {
    echo "soak: FAIL: $*" >&2
    exit 1
}

mkdir -p "$work/home" "$work/record"
cp -r "$root/protocol_long" "$work/home/"

# shellcheck disable=SC2086  # the extra options are meant to split into words
"$bin/tessaly-devsim" --rate 0 --count "$events" --picture-size "$picture_size" \
    --record "$work/record" ${SOAK_SIM_OPTIONS:-} >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
port=
for _ in $(seq 100); do
    port=$(awk '/^long-port /{print $2}' "$work/sim.out" 2>/dev/null || true)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the simulator did not report its long port: $(cat "$work/sim.err")"

"$bin/tessaly-cli" --ip 127.0.0.1 --long-port "$port" --home "$work/home" \
    listen "$work/home/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml" \
    --seconds $((timeout + 60)) >"$work/listen.out" 2>"$work/listen.err" &
cli_pid=$!

# One sample a second: events so far, resident kB, threads, open descriptors.
sample() {
    local status=/proc/$cli_pid/status
    [ -r "$status" ] || return 1
    local rss threads fds received
    rss=$(awk '/^VmRSS:/{print $2}' "$status")
    threads=$(awk '/^Threads:/{print $2}' "$status")
    fds=$(ls "/proc/$cli_pid/fd" 2>/dev/null | wc -l)
    received=$(grep -c '^event ' "$work/listen.out" || true)
    echo "$received $rss $threads $fds" >>"$work/samples"
    echo "$received"
}

start=$SECONDS
received=0
while [ "$received" -lt "$events" ]; do
    [ $((SECONDS - start)) -lt "$timeout" ] || fail "only $received of $events events arrived in ${timeout} s"
    kill -0 "$cli_pid" 2>/dev/null || fail "tessaly-cli ended early: $(cat "$work/listen.err")"
    sleep 1
    received=$(sample) || fail "cannot sample tessaly-cli"
done
sample >/dev/null
kill -INT "$cli_pid"
status=0
wait "$cli_pid" || status=$?
cli_pid=
[ "$status" -eq 0 ] || fail "tessaly-cli ended with status $status: $(cat "$work/listen.err")"
kill "$sim_pid" && wait "$sim_pid" 2>/dev/null || true
sim_pid=

sent=$work/record/long-sent.bin
log=$work/home/ApiLog.txt
cmp -s "$sent" "$log" ||
    fail "ApiLog.txt ($(stat -c %s "$log") bytes) differs from the bytes sent ($(stat -c %s "$sent"))"

sent_count=$(find "$work/record/pictures" -type f | wc -l)
filed_count=$(find "$work/home/pic" -type f | wc -l)
[ "$sent_count" -gt 0 ] || fail "the simulator recorded no pictures"
[ "$sent_count" -eq "$filed_count" ] || fail "$sent_count pictures sent, $filed_count filed"
(cd "$work/record/pictures" && find . -type f -exec sha256sum {} + | cut -d' ' -f1 | sort) >"$work/sent.sums"
(cd "$work/home/pic" && find . -type f -exec sha256sum {} + | cut -d' ' -f1 | sort) >"$work/filed.sums"
cmp -s "$work/sent.sums" "$work/filed.sums" || fail "the filed pictures differ from the pictures sent"

# Flat: compare the first sample taken after a quarter of the events with the last one.
read -r _ rss0 threads0 fds0 < <(awk -v q=$((events / 4)) '$1 >= q' "$work/samples" | head -1)
read -r _ rss1 threads1 fds1 < <(tail -1 "$work/samples")
max_threads=$(awk -v q=$((events / 4)) '$1 >= q && $3 > m {m = $3} END {print m}' "$work/samples")
max_fds=$(awk -v q=$((events / 4)) '$1 >= q && $4 > m {m = $4} END {print m}' "$work/samples")
[ $((rss1 - rss0)) -le "$rss_slack" ] ||
    fail "resident memory grew from $rss0 kB to $rss1 kB (SOAK_KEEP=1 keeps the samples)"
[ "$threads1" -le "$threads0" ] && [ "$max_threads" -le "$threads0" ] ||
    fail "threads grew from $threads0 to $threads1 (at most $max_threads)"
[ "$fds1" -le "$fds0" ] && [ "$max_fds" -le "$fds0" ] ||
    fail "open descriptors grew from $fds0 to $fds1 (at most $max_fds)"

echo "soak: $events events in $((SECONDS - start)) s: log $(stat -c %s "$log") bytes equal to" \
    "the bytes sent, $filed_count pictures equal to those sent; resident $rss0 -> $rss1 kB," \
    "threads $threads0 -> $threads1, descriptors $fds0 -> $fds1"
