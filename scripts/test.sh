#!/usr/bin/env bash
# Builds everything and runs every test: unit, server (on SQLite and on a
# PostgreSQL cluster started here and stopped at the end) and screen tests;
# then, in a second build under AddressSanitizer and UndefinedBehaviorSanitizer
# (server, its tests and the fuzzing harness only), the server suite again and
# the fuzzing harness with a fixed seed. Arguments go to the first ctest run
# and skip the sanitizer run; INQUERITO_SKIP_SANITIZER=1 skips it too.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
build="${INQUERITO_BUILD_DIR:-$root/build}"

scratch="$(mktemp -d /tmp/inquerito-test.XXXXXX)"
chmod 755 "$scratch"
cleanup() {
  bash "$root/scripts/pg-cluster.sh" stop "$scratch/pg"
  rm -rf "$scratch"
}
trap cleanup EXIT

source "$root/scripts/test-databases.sh"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$scratch/xdg"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"

cd "$build"
log="$scratch/ctest.log"
rc=0
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@" | tee "$log" || rc=$?

# Server and database tests run once per engine (their names end in the
# engine): say how many ran on each, so a quiet skip cannot pass unseen.
summary() {
  awk -v engine="$1" '
    $0 ~ ("Test +#[0-9]+: [^ ]+/" engine " ") {
      total++
      if ($0 ~ /\*\*\*Skipped|Not Run|Disabled/) skipped++
      else if ($0 ~ / Passed /) passed++
      else failed++
    }
    END { printf "%s: %d engine tests, %d passed, %d failed, %d skipped\n", engine, total, passed, failed, skipped
          exit (skipped > 0) }' "$log"
}
echo
summary SQLite || true  # some cases apply to PostgreSQL only
# The cluster was started above: a skipped PostgreSQL case is a fault here.
summary PostgreSQL || { echo "PostgreSQL cases were skipped although the cluster is up." >&2; rc=1; }

if [ $# -eq 0 ] && [ "${INQUERITO_SKIP_SANITIZER:-0}" != 1 ]; then
  asan="${INQUERITO_ASAN_BUILD_DIR:-$build-asan}"
  source "$root/scripts/sanitizer-build.sh"
  configure_sanitizer_build "$asan"
  cmake --build "$asan" -j "$(nproc)" --target server_tests fuzz_server inquerito-server
  cd "$asan"
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0" \
    ctest --output-on-failure -j "$(nproc)" --timeout 900 -L sanitizer || rc=$?
fi
exit "$rc"
