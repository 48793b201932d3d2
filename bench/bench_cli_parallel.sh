#!/usr/bin/env bash
# dorel-rpu-cli measured from outside, as a bench engineer sees it:
#  1. update-firmware of one simulated receiver (2048 packets) against the sum
#     of the pauses the protocol asks for (goal: at most 1.02);
#  2. every command with --all on N simulated receivers against the same
#     command on one (goal at N = 4: at most 1.2; sequential work gives N).
# Each figure is the median of RUNS runs; the ratios are over the first count.
#   bench/bench_cli_parallel.sh [BIN_DIR] [RUNS] [COUNTS] [PACKETS]
#   (default build/bin, 5, "1 4 8 16", 400 packets for the --all firmware)
set -euo pipefail
bin=${1:-build/bin}
runs=${2:-5}
read -r -a counts <<<"${3:-1 4 8 16}"
packets=${4:-400}
floor_packets=2048
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

most=0
for n in "${counts[@]}"; do [ "$n" -gt "$most" ] && most=$n; done
transports=()
for n in $(seq "$most"); do
    "$bin/rpu-sim" --socket "$work/sim$n.sock" --version 46 2>/dev/null &
    pids+=($!)
    transports+=(--transport "socket:$work/sim$n.sock")
done
for n in $(seq "$most"); do
    for _ in $(seq 100); do [ -S "$work/sim$n.sock" ] && break; sleep 0.05; done
done
"$bin/make-firmware" --out "$work/fw.bin" --version 48 --packets "$packets" >/dev/null
"$bin/make-firmware" --out "$work/floor.bin" --version 48 --packets "$floor_packets" >/dev/null

# cli ARGS...: runs the command line (no configuration file: the transports
# are given) and prints its wall time in ms; a failed run ends the bench.
cli() {
    local start end
    rm -rf "$work/out"
    start=$(date +%s%N)
    if ! "$bin/dorel-rpu-cli" --config "$work/none.INI" "$@" >"$work/last.out" 2>"$work/last.err"; then
        echo "dorel-rpu-cli $* failed:" >&2
        cat "$work/last.out" "$work/last.err" >&2
        exit 1
    fi
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
# median TIMES...: the middle one.
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

# The inputs every receiver gets: one receiver's own settings and memory.
cli read-settings "$work/in.cfg" "${transports[@]:0:2}" >/dev/null
cli backup "$work/in.rrg" "${transports[@]:0:2}" >/dev/null

# The pauses of a firmware write: 10 ms after every 4th packet, 10 ms between
# the two tail bytes, 25 ms before the verdict.
floor=$((floor_packets / 4 * 10 + 10 + 25))
times=()
for _ in $(seq "$runs"); do times+=("$(cli update-firmware "$work/floor.bin" --allow-reinstall "${transports[@]:0:2}")"); done
wall=$(median "${times[@]}")
awk -v w="$wall" -v f="$floor" -v p="$floor_packets" 'BEGIN {
    printf "cli firmware %d packets: wall %d ms, floor %d ms, ratio %.3f\n", p, w, f, w / f }'

declare -A command=(
    [info]="info"
    [read-settings]="read-settings $work/out"
    [write-settings]="write-settings $work/in.cfg"
    [backup]="backup $work/out"
    [restore]="restore $work/in.rrg"
    [update-firmware]="update-firmware $work/fw.bin --allow-reinstall"
)
# The counts take turns run by run, so a busy spell of the machine falls on all of them.
for name in info read-settings write-settings backup restore update-firmware; do
    read -r -a args <<<"${command[$name]}"
    declare -A by_count=()
    for _ in $(seq "$runs"); do
        for n in "${counts[@]}"; do
            by_count[$n]+=" $(cli "${args[@]}" --all "${transports[@]:0:$((2 * n))}")"
        done
    done
    one=
    line="all $name:"
    for n in "${counts[@]}"; do
        # shellcheck disable=SC2086
        ms=$(median ${by_count[$n]})
        [ -z "$one" ] && one=$ms
        line+=$(awk -v n="$n" -v ms="$ms" -v one="$one" 'BEGIN { printf " N=%d %d ms (%.2f)", n, ms, ms / one }')
    done
    echo "$line"
    unset by_count
done
