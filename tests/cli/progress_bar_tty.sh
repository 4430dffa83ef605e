#!/bin/sh
# The progress bar on a pseudo-terminal (script -qc): a 10-page harvest against market-sim draws
# the bar in place (carriage return, erase to the end of the line), counts the page that failed
# while the run goes on (the last page comes slowly, after its retries are over), prints no line
# per page, follows a resize of the terminal, and clears the bar before the summary.
# usage: progress_bar_tty.sh CLI MARKET_SIM WORK_DIR
set -eu
cli=$1 sim=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
"$sim" --port 0 --latency-ms 30 --page-fault 3=status-500 --page-latency 10=2000 >"$work/sim.log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
base=""
for _ in $(seq 1 100); do
  base=$(sed -n 's/^market-sim listening on \(http[^ ]*\).*$/\1/p' "$work/sim.log")
  [ -n "$base" ] && break
  sleep 0.05
done
[ -n "$base" ] || { echo "market-sim did not start"; exit 1; }
# Exit 3 (a page failed) is this run's expected end, not the test's failure.
# A second into the run (the last page takes two) the terminal shrinks to 40 columns: the bar
# is redrawn to fit. A background job's standard input is /dev/null, hence the </dev/tty.
run="stty cols 120; (sleep 1; stty cols 40 </dev/tty) & XDG_CONFIG_HOME='$work' '$cli' \
  --market-url $base --icp-url $base/icp/ --harvest 10 --no-history --output '$work/out.txt'; wait"
XDG_CONFIG_HOME="$work" TERM=xterm script -qc "sh -c \"$run\"" /dev/null >"$work/tty.log" || true
cr=$(printf '\r') esc=$(printf '\033')
grep -q "${cr}采集 [0-9]*/10 页" "$work/tty.log" || { echo "no bar redrawn in place"; cat -A "$work/tty.log"; exit 1; }
grep -q "${cr}采集 [0-9]*/10 页.*失败 1" "$work/tty.log" || { echo "the failed page is not counted in the bar"; cat -A "$work/tty.log"; exit 1; }
grep -q "${cr}${esc}\[K共获取 9 页" "$work/tty.log" && grep -q "^已写入 450 个域名" "$work/tty.log" || { echo "the bar is not cleared before the summary"; cat -A "$work/tty.log"; exit 1; }
# After the resize the bar makes way for the words: at 119 columns it always fits.
tr '\r' '\n' <"$work/tty.log" | sed "s/${esc}\[K//" | grep "^采集 [0-9]*/10 页 [0-9]* 个域名" >/dev/null ||
  { echo "the bar is not redrawn at the new width after a resize"; cat -A "$work/tty.log"; exit 1; }
if grep -q "正在采集第" "$work/tty.log"; then echo "a line per page"; exit 1; fi
echo "bar drawn and cleared"
