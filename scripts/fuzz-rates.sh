#!/usr/bin/env bash
# Each fuzz target for SECONDS from its committed seeds (finds go to a scratch folder), one line per
# target: inputs run, libFuzzer's wall-clock rate, CPU time per input (user + system over the inputs,
# start-up included: the figure a loaded machine disturbs least) and the coverage reached.
#   scripts/fuzz-rates.sh [BUILD_DIR] [SECONDS]   (default build/fuzz/fuzz, 10 s)
# FUZZ_SEEDS="1 2 3" runs each target once per libFuzzer seed (a line each): one short run's rate
# depends on how long its random walk lets the inputs grow, so compare medians over seeds.
set -euo pipefail
BIN=${1:-build/fuzz/fuzz}
SECONDS_EACH=${2:-10}
TARGETS=${FUZZERS:-"classic_reports_fuzz classic_file_fuzz vela2_reply_fuzz vela2_file_fuzz hjz_file_fuzz net_parse_fuzz watcher_reply_fuzz report_descriptor_fuzz recording_reader_fuzz"}
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
export ASAN_OPTIONS=quarantine_size_mb=8:malloc_context_size=4
printf '| %s | %s | %s | %s | %s | %s |\n' target inputs exec/s "CPU µs/exec" cov ft
printf '|---|---:|---:|---:|---:|---:|\n'
for t in $TARGETS; do
for seed in ${FUZZ_SEEDS:-""}; do
  rm -rf "$SCRATCH/$t" && mkdir -p "$SCRATCH/$t"
  log="$SCRATCH/$t.log"
  /usr/bin/time -f '%U %S' -o "$SCRATCH/$t.time" "$BIN/$t" -max_total_time="$SECONDS_EACH" -max_len=2048 \
    ${seed:+-seed=$seed} -print_final_stats=1 -artifact_prefix="$SCRATCH/$t-" "$SCRATCH/$t" "fuzz/seeds/$t" >"$log" 2>&1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
  read -r user sys <"$SCRATCH/$t.time"
  cpu=$(awk -v u="$user" -v s="$sys" -v r="$runs" 'BEGIN { printf "%.1f", (u + s) * 1e6 / r }')
  printf '| %s | %s | %s | %s | %s | %s |\n' "$t${seed:+ (seed $seed)}" "$runs" "$rate" "$cpu" "$cov" "$ft"
done
done
