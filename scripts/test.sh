#!/usr/bin/env bash
# Builds everything and runs every test: unit, server (on SQLite and on a
# PostgreSQL cluster started here and stopped at the end) and screen tests.
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

port=$(bash "$root/scripts/pg-cluster.sh" start "$scratch/pg")
export INQUERITO_TEST_PG_URL="postgresql://postgres@127.0.0.1:$port/"
psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "CREATE DATABASE inquerito_template" >/dev/null
"$build/src/server/inquerito-server" --db "${INQUERITO_TEST_PG_URL}inquerito_template" --init-db
"$build/src/server/inquerito-server" --db "sqlite:$scratch/template.db" --init-db
export INQUERITO_TEST_SQLITE_TEMPLATE="$scratch/template.db"
export INQUERITO_TEST_TMP="$scratch"
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
exit "$rc"
