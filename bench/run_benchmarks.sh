#!/usr/bin/env bash
# The benchmark suite in one command: installs what is missing, builds a Release tree in
# build/bench, prints the machine, runs the Google Benchmark binaries, then the end-to-end
# measures against market-sim, and ends with a table of every figure next to its target.
#
#   bench/run_benchmarks.sh            (or scripts/bench)
#
# Environment: JILAN_BENCH_REPETITIONS (default 5) repetitions of each micro-benchmark, whose
# median is reported. Throughputs are CPU-time figures (bytes / CPU second, GB = 10^9 bytes), so
# other load on the machine slows them less than it slows wall-clock figures.
# JILAN_BENCH_STORES=1 adds the measures on stores of 1 000 000 names (minutes), among them the
# recorder against its floor and a 1000-page harvest with and without the history.
# JILAN_BENCH_HARVESTER: the window-less program, relative to the build tree.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../scripts/lib/common.sh
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$JILAN_ROOT"

build=build/bench
repetitions=${JILAN_BENCH_REPETITIONS:-5}
results=$build/results
micro_targets=(decode_bench listing_bench detail_bench large_list_bench filter_bench)
# Built and run on their own, each prints its figures: they fill stores of 1 000 000 names first
# (minutes), so they are left to a run that asks for them with JILAN_BENCH_STORES=1.
store_targets=(history_bench detail_batch_bench search_history_bench)
# The program the end-to-end measures run: its path in the build tree, its target the file name.
harvester=${JILAN_BENCH_HARVESTER:-src/cli/jilan-harvester-cli}
e2e_targets=("$(basename "$harvester")" market-sim)
# The filled history of 1 000 000 names, kept between runs; every measure writes into copies.
# The name carries the version of history_bench's fill.
history_store=$build/history-1m-days.sqlite3

install_packages
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DJILAN_BUILD_BENCH=ON \
  -DJILAN_BUILD_TESTS=OFF -- "${micro_targets[@]}"
# The window-less program and the simulator; the end-to-end measures are skipped without them.
e2e_built=yes
cmake --build "$build" -j"$(jobs)" --target "${e2e_targets[@]}" || e2e_built=no
# The window probe exists only where the Qt view builds.
ui_probe_built=no
cmake --build "$build" -j"$(jobs)" --target ui_probe && ui_probe_built=yes

mkdir -p "$results"
rm -f "$results"/*

echo
echo "== machine"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "kernel:  $(uname -srm)"
echo "cpu:     $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "cores:   $(nproc)"
echo "memory:  $(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min)"
echo "commit:  $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"

# ---- Google Benchmark -------------------------------------------------------------------------

run_micro() {
  local name=$1; shift
  echo
  echo "== $name"
  "$build/bench/$name" --benchmark_out="$results/$name.json" --benchmark_out_format=json \
    --benchmark_color=false "$@"
}

run_micro decode_bench --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
run_micro listing_bench --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
run_micro detail_bench --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
# Fixed iterations inside; the largest resident growth of them is reported.
run_micro large_list_bench
run_micro filter_bench
if [ "${JILAN_BENCH_STORES:-}" = 1 ]; then
  cmake --build "$build" -j"$(jobs)" --target "${store_targets[@]}"
  echo
  echo "== history_bench (store: $history_store)"
  HISTORY_BENCH_STORE=$history_store run_micro history_bench || echo "history_bench failed"
  for target in detail_batch_bench search_history_bench; do
    echo
    echo "== $target"
    "$build/bench/$target" || echo "$target failed"
  done
fi

# --remind and --watchlist over 1 000 watched names, each a whole process of the program.
if cmake --build "$build" -j"$(jobs)" --target watchlist_bench; then
  echo
  echo "== watchlist_bench"
  "$build/bench/watchlist_bench" || echo "watchlist_bench failed"
fi

# json_value FILE BENCHMARK FIELD: the field of the named run in a Google Benchmark JSON file.
json_value() {
  awk -v want="$2" -v field="\"$3\":" '
    $1 == "\"name\":" { name = $2; gsub(/[",]/, "", name) }
    $1 == field && name == want { v = $2; sub(/,$/, "", v); print v; exit }
  ' "$1"
}

# ---- End to end -------------------------------------------------------------------------------

sim_pid=""
sim_log=$(mktemp)
work=$(mktemp -d)
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
cleanup() { stop_sim; rm -rf "$work" "$sim_log"; }
trap cleanup EXIT

# start_sim OPTIONS...: starts market-sim on a free port and sets $base.
start_sim() {
  stop_sim
  : >"$sim_log"
  "$build/tools/market-sim/market-sim" --port 0 "$@" >"$sim_log" 2>&1 &
  sim_pid=$!
  base=""
  for _ in $(seq 1 200); do
    base=$(sed -n 's/^market-sim listening on \(http[^ ]*\).*$/\1/p' "$sim_log" | head -n 1)
    [ -n "$base" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "market-sim did not start:" >&2
  cat "$sim_log" >&2
  return 1
}

now() { date +%s.%N; }
program=$build/$harvester

harvest_default_s="" harvest_serial_s="" harvest_same="" harvest_lines="" idle_pct=""
if [ "$e2e_built" = yes ]; then
  echo
  echo "== batch harvest: 100 pages, market-sim at 30 ms latency"
  start_sim --latency-ms 30
  t0=$(now)
  "$program" --market-url "$base" --harvest 100 --no-history --output "$work/default.txt" 2>"$work/default.log" ||
    echo "jilan-harvester exited with $?" >&2
  t1=$(now)
  "$program" --market-url "$base" --harvest 100 --parallel 1 --no-history --output "$work/serial.txt" \
    2>"$work/serial.log" || echo "jilan-harvester exited with $?" >&2
  t2=$(now)
  stop_sim
  harvest_default_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  harvest_serial_s=$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.2f", b - a }')
  harvest_lines=$({ wc -l <"$work/default.txt"; } 2>/dev/null || echo 0)
  if cmp -s "$work/default.txt" "$work/serial.txt"; then harvest_same=yes; else harvest_same=no; fi
  echo "default parallelism: ${harvest_default_s} s   --parallel 1: ${harvest_serial_s} s"
  echo "outputs identical: $harvest_same   lines: $harvest_lines"
  echo "last status (default): $(tail -n 2 "$work/default.log" | head -n 1)"

  echo
  echo "== idle cost of a waiting fetch: one listing request that is never answered"
  start_sim --fault never-answer
  "$program" --market-url "$base" --harvest 1 --no-history --output "$work/idle.txt" 2>"$work/idle.log" &
  idle_pid=$!
  ticks_per_s=$(getconf CLK_TCK)
  # CPU ticks (user + system) of the process; the window starts after one second of start-up.
  # Empty when the process has already gone.
  cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$idle_pid/stat" 2>/dev/null || true; }
  sleep 1
  c0=$(cpu_ticks); w0=$(now)
  sleep 4
  c1=$(cpu_ticks); w1=$(now)
  kill -INT "$idle_pid" 2>/dev/null || true
  wait "$idle_pid" 2>/dev/null || true
  stop_sim
  if [ -n "$c0" ] && [ -n "$c1" ]; then
    idle_pct=$(awk -v c0="$c0" -v c1="$c1" -v hz="$ticks_per_s" -v w0="$w0" -v w1="$w1" \
      'BEGIN { printf "%.2f", 100 * (c1 - c0) / hz / (w1 - w0) }')
    echo "CPU while waiting (seconds 1 to 5): ${idle_pct} % of one core"
  else
    echo "jilan-harvester ended before the 5 s were over:" >&2
    cat "$work/idle.log" >&2
  fi
else
  echo
  echo "== end-to-end measures skipped: jilan-harvester or market-sim did not build"
fi

# The terminal progress bar against --quiet, both on a pseudo-terminal (progress_bar_cost.sh).
bar_ratio="" bar_s="" bar_quiet_s="" bar_cpu=""
if [ "$e2e_built" = yes ]; then
  echo
  echo "== progress bar on a pseudo-terminal against --quiet: 100 pages at 30 ms"
  if bench/progress_bar_cost.sh "$program" "$build/tools/market-sim/market-sim" | tee "$work/bar.txt"; then
    bar_ratio=$(sed -n 's/^ratio=//p' "$work/bar.txt")
    bar_s=$(sed -n 's/^bar_s=//p' "$work/bar.txt")
    bar_quiet_s=$(sed -n 's/^quiet_s=//p' "$work/bar.txt")
    bar_cpu=$(sed -n 's/^bar_cpu_s=//p' "$work/bar.txt")/$(sed -n 's/^quiet_cpu_s=//p' "$work/bar.txt")
  fi
fi

# median: the median of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else if (NR) print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A window-less harvest of 1000 pages with the history on, into a copy of the store of
# 1 000 000 names, against the same harvest with --no-history. Three pairs, the order
# alternating; the ratio of the median wall times.
e2e_history_ratio="" e2e_history_s="" e2e_plain_s="" e2e_history_same="" e2e_history_lines=""
if [ "${JILAN_BENCH_STORES:-}" = 1 ] && [ "$e2e_built" = yes ] && [ -f "$history_store" ]; then
  echo
  echo "== end to end: $(basename "$harvester") --harvest 1000 at 30 ms, history on (store of 1 000 000 names) against --no-history"
  start_sim --latency-ms 30 --pages 1000
  # timed_harvest NAME OPTIONS...: one harvest to $work/NAME.txt; prints its wall seconds.
  timed_harvest() {
    local name=$1; shift
    local t0 t1
    t0=$(now)
    "$program" --market-url "$base" --harvest 1000 --output "$work/$name.txt" "$@" \
      2>"$work/$name.log" || echo "$(basename "$harvester") exited with $? ($name)" >&2
    t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
  }
  e2e_history_same=yes
  : >"$work/with.s"; : >"$work/without.s"
  for pair in 1 2 3; do
    rm -f "$work/e2e.sqlite3" "$work/e2e.sqlite3-wal" "$work/e2e.sqlite3-shm"
    cp "$history_store" "$work/e2e.sqlite3"
    if [ $((pair % 2)) = 1 ]; then
      with_s=$(timed_harvest with --history "$work/e2e.sqlite3")
      without_s=$(timed_harvest without --no-history)
    else
      without_s=$(timed_harvest without --no-history)
      with_s=$(timed_harvest with --history "$work/e2e.sqlite3")
    fi
    echo "$with_s" >>"$work/with.s"
    echo "$without_s" >>"$work/without.s"
    cmp -s "$work/with.txt" "$work/without.txt" || e2e_history_same=no
    echo "pair $pair: history on ${with_s} s, --no-history ${without_s} s"
  done
  stop_sim
  rm -f "$work/e2e.sqlite3" "$work/e2e.sqlite3-wal" "$work/e2e.sqlite3-shm"
  e2e_history_s=$(median <"$work/with.s")
  e2e_plain_s=$(median <"$work/without.s")
  e2e_history_ratio=$(awk -v a="$e2e_history_s" -v b="$e2e_plain_s" 'BEGIN { printf "%.3f", a / b }')
  e2e_history_lines=$({ wc -l <"$work/with.txt"; } 2>/dev/null || echo 0)
  echo "median: history on ${e2e_history_s} s, --no-history ${e2e_plain_s} s, ratio ${e2e_history_ratio}"
  echo "outputs identical: $e2e_history_same   lines: $e2e_history_lines"
fi

ui_startup_ms="" ui_gap_ms="" ui_list_ms="" ui_list_export_ms="" ui_list_note="" ui_idle_pct=""
if [ "$ui_probe_built" = yes ] && [ "$e2e_built" = yes ]; then
  echo
  echo "== window (offscreen): start-up, a 5 ms probe timer during a 100-page batch, a large list"
  start_sim --latency-ms 30
  # History on, as the program runs by default: every page is recorded while the probe ticks.
  QT_QPA_PLATFORM=offscreen "$build/bench/ui_probe" --market-url "$base" --pages 100 \
    --history "$work/probe-history.sqlite3" \
    --launched-ns "$(date +%s%N)" 2>"$work/ui_probe.log" | tee "$work/ui_probe.txt" || true
  stop_sim
  probe_value() { sed -n "s/^$1=//p" "$work/ui_probe.txt"; }
  # Start-up again, four more times: the median of the five.
  for _ in 1 2 3 4; do
    QT_QPA_PLATFORM=offscreen "$build/bench/ui_probe" --market-url "$base" --startup-only \
      --launched-ns "$(date +%s%N)" 2>>"$work/ui_probe.log" >>"$work/ui_probe.txt" || true
  done
  sed -n 's/^startup_ms=//p' "$work/ui_probe.txt" | tr '\n' ' ' | sed 's/^/start-up runs (ms): /;s/$/\n/'
  ui_startup_ms=$(probe_value startup_ms | sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }')
  ui_gap_ms=$(probe_value max_tick_gap_ms)
  ui_list_ms=$(probe_value show_100000_ms)
  ui_list_export_ms=$(probe_value export_100000_ms)
  if [ -n "$(probe_value show_gave_up_ms)" ]; then
    ui_list_note="> $(probe_value show_gave_up_ms) ms: only $(probe_value show_gave_up_entries) entries in that time"
  fi

  echo
  echo "== window (offscreen): idle cost of a waiting fetch, one listing request never answered"
  start_sim --fault never-answer
  QT_QPA_PLATFORM=offscreen "$build/bench/ui_probe" --market-url "$base" --idle-ms 4000 \
    2>>"$work/ui_probe.log" | tee "$work/ui_idle.txt" || true
  stop_sim
  ui_idle_pct=$(sed -n 's/^idle_cpu_pct=//p' "$work/ui_idle.txt")
fi

# ---- Table ------------------------------------------------------------------------------------

# row MEASURE FIGURE TARGET MET
rows=()
row() { rows+=("| $1 | $2 | $3 | $4 |"); }
# verdict VALUE OP LIMIT: yes/no, or "not measured" for an empty value.
verdict() {
  if [ -z "$1" ]; then echo "not measured"; return; fi
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    ok = (op == ">=") ? (v + 0 >= l + 0) : (v + 0 <= l + 0); print ok ? "yes" : "no" }'
}
gbps() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1e9 }'; }
mbps() { awk -v b="$1" 'BEGIN { printf "%.0f", b / 1e6 }'; }

listing_bps=$(json_value "$results/listing_bench.json" BM_ListingOnePass_median bytes_per_second)
literal_bps=$(json_value "$results/listing_bench.json" BM_ListingLiteralResplit_median bytes_per_second)
step_bps=$(json_value "$results/listing_bench.json" BM_ListingHarvesterStep_median bytes_per_second)
detail_bps=$(json_value "$results/detail_bench.json" BM_DetailParseAndIcpCut_median bytes_per_second)
decode_bps=$(json_value "$results/decode_bench.json" BM_DecodeGb18030_Page_median bytes_per_second)
decode_text_bps=$(json_value "$results/decode_bench.json" BM_DecodeGb18030_ChineseText_median bytes_per_second)
large=BM_LargeListAppendAndExport/iterations:5/manual_time
large_append=$(json_value "$results/large_list_bench.json" "$large" append_ms)
large_export=$(json_value "$results/large_list_bench.json" "$large" export_ms)
large_growth=$(json_value "$results/large_list_bench.json" "$large" rss_growth_MiB)
large_peak=$(json_value "$results/large_list_bench.json" "$large" peak_growth_MiB)

listing_gb=$(gbps "$listing_bps")
ratio=$(awk -v a="$listing_bps" -v b="$literal_bps" 'BEGIN { printf "%.1f", a / b }')
row "listing cut + 50-row parse, $(json_value "$results/listing_bench.json" BM_ListingOnePass_median page_bytes | awk '{ printf "%.0f", $1 / 1000 }') KB page" \
  "$listing_gb GB/s" "≥ 1 GB/s" "$(verdict "$listing_gb" ">=" 1)"
row "… against the literal re-split ($(mbps "$literal_bps") MB/s)" "${ratio}×" "≥ 20×" "$(verdict "$ratio" ">=" 20)"
row "harvester batch step (page copied into the work array, cut, rows appended)" \
  "$(gbps "$step_bps") GB/s" "—" "—"
detail_mb=$(mbps "$detail_bps")
row "detail parse + ICP cut, $(json_value "$results/detail_bench.json" BM_DetailParseAndIcpCut_median page_bytes | awk '{ printf "%.0f", $1 / 1000 }') KB" \
  "$detail_mb MB/s" "≥ 500 MB/s" "$(verdict "$detail_mb" ">=" 500)"
decode_mb=$(mbps "$decode_bps")
row "GB18030 → UTF-8, GBK listing page (Chinese prose: $(mbps "$decode_text_bps") MB/s)" \
  "$decode_mb MB/s" "≥ 200 MB/s" "$(verdict "$decode_mb" ">=" 200)"

if [ -n "$harvest_default_s" ]; then
  speedup=$(awk -v a="$harvest_default_s" -v b="$harvest_serial_s" 'BEGIN { printf "%.1f", b / a }')
  same="identical"
  [ "$harvest_same" = yes ] || same="DIFFERENT"
  met=$(verdict "$speedup" ">=" 3)
  if [ "$harvest_same" != yes ] || [ "$harvest_lines" -ne 5000 ]; then met=no; fi
  row "batch harvest, 100 pages at 30 ms: default ${harvest_default_s} s, --parallel 1 ${harvest_serial_s} s" \
    "${speedup}×, $same, $harvest_lines lines" "≥ 3×, identical" "$met"
else
  row "batch harvest, 100 pages at 30 ms" "not measured" "≥ 3×, identical" "not measured"
fi
if [ -n "$bar_ratio" ]; then
  row "100 pages at 30 ms, window-less, on a pseudo-terminal: bar ${bar_s} s against --quiet ${bar_quiet_s} s, median of 7 (CPU ${bar_cpu} s)" \
    "${bar_ratio}×" "≤ 1.02×" "$(verdict "$bar_ratio" "<=" 1.02)"
else
  row "100 pages at 30 ms on a pseudo-terminal: bar against --quiet" "not measured" "≤ 1.02×" "not measured"
fi
row "idle cost of a waiting fetch: window (offscreen), seconds 1 to 5" \
  "${ui_idle_pct:-not measured}${ui_idle_pct:+ % of a core}" "≤ 5 %" "$(verdict "$ui_idle_pct" "<=" 5)"
row "idle cost of a waiting fetch: window-less run, seconds 1 to 5" \
  "${idle_pct:-not measured}${idle_pct:+ % of a core}" "≤ 5 %" "$(verdict "$idle_pct" "<=" 5)"
row "UI: longest gap between 5 ms probe ticks during a 100-page batch" \
  "${ui_gap_ms:-not measured}${ui_gap_ms:+ ms}" "≤ 16 ms" "$(verdict "$ui_gap_ms" "<=" 16)"
large_total=$(awk -v a="$large_append" -v e="$large_export" 'BEGIN { printf "%.1f", a + e }')
row "large list: 100 000 entries appended through the row loop ($(printf '%.1f' "$large_append") ms) + export ($(printf '%.1f' "$large_export") ms)" \
  "$large_total ms" "≤ 100 ms" "$(verdict "$large_total" "<=" 100)"
row "large list: resident growth (peak)" "$(printf '%.1f' "$large_growth") MiB ($(printf '%.1f' "$large_peak") MiB)" \
  "≤ +40 MB" "$(verdict "$large_peak" "<=" 38.1)"
if [ -n "$ui_list_ms" ]; then
  ui_list_total=$(awk -v a="$ui_list_ms" -v e="$ui_list_export_ms" 'BEGIN { printf "%.1f", a + e }')
  row "large list in the window: append + show ($ui_list_ms ms) + export ($ui_list_export_ms ms)" \
    "$ui_list_total ms" "≤ 100 ms" "$(verdict "$ui_list_total" "<=" 100)"
elif [ -n "$ui_list_note" ]; then
  row "large list in the window: append + show + export" "$ui_list_note" "≤ 100 ms" "no"
else
  row "large list in the window: append + show + export" "not measured" "≤ 100 ms" "not measured"
fi
if [ "${JILAN_BENCH_STORES:-}" = 1 ]; then
  hb=$results/history_bench.json
  floor_ratio=$(json_value "$hb" BM_RecorderAgainstFloor/iterations:6/manual_time ratio)
  if [ -n "$floor_ratio" ]; then
    floor_ratio=$(printf '%.2f' "$floor_ratio")
    row "history: recorder against the bare statements, 100 pages of 50 (25 seen, 25 new) into 1 000 000 names ($(printf '%.0f' "$(json_value "$hb" BM_RecorderAgainstFloor/iterations:6/manual_time recorder_cpu_ms)") / $(printf '%.0f' "$(json_value "$hb" BM_RecorderAgainstFloor/iterations:6/manual_time floor_cpu_ms)") ms CPU)" \
      "${floor_ratio}×" "≤ 1.25×" "$(verdict "$floor_ratio" "<=" 1.25)"
  else
    row "history: recorder against the bare statements" "not measured" "≤ 1.25×" "not measured"
  fi
  day_ms=$(json_value "$hb" BM_RealisticDay/iterations:4/manual_time recorder_cpu_ms)
  day_figure="not measured"
  [ -z "$day_ms" ] || day_figure=$(printf '%.0f ms' "$day_ms")
  row "history: a day of 5 000 names (80 % seen in the last five days, 20 % new) into 1 000 000 names, CPU" \
    "$day_figure" "—" "—"
  if [ -n "$e2e_history_ratio" ]; then
    met=$(verdict "$e2e_history_ratio" "<=" 1.05)
    [ "$e2e_history_same" = yes ] || met=no
    same="identical"
    [ "$e2e_history_same" = yes ] || same="DIFFERENT"
    row "1000 pages at 30 ms, window-less: history on (1 000 000 names) ${e2e_history_s} s against --no-history ${e2e_plain_s} s, median of 3" \
      "$(printf '%.3f' "$e2e_history_ratio")×, $same, $e2e_history_lines lines" "≤ 1.05×, identical" "$met"
  else
    row "1000 pages at 30 ms: history on against --no-history" "not measured" "≤ 1.05×, identical" "not measured"
  fi
fi
row "start-up: process start to window painted (offscreen), median of 5" "${ui_startup_ms:-not measured}${ui_startup_ms:+ ms}" \
  "≤ 300 ms" "$(verdict "$ui_startup_ms" "<=" 300)"

echo
echo "== results ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
echo "| Measure | Figure | Target | Met? |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"
