#!/usr/bin/env bash
# Builds and runs the server benchmark at hospital scale.
#   bash scripts/bench.sh [--pg] [--patients N] [--calls N] [--seconds S]
# SQLite by default (12,000 patients, about 2.6 million items); with --pg a
# PostgreSQL cluster started here (100,000 patients, about 21 million items)
# and pgbench -N on the same cluster. The generated data is kept under
# build/bench-data and reused by the next run of the same size.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${INQUERITO_BUILD_DIR:-$root/build}"
pg=0; patients=""; rest=()
while [ $# -gt 0 ]; do
  case "$1" in
    --pg) pg=1 ;;
    --patients) patients="$2"; shift ;;
    *) rest+=("$1") ;;
  esac
  shift
done
bash "$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)" --target server_load_bench
data="$build/bench-data"; mkdir -p "$data"; chmod 755 "$data"

if [ "$pg" = 0 ]; then
  patients="${patients:-12000}"
  exec "$build/bench/server_load_bench" --db "sqlite:$data/sqlite-$patients.db" --patients "$patients" "${rest[@]}"
fi

patients="${patients:-100000}"
dir="$data/pg-$patients"
bindir="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)"
as_postgres() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
if [ -d "$dir/data" ]; then
  # A cluster of an earlier run: started again on a free port.
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
    start >/dev/null
else
  port=$(bash "$root/scripts/pg-cluster.sh" start "$dir")
fi
trap 'bash "$root/scripts/pg-cluster.sh" stop "$dir"' EXIT
# Room for the load: bigger work memory for the key rebuilds.
psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres \
  -c "ALTER SYSTEM SET maintenance_work_mem = '512MB'" -c "ALTER SYSTEM SET max_wal_size = '8GB'" \
  -c "SELECT pg_reload_conf()" >/dev/null
if ! psql -qAt -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "SELECT 1 FROM pg_database WHERE datname = 'inquerito'" | grep -q 1; then
  psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "CREATE DATABASE inquerito" -c "CREATE DATABASE pgbench" >/dev/null
  "$bindir/pgbench" -i -q -s 10 -h 127.0.0.1 -p "$port" -U postgres pgbench >/dev/null 2>&1
fi
# The database's own time per statement, printed next to the write figures.
if ! psql -qAt -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "SHOW shared_preload_libraries" | grep -q pg_stat_statements; then
  psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres \
    -c "ALTER SYSTEM SET shared_preload_libraries = 'pg_stat_statements'" >/dev/null
  as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w restart >/dev/null
fi
psql -q -h 127.0.0.1 -p "$port" -U postgres -d inquerito -c "CREATE EXTENSION IF NOT EXISTS pg_stat_statements" >/dev/null
"$build/bench/server_load_bench" --db "postgresql://postgres@127.0.0.1:$port/inquerito" --patients "$patients" \
  --pgbench "$bindir/pgbench -n -N -h 127.0.0.1 -p $port -U postgres pgbench" "${rest[@]}"
