#!/usr/bin/env bash
# corvix-cli send of a 1,000-character note (action [notes]) into an xterm, beside
# `xdotool type --delay 0` of the same text into another xterm, in the same run: the wall
# time from the command's start to the last character arriving, both times and the
# ratio, and whether every character arrived. Needs an X display with a window manager
# (for example the session scripts/test starts); not run by the test suite.
#   bench/send/cli_send_vs_xdotool.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${1:-3}
cli=$(realpath "${BUILD_DIR:-build}/bin/corvix-cli")
[ -n "${DISPLAY:-}" ] || { echo "needs an X display" >&2; exit 2; }
work=$(mktemp -d /tmp/corvix-send-bench.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export CORVIX_HOME="$work/home"
mkdir -p "$CORVIX_HOME"

# Letters, digits and punctuation of the US layout: no spare keycode is needed.
text=$(python3 -c 'import random, string
random.seed(7)
print("".join(random.choice(string.ascii_letters + string.digits + " .,-;=/") for _ in range(1000)), end="")')
"$cli" init >/dev/null
"$cli" categories add Bench >/dev/null
id=$(printf 'unused\n' | "$cli" add --description Notes --category Bench --password-stdin \
  --target-window "Bench Corvix" --action "[notes]" --wait 0 --notes "$text")

now_ms() { date +%s%3N; }
# An xterm titled $1 whose terminal takes 1,000 characters unbuffered into file $2.
open_sink() {
  rm -f "$2"
  xterm -T "$1" -e sh -c "stty raw -echo; head -c 1000 > '$2'" &
  pids+=($!)
  for _ in $(seq 1 100); do xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && break; sleep 0.05; done
  sleep 1
}
# Waits until file $1 holds 1,000 bytes; prints the time then.
arrived() {
  for _ in $(seq 1 6000); do
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge 1000 ] && break
    sleep 0.005
  done
  now_ms
}
check() { [ "$(cat "$1" 2>/dev/null)" == "$text" ] && echo "all 1000 arrived" || echo "LOST OR CHANGED"; }

times_c=()
times_x=()
for r in $(seq 1 "$rounds"); do
  open_sink "Bench Corvix" "$work/corvix.txt"
  start=$(now_ms)
  "$cli" send "$id" >/dev/null
  end=$(arrived "$work/corvix.txt")
  c=$((end - start))
  echo "round $r corvix-cli send: ${c} ms ($(check "$work/corvix.txt"))"

  open_sink "Bench Xdotool" "$work/xdotool.txt"
  xdotool search --name "^Bench Xdotool\$" windowactivate --sync >/dev/null 2>&1 || true
  start=$(now_ms)
  xdotool type --delay 0 "$text"
  end=$(arrived "$work/xdotool.txt")
  x=$((end - start))
  echo "round $r xdotool type --delay 0: ${x} ms ($(check "$work/xdotool.txt"))"
  times_c+=("$c")
  times_x+=("$x")
done
# On a shared machine one round may stall either side: the best and the median rounds
# are printed beside the mean.
python3 - "${times_c[*]}" "${times_x[*]}" <<'PY'
import statistics, sys
c = [int(v) for v in sys.argv[1].split()]
x = [int(v) for v in sys.argv[2].split()]
for name, f in (("mean", statistics.mean), ("median", statistics.median), ("best", min)):
    print(f"{name} corvix-cli send {f(c):.0f} ms, xdotool type {f(x):.0f} ms, "
          f"ratio xdotool/corvix {f(x) / f(c):.2f}x (target at least 3x)")
PY
