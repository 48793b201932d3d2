#!/usr/bin/env bash
# dorel-rpu-cli update-firmware --all on four simulated receivers against one:
# prints the wall time of four over the wall time of one (goal: at most 1.2;
# sequential work would give about 4).
#   bench/bench_cli_parallel.sh [BIN_DIR] [PACKETS]   (default build/bin, 400)
set -euo pipefail
bin=${1:-build/bin}
packets=${2:-400}
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

transports=()
for n in 1 2 3 4; do
    "$bin/rpu-sim" --socket "$work/sim$n.sock" --version 46 2>/dev/null &
    pids+=($!)
    transports+=(--transport "socket:$work/sim$n.sock")
done
for n in 1 2 3 4; do
    for _ in $(seq 100); do [ -S "$work/sim$n.sock" ] && break; sleep 0.05; done
done
"$bin/make-firmware" --out "$work/fw.bin" --version 48 --packets "$packets" >/dev/null

run() {
    local start end
    start=$(date +%s%N)
    "$bin/dorel-rpu-cli" --config /dev/null update-firmware "$work/fw.bin" --all "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
one=$(run "${transports[@]:0:2}")
four=$(run "${transports[@]}")
awk -v one="$one" -v four="$four" -v p="$packets" 'BEGIN {
    printf "firmware of %d packets: one receiver %d ms, four receivers %d ms\n", p, one, four
    printf "four over one: %.2f (target <= 1.2)\n", four / one }'
