#!/usr/bin/env bash
# Seals and restores files with corvix-cli (encrypt/decrypt) and, on the same files in the
# same run, with openssl enc, gpg --symmetric and cp + sync (the disk's own limit). Prints
# MB/s, corvix's ratio to each peer, and peak memory (/usr/bin/time -v), which must not
# grow with the file's size: the file is streamed, never held whole.
#
#   build/bin/bench_containers [SIZE_MB ...]      (default: 10 100 1024; memory settles
# by about 50 MB, so 100 and 1024 show whether it stays flat)
# BENCH_DIR chooses the scratch folder (default: a new one under the build folder, on disk).
# BENCH_RUNS=N runs every tool N times, one tool after another in turn, and keeps each
# tool's fastest run (default 1): on a shared machine a single run mostly measures the
# neighbours.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli="$here/corvix-cli"
[ -x "$cli" ] || { echo "corvix-cli not found beside $0" >&2; exit 2; }
for tool in openssl gpg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup installs it)" >&2; exit 2; }
done
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10 100 1024)

work=$(mktemp -d "${BENCH_DIR:-$here/..}/bench-containers.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
cd "$work"
export CORVIX_HOME="$work"  # a vault of its own, never the user's
"$cli" init </dev/null >/dev/null 2>&1
export GNUPGHOME="$work/gnupg"
mkdir -m 700 "$GNUPGHOME"

# run NAME COMMAND...: runs the command under /usr/bin/time -v; sets secs and kb.
run() {
  local name=$1; shift
  /usr/bin/time -v -o "$work/time.$name" "$@" </dev/null >/dev/null 2>"$work/err.$name" || {
    echo "$name failed:" >&2; cat "$work/err.$name" >&2; exit 1; }
  local wall
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.$name")
  secs=$(echo "$wall" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.$name")
}

rate() { awk -v mb="$1" -v s="$2" 'BEGIN { if (s <= 0) s = 0.01; printf "%.1f", mb / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) print "-"; else printf "%.2f", a / b }'; }

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) (runs per tool: ${BENCH_RUNS:-1})"
printf '%-8s %-22s %10s %10s %12s\n' "size" "tool" "seconds" "MB/s" "peak KB"
for mb in "${sizes[@]}"; do
  head -c "${mb}M" /dev/urandom >plain.bin
  sync
  declare -A speed=() peak=()
  declare -A best=()
  measure() {  # label mb command...: keeps the fastest run and the largest peak
    local label=$1 size=$2; shift 2
    run "$label" "$@"
    if [ -z "${best[$label]:-}" ] || awk -v a="$secs" -v b="${best[$label]}" 'BEGIN { exit !(a < b) }'; then
      best[$label]=$secs
      speed[$label]=$(rate "$size" "$secs")
    fi
    [ "${peak[$label]:-0}" -ge "$kb" ] || peak[$label]=$kb
  }
  for ((r = 1; r <= ${BENCH_RUNS:-1}; r++)); do
    measure "corvix seal" "$mb" "$cli" encrypt plain.bin
    cp --reflink=never plain.bin original.bin
    rm plain.bin
    measure "corvix restore" "$mb" "$cli" decrypt plain.bin.ENC --delete-container
    cmp -s plain.bin original.bin || { echo "restored file differs" >&2; exit 1; }
    rm original.bin
    measure "openssl enc" "$mb" openssl enc -aes-256-cbc -pbkdf2 -pass pass:x -in plain.bin -out plain.ossl
    measure "openssl dec" "$mb" openssl enc -d -aes-256-cbc -pbkdf2 -pass pass:x -in plain.ossl -out plain.back
    rm -f plain.back plain.ossl
    # For information: openssl made as durable as corvix makes its container.
    measure "openssl enc + sync" "$mb" sh -c 'openssl enc -aes-256-cbc -pbkdf2 -pass pass:x -in plain.bin -out plain.ossl && sync'
    rm -f plain.ossl
    measure "gpg --symmetric" "$mb" gpg --symmetric --batch --pinentry-mode loopback --passphrase x -o plain.gpg plain.bin
    measure "gpg --decrypt" "$mb" gpg --decrypt --batch --pinentry-mode loopback --passphrase x -o plain.back plain.gpg
    rm -f plain.back plain.gpg
    measure "cp + sync" "$mb" sh -c 'cp plain.bin plain.copy && sync'
    rm -f plain.copy
  done
  rm -f plain.bin
  for label in "corvix seal" "corvix restore" "openssl enc" "openssl dec" "openssl enc + sync" \
               "gpg --symmetric" "gpg --decrypt" "cp + sync"; do
    printf '%-8s %-22s %10s %10s %12s\n' "${mb}MB" "$label" "${best[$label]}" "${speed[$label]}" "${peak[$label]}"
  done
  echo "ratios at ${mb}MB (corvix / peer, MB/s):"
  echo "  seal:    openssl $(ratio "${speed[corvix seal]}" "${speed[openssl enc]}")x" \
       " gpg $(ratio "${speed[corvix seal]}" "${speed[gpg --symmetric]}")x" \
       " cp+sync $(ratio "${speed[corvix seal]}" "${speed[cp + sync]}")x  (target: openssl >= 0.80x;" \
       "openssl + sync $(ratio "${speed[corvix seal]}" "${speed[openssl enc + sync]}")x)"
  echo "  restore: openssl $(ratio "${speed[corvix restore]}" "${speed[openssl dec]}")x" \
       " gpg $(ratio "${speed[corvix restore]}" "${speed[gpg --decrypt]}")x" \
       " cp+sync $(ratio "${speed[corvix restore]}" "${speed[cp + sync]}")x"
  echo "  peak memory: seal ${peak[corvix seal]} KB, restore ${peak[corvix restore]} KB"
done
echo "corvix seal and restore sync the file to disk (SQLite commit, fsync before rename);"
echo "openssl and gpg do not, which is why cp + sync is printed beside them."
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
