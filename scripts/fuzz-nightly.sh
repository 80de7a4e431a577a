#!/usr/bin/env bash
# Nightly fuzzing: the fuzzing harness under AddressSanitizer and
# UndefinedBehaviorSanitizer, a long run per engine (1,000,000 calls each by
# default) against a throwaway PostgreSQL cluster and SQLite file. Not part of
# the test command: it takes hours. Findings are printed with the request and
# the reply, and the exit status is 1.
#
#   bash scripts/fuzz-nightly.sh [CALLS] [SEED]
#
# Each engine's summary line and the time it took go to
# build-asan/fuzz-nightly.log as well.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
calls="${1:-1000000}"
seed="${2:-$(date -u +%Y%m%d)}"
asan="${INQUERITO_ASAN_BUILD_DIR:-$root/build-asan}"

bash "$root/scripts/install-deps.sh"
if [ ! -f "$asan/build.ninja" ]; then
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DINQUERITO_BUILD_DESKTOP=OFF -DINQUERITO_SANITIZE=ON >/dev/null
fi
cmake --build "$asan" -j "$(nproc)" --target fuzz_server inquerito-server

scratch="$(mktemp -d /tmp/inquerito-fuzz.XXXXXX)"
chmod 755 "$scratch"
cleanup() {
  bash "$root/scripts/pg-cluster.sh" stop "$scratch/pg" || true
  rm -rf "$scratch"
}
trap cleanup EXIT
port=$(bash "$root/scripts/pg-cluster.sh" start "$scratch/pg")
export INQUERITO_TEST_PG_URL="postgresql://postgres@127.0.0.1:$port/"
psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "CREATE DATABASE inquerito_template" >/dev/null
"$asan/src/server/inquerito-server" --db "${INQUERITO_TEST_PG_URL}inquerito_template" --init-db --demo
"$asan/src/server/inquerito-server" --db "sqlite:$scratch/template.db" --init-db --demo
export INQUERITO_TEST_SQLITE_TEMPLATE="$scratch/template.db"
export INQUERITO_TEST_TMP="$scratch"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"

log="$asan/fuzz-nightly.log"
rc=0
for engine in sqlite postgresql; do
  start=$(date +%s)
  summary=$("$asan/tests/fuzz/fuzz_server" --engine "$engine" --seed "$seed" --iterations "$calls") || rc=1
  echo "$(date -u +%FT%TZ) $summary in $(( $(date +%s) - start )) s" | tee -a "$log"
done
exit "$rc"
