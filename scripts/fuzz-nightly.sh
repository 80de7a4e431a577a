#!/usr/bin/env bash
# Nightly fuzzing: the fuzzing harness under AddressSanitizer and
# UndefinedBehaviorSanitizer, CALLS calls in all (1,000,000 by default),
# half on SQLite and half on a throwaway PostgreSQL cluster. Not part of the
# test command: it takes hours.
#
#   bash scripts/fuzz-nightly.sh [CALLS] [SEED]
#
# The calls are cut into chunks (INQUERITO_FUZZ_CHUNK calls, default 2,500),
# each a harness run of its own seed (SEED + chunk number, PostgreSQL's a
# million further on) on a fresh copy of
# the demo database, so a chunk's checks stay as cheap at the end of the run
# as at its start (the data a run writes makes each check slower).
# INQUERITO_FUZZ_JOBS chunks run at once (default: the number of cores).
# Each finished chunk leaves its summary in
# <build>/fuzz-nightly/SEED-CALLS-CHUNK/; started again with the same
# arguments the script runs only the chunks still missing, then sums them.
# A chunk that ends without its summary line (a crash, a sanitizer report)
# keeps its output in a .failed file and is counted as a crash.
# INQUERITO_FUZZ_SANITIZE=0 runs the plain build (build/) instead.
#
# The summed figures go to <build>/fuzz-nightly.log as well; the exit
# status is 1 on any finding or crash. Findings are printed in the chunks'
# .err files with the request and the reply.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
calls="${1:-1000000}"
seed="${2:-$(date -u +%Y%m%d)}"
chunk="${INQUERITO_FUZZ_CHUNK:-2500}"
jobs="${INQUERITO_FUZZ_JOBS:-$(nproc)}"

bash "$root/scripts/install-deps.sh"
if [ "${INQUERITO_FUZZ_SANITIZE:-1}" = 1 ]; then
  build="${INQUERITO_ASAN_BUILD_DIR:-$root/build-asan}"
  source "$root/scripts/sanitizer-build.sh"
  configure_sanitizer_build "$build"
  kind="sanitizers"
else
  build="${INQUERITO_BUILD_DIR:-$root/build}"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  kind="no sanitizers"
fi
cmake --build "$build" -j "$(nproc)" --target fuzz_server inquerito-server

state="$build/fuzz-nightly/$seed-$calls-$chunk"
mkdir -p "$state"

# The chunks still to run: "engine number calls".
per_engine=$(( calls / 2 ))
todo="$state/todo"
: >"$todo"
for engine in sqlite postgresql; do
  n=$(( (per_engine + chunk - 1) / chunk ))
  for k in $(seq 0 $(( n - 1 ))); do
    size=$(( k == n - 1 ? per_engine - k * chunk : chunk ))
    [ -f "$state/$engine-$k.out" ] || echo "$engine $k $size" >>"$todo"
  done
done

scratch="$(mktemp -d /tmp/inquerito-fuzz.XXXXXX)"
chmod 755 "$scratch"
cleanup() {
  bash "$root/scripts/pg-cluster.sh" stop "$scratch/pg" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

if [ -s "$todo" ]; then
  source "$root/scripts/test-databases.sh"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"
  # A copy: a rebuild during the run does not change the harness under it.
  cp "$build/tests/fuzz/fuzz_server" "$scratch/fuzz_server"
  export FUZZ_BIN="$scratch/fuzz_server" FUZZ_STATE="$state" FUZZ_SEED="$seed"

  # One chunk: its summary line and seconds in ENGINE-K.out, written last, so
  # an interrupted chunk is run again from its start.
  run_chunk() {
    local engine="$1" k="$2" size="$3" base="$FUZZ_STATE/$1-$2" start line
    start=$(date +%s)
    # Seeds of their own per engine: the same seed would send both the same calls.
    local offset=0; [ "$engine" = postgresql ] && offset=1000000
    line=$("$FUZZ_BIN" --engine "$engine" --seed $(( FUZZ_SEED + offset + k )) --iterations "$size" 2>"$base.err") || true
    if [[ "$line" == fuzz_server:* ]]; then
      echo "$line in $(( $(date +%s) - start )) s" >"$base.tmp"
      mv "$base.tmp" "$base.out"
      rm -f "$base.failed"
    else
      # Kept apart: a rerun tries the chunk again, the sum counts it as a crash.
      cp "$base.err" "$base.failed"
    fi
    echo "$engine chunk $k: ${line:-no summary (see $base.failed)}"
  }
  export -f run_chunk
  echo "fuzz-nightly: $(wc -l <"$todo") chunks to run, $jobs at a time, $kind"
  started=$(date +%s)
  xargs -P "$jobs" -L 1 bash -c 'run_chunk "$@"' _ <"$todo"
  echo "$(( $(date +%s) - started ))" >>"$state/seconds"
fi

# The sums over every chunk of this run (resumed parts included).
log="$build/fuzz-nightly.log"
summary=$(python3 - "$state" "$calls" "$seed" "$kind" <<'EOF'
import glob, os, re, sys
state, calls, seed, kind = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
pattern = re.compile(r"fuzz_server: (\w+), seed \d+: (\d+) calls \((\d+) successful\), (\d+) findings "
                     r"\((\d+) bypasses, (\d+) data changed after an error, (\d+) bad replies, (\d+) stalls\) in (\d+) s")
sums = {}
for path in sorted(glob.glob(os.path.join(state, "*.out"))):
    m = pattern.search(open(path).read())
    if not m:
        continue
    s = sums.setdefault(m.group(1), [0] * 8)
    for i in range(8):
        s[i] += int(m.group(i + 2))
crashes = len(glob.glob(os.path.join(state, "*.failed")))
wall = sum(int(x) for x in open(os.path.join(state, "seconds")).read().split()) if os.path.exists(
    os.path.join(state, "seconds")) else 0
total = [sum(s[i] for s in sums.values()) for i in range(8)]
lines = []
for engine, s in sorted(sums.items()):
    lines.append(f"  {engine}: {s[0]:,} calls ({s[1]:,} successful), {s[2]} findings: {s[3]} bypasses, "
                 f"{s[4]} data changed after an error, {s[5]} bad replies, {s[6]} stalls; "
                 f"{s[7]:,} s of harness time")
print(f"seed {seed}, {kind}: {total[0]:,} of {calls:,} calls ({total[1]:,} successful), {crashes} crashes, "
      f"{total[2]} findings, {wall:,} s wall")
print("\n".join(lines))
sys.exit(0 if total[2] == 0 and crashes == 0 and total[0] >= calls else 1)
EOF
) && rc=0 || rc=1
echo "$(date -u +%FT%TZ) $summary" | tee -a "$log"
exit "$rc"
