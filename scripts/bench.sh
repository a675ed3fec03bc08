#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them. Each one measures its baseline in the same
# run and prints "ratio ... goal ... met" or "NOT met"; a summary of all goals ends the output.
# Exits with 1 when a goal is not met. Extra arguments go to every benchmark program (e.g.
# --benchmark_repetitions=10).
# Usage: scripts/bench.sh [benchmark arguments...]   (build folder: $TESSALY_BENCH_BUILD or
# build-bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TESSALY_BENCH_BUILD:-$root/build-bench}
"$root/scripts/deps.sh" bench-packages.txt
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON >/dev/null
programs=(tessaly_bench_codec tessaly_bench_receive tessaly_bench_index tessaly_bench_tls
          tessaly_bench_window_stall tessaly_bench_browser)
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}"
export QT_QPA_PLATFORM=offscreen
log=$(mktemp)
# The window's benchmark connects to a simulated device, which the window then remembers:
# in a throw-away configuration folder, and with no keychain to put its password in.
config=$(mktemp -d)
trap 'rm -rf "$log" "$config"' EXIT
export XDG_CONFIG_HOME=$config DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessaly-bench-bus
status=0
for program in "${programs[@]}"; do
    echo "== $program"
    "$build/bin/$program" --benchmark_color=false "$@" 2>&1 | tee -a "$log" || status=1
done
echo "== summary"
grep -E '^(ratio|value) ' "$log" || true
exit $status
