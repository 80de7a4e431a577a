#!/usr/bin/env bash
# Builds and runs the cluster benchmark: a hospital network's call mix with 1,
# 2 and 4 servers behind HAProxy, then with one server killed every 20 s.
#   bash scripts/bench-cluster.sh [--dietitians N] [--seconds S] [--think-ms M] [--kill-seconds S]
# The stack's data is kept under build/bench-cluster and reused by the next run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${INQUERITO_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)" --target cluster_load_bench inquerito-server
data="$build/bench-cluster"; mkdir -p "$data"; chmod 755 "$build" "$data"
exec "$build/bench/cluster_load_bench" --script "$root/scripts/cluster.sh" \
  --server "$build/src/server/inquerito-server" --dir "$data" "$@"
