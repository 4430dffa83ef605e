#!/usr/bin/env bash
# What the terminal progress bar costs: a 100-page window-less harvest against market-sim at
# 30 ms latency on a pseudo-terminal (script -qc), the bar drawn, against the same harvest with
# --quiet on the same kind of pseudo-terminal, so that only the bar differs. Pairs in alternating
# order; prints each pair, then the medians and their ratio as `bar_s=`, `quiet_s=`, `ratio=`,
# and the median CPU seconds as `bar_cpu_s=`, `quiet_cpu_s=`.
#
#   bench/progress_bar_cost.sh PROGRAM MARKET_SIM [PAIRS]     (run_benchmarks.sh calls it)
set -euo pipefail
program=$1 sim=$2 pairs=${3:-7}
command -v script >/dev/null || { echo "script (util-linux) is missing" >&2; exit 1; }
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --port 0 --latency-ms 30 >"$work/sim.log" 2>&1 &
sim_pid=$!
base=""
for _ in $(seq 1 200); do
  base=$(sed -n 's/^market-sim listening on \(http[^ ]*\).*$/\1/p' "$work/sim.log" | head -n 1)
  [ -n "$base" ] && break
  sleep 0.05
done
[ -n "$base" ] || { echo "market-sim did not start" >&2; cat "$work/sim.log" >&2; exit 1; }

now() { date +%s.%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else if (NR) print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# timed NAME [OPTION]: one harvest on a pseudo-terminal, its terminal output in NAME.log;
# prints its wall seconds, and appends to NAME.cpu the CPU seconds (user + system) of the
# harvest with the pseudo-terminal's relay (script), which carries the bar's bytes.
timed() {
  local name=$1 option=${2:-} t0 t1
  t0=$(now)
  (
    XDG_CONFIG_HOME="$work" TERM=xterm script -qc "'$program' --market-url $base --harvest 100 \
      --no-history --output '$work/$name.txt' $option" /dev/null >"$work/$name.log" || true
    times >"$work/$name.times"  # not in a pipe: its own subshell would have no children
  )
  t1=$(now)
  # "0m0.120s 0m0.040s": the children's user and system time.
  tail -n 1 "$work/$name.times" | sed 's/[ms]/ /g' |
    awk '{ printf "%.3f\n", $1 * 60 + $2 + $3 * 60 + $4 }' >>"$work/$name.cpu"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

: >"$work/bar.s"
: >"$work/quiet.s"
: >"$work/bar.cpu"
: >"$work/quiet.cpu"
for pair in $(seq 1 "$pairs"); do
  if [ $((pair % 2)) = 1 ]; then
    bar=$(timed bar) quiet=$(timed quiet --quiet)
  else
    quiet=$(timed quiet --quiet) bar=$(timed bar)
  fi
  echo "$bar" >>"$work/bar.s"
  echo "$quiet" >>"$work/quiet.s"
  echo "pair $pair: bar ${bar} s, --quiet ${quiet} s"
done
# The measure is void unless the bar was drawn in the one and nothing in the other.
grep -q "$(printf '\r')采集 " "$work/bar.log" || { echo "no bar drawn" >&2; exit 1; }
[ ! -s "$work/quiet.log" ] || { echo "--quiet printed:" >&2; cat "$work/quiet.log" >&2; exit 1; }
cmp -s "$work/bar.txt" "$work/quiet.txt" || { echo "the two runs wrote different names" >&2; exit 1; }
bar_s=$(median <"$work/bar.s")
quiet_s=$(median <"$work/quiet.s")
echo "bar_s=$bar_s"
echo "quiet_s=$quiet_s"
echo "ratio=$(awk -v a="$bar_s" -v b="$quiet_s" 'BEGIN { printf "%.3f", a / b }')"
bar_cpu=$(median <"$work/bar.cpu")
quiet_cpu=$(median <"$work/quiet.cpu")
echo "bar_cpu_s=$bar_cpu"
echo "quiet_cpu_s=$quiet_cpu"
