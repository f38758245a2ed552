#!/usr/bin/env bash
# Scale benchmark: builds vaults of 1,000 / 10,000 / 100,000 accounts and times
# corvix-cli list, show, add, a category rename that moves every account, and the start
# alone (--version); beside keepassxc-cli on the same accounts when it is installed.
# Prints wall-clock and CPU seconds (means of a few runs), the peer's figures, the ratios,
# whether each target is met (start under 10 ms, show under 20 ms, add under 30 ms, the
# rename under 2 s; at 100,000 and more, list at most 0.1x the peer's time), and the
# vault's size; then how each figure grows with the count (flat, linear or worse).
#   bench/scale/run_scale.sh [COUNT ...]        (default: 1000 10000 100000)
# Environment: BUILD_DIR (default build), SCALE_DIR (work folder, default a new temporary
# one, removed afterwards), RUNS (default 5; 3 at 100,000 and above), SCALE_PEER=none to
# leave the peer out.
# Needs GNU time (package time). Optional: linux-perf (exact times); keepassxc (the
# peer; skipped with a note when missing).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
CLI="$BUILD_DIR/bin/corvix-cli"
MAKE_VAULT="$BUILD_DIR/tools/make_scale_vault"
SYNC_FLOOR="$BUILD_DIR/tools/sync_floor"  # optional: the disk's own commit time
for f in "$CLI" "$MAKE_VAULT"; do
  [ -x "$f" ] || { echo "missing $f: cmake --build $BUILD_DIR --target corvix-cli make_scale_vault sync_floor" >&2; exit 2; }
done
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(1000 10000 100000)
PASSWORD="scale-bench master"
CATEGORY="Scale Bench"
PEER=$(command -v keepassxc-cli || true)
[ -n "$PEER" ] || echo "note: keepassxc-cli is not installed (BENCH=1 scripts/setup, or apt-get install keepassxc); peer figures skipped"
[ "${SCALE_PEER:-}" = none ] && PEER=""  # comparing builds only

work=${SCALE_DIR:-}
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/corvix-scale.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
: >"$work/figures"

# "wall cpu": mean wall-clock and CPU (user + system) seconds of RUNS runs of a command;
# its output is discarded and it gets the master password on standard input. With perf,
# each run is timed alone (elapsed time and task clock); without, the runs are timed
# together by GNU time, whose CPU times come in whole ticks. CPU time is what to compare
# on a loaded machine. A failing run prints FAILED.
measure() {
  local runs=$1; shift
  printf '%s\n' "$PASSWORD" >"$work/input"
  if [ "$PERF" = yes ]; then
    # Each run under perf: its own elapsed time and task clock, nothing of the loop's.
    rm -f "$work/perf"
    for ((i = 0; i < runs; i++)); do
      if ! LC_ALL=C perf stat -e task-clock -o "$work/perf" --append -- "$@" <"$work/input" \
          >/dev/null 2>"$work/err"; then
        echo "failed: $*" >&2; cat "$work/err" >&2; printf 'FAILED FAILED'; return
      fi
    done
    awk -v n="$runs" '/msec task-clock/ { cpu += $1 } /seconds time elapsed/ { wall += $1 }
        END { printf "%.4f %.4f", wall / n, cpu / 1000 / n }' "$work/perf"
    return
  fi
  if ! "$TIMER" -f '%e %U %S' -o "$work/time" bash -c '
      runs=$1; input=$2; shift 2
      for ((i = 0; i < runs; i++)); do "$@" <"$input" >/dev/null || exit 1; done' \
      bash "$runs" "$work/input" "$@" 2>"$work/err"; then
    echo "failed: $*" >&2; cat "$work/err" >&2; printf 'FAILED FAILED'; return
  fi
  read -r wall user sys <"$work/time"
  awk -v w="$wall" -v u="$user" -v s="$sys" -v n="$runs" 'BEGIN { printf "%.4f %.4f", w / n, (u + s) / n }'
}

# One line: work, count, corvix wall/cpu, peer wall/cpu (or -), ratios of both, and the
# target when the work has one: "s:SECONDS" (corvix wall time under it) or "x:RATIO"
# (corvix wall time at most RATIO times the peer's; not judged without the peer).
row() {
  local what=$1 count=$2 ours=$3 peer=${4:--} target=${5:-}
  local ow oc pw=- pc=- rw=- rc=- verdict=""
  read -r ow oc <<<"$ours"
  if [ "$peer" != - ]; then
    read -r pw pc <<<"$peer"
    rw=$(awk -v a="$ow" -v b="$pw" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
    rc=$(awk -v a="$oc" -v b="$pc" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
  fi
  case "$target" in
    s:*) verdict=$(awk -v a="$ow" -v c="$oc" -v t="${target#s:}" \
           'BEGIN { printf "<%ss wall %s, cpu %s", t, (a != "FAILED" && a < t ? "met" : "MISSED"),
                    (c != "FAILED" && c < t ? "met" : "MISSED") }') ;;
    x:*) [ "$rw" != - ] && verdict=$(awk -v r="$rw" -v t="${target#x:}" \
           'BEGIN { printf "<=%sx %s", t, (r <= t ? "met" : "MISSED") }') ;;
  esac
  printf '%-26s %8s %8s %8s %9s %9s %8s %8s  %s\n' "$what" "$count" "$ow" "$oc" "$pw" "$pc" "$rw" \
      "$rc" "$verdict"
  printf '%s|%s|%s\n' "$what" "$count" "$oc" >>"$work/figures"
}

# How each Corvix figure grows from the smallest count to the largest, in CPU time (what
# a loaded machine disturbs least): "flat" under 2x, else "linear" while it grows at most
# 1.5 times as fast as the count, else "WORSE THAN LINEAR".
growth() {
  [ ${#SIZES[@]} -gt 1 ] || return 0
  echo
  echo "growth of corvix-cli CPU time from ${SIZES[0]} to ${SIZES[-1]} accounts ($(awk -v a="${SIZES[-1]}" -v b="${SIZES[0]}" 'BEGIN { printf "%g", a / b }')x the accounts)"
  awk -F'|' -v first="${SIZES[0]}" -v last="${SIZES[-1]}" '
    !($1 in order) { order[$1] = ++n; name[n] = $1 }
    $2 == first { lo[$1] = $3 } $2 == last { hi[$1] = $3 }
    END {
      for (i = 1; i <= n; i++) {
        w = name[i]
        if (!(w in lo) || !(w in hi) || lo[w] == "FAILED" || hi[w] == "FAILED" || lo[w] <= 0) continue
        g = hi[w] / lo[w]
        v = g < 2 ? "flat" : (g <= 1.5 * last / first ? "linear" : "WORSE THAN LINEAR")
        printf "%-26s %9.4f -> %9.4f s  %8.2fx  %s\n", w, lo[w], hi[w], g, v
      }
    }' "$work/figures"
}

TIMER=/usr/bin/time
[ -x "$TIMER" ] || { echo "needs GNU time (apt-get install time)" >&2; exit 2; }
# CPU time from perf's task clock when perf may count here (package linux-perf), else the
# kernel's user + system times, which come in whole ticks (10 ms for all the runs).
PERF=no
perf stat -e task-clock -o /dev/null true >/dev/null 2>&1 && PERF=yes
echo "seconds per run: wall and CPU ($([ $PERF = yes ] && echo "perf: elapsed and task clock" || echo "GNU time: user + system")), mean of the runs; ratio = corvix-cli / keepassxc-cli"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs (targets are judged on wall and on CPU time)"
printf '%-26s %8s %8s %8s %9s %9s %8s %8s  %s\n' "work" "accounts" "wall" "cpu" "kpx wall" \
    "kpx cpu" "ratio w" "ratio c" "target"
for n in "${SIZES[@]}"; do
  dir="$work/$n"
  rm -rf "$dir"
  mkdir -p "$dir"
  runs=${RUNS:-5}
  [ "$n" -ge 100000 ] && runs=${RUNS:-3}
  (
    cd "$dir"
    export CORVIX_HOME="$dir"
    printf '%s\n' "$PASSWORD" | "$CLI" init --master-password-stdin >/dev/null
    "$MAKE_VAULT" "$n" "$CATEGORY" ${PEER:+peer.xml}
  )
  if [ -n "$PEER" ]; then
    # The peer's file from the same accounts (password given twice: new and repeated).
    printf '%s\n%s\n' "$PASSWORD" "$PASSWORD" | "$PEER" import -q -p "$dir/peer.xml" "$dir/peer.kdbx" >/dev/null 2>&1 ||
      { echo "keepassxc-cli import failed; peer figures skipped" >&2; PEER=""; }
  fi
  mid=$((n / 2))
  cd "$dir"
  export CORVIX_HOME="$dir"  # the vault folder (older builds use the working directory)
  row "start (--version)" "$n" "$(measure "$runs" "$CLI" --version)" \
      "$([ -n "$PEER" ] && measure "$runs" "$PEER" --version || echo -)" s:0.010
  row "list" "$n" "$(measure "$runs" "$CLI" list)" \
      "$([ -n "$PEER" ] && measure "$runs" "$PEER" ls -R -f -q peer.kdbx || echo -)" \
      "$([ "$n" -ge 100000 ] && echo x:0.1 || true)"
  title=$(printf 'Account %06d at service %d' "$mid" $(((mid * 7919) % 100003)))
  row "show one account" "$n" "$(measure "$runs" "$CLI" show "$mid")" \
      "$([ -n "$PEER" ] && measure "$runs" "$PEER" show -q peer.kdbx "$title" || echo -)" s:0.020
  # One account by its user name (the peer: its search on the same field).
  row "filtered list (--where)" "$n" \
      "$(measure "$runs" "$CLI" list --where "PAS:Name = 'user$mid@example.org'")" \
      "$([ -n "$PEER" ] && measure "$runs" "$PEER" search -q peer.kdbx "user:user$mid@example.org" || echo -)"
  # add: every run adds one more account (the peer: one more entry, titled by the run).
  # Its wall time is mostly the disk's: the commit's syncs wait for the file system's
  # journal, which other processes' writes keep busy. The same syncs without any database
  # work are timed right after it, and what add takes beyond them is printed too.
  added=$(measure "$runs" "$CLI" add --description "Added by the benchmark" --category "$CATEGORY")
  row "add one account" "$n" "$added" \
      "$([ -n "$PEER" ] && measure "$runs" bash -c 'read -r pw; printf "%s\n" "$pw" | "$0" add -q -u someone peer.kdbx "added $RANDOM$RANDOM$RANDOM"' "$PEER" || echo -)" \
      s:0.030
  if [ -x "$SYNC_FLOOR" ]; then
    floor=$(measure "$runs" "$SYNC_FLOOR" "$dir")
    row "  the disk: one commit" "$n" "$floor"
    read -r aw ac <<<"$added"
    read -r fw fc <<<"$floor"
    printf '%-26s %8s %8.4f %8.4f %49s\n' "  add beyond the disk" "$n" \
        "$(awk -v a="$aw" -v b="$fw" 'BEGIN { print a - b }')" \
        "$(awk -v a="$ac" -v b="$fc" 'BEGIN { print a - b }')" \
        "$(awk -v a="$aw" -v b="$fw" 'BEGIN { printf "<0.030s wall %s", (a - b < 0.030 ? "met" : "MISSED") }')"
  fi
  # The rename moves every account of the category into the new name, and back.
  row "category rename (cascade)" "$n" \
      "$(measure 1 "$CLI" categories rename "$CATEGORY" "$CATEGORY 2")" - s:2
  printf '%s\n' "$PASSWORD" | "$CLI" categories rename "$CATEGORY 2" "$CATEGORY" >/dev/null
  size=$(stat -c %s Corvix.TPS)
  peer_size=-
  [ -n "$PEER" ] && [ -f peer.kdbx ] && peer_size=$(stat -c %s peer.kdbx)
  printf '%-26s %8s %17s %19s %17s\n' "file size (bytes)" "$n" "$size" "$peer_size" \
      "$([ "$peer_size" != - ] && awk -v a="$size" -v b="$peer_size" 'BEGIN { printf "%.2f", a / b }' || echo -)"
  # Where the bytes go, after the two renames: tables, key indexes, free pages.
  [ -x "$BUILD_DIR/tools/vault_size" ] && "$BUILD_DIR/tools/vault_size" Corvix.TPS | sed 's/^/    /'
  cd - >/dev/null
done
growth
