#!/usr/bin/env bash
# Builds the project and starts the application on the embedded database
# (data/inquerito.db, created with demo data on first start).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
build="${INQUERITO_BUILD_DIR:-$root/build}"
mkdir -p "$root/data"
exec "$build/src/server/inquerito-server" --db "sqlite:$root/data/inquerito.db" --listen "${INQUERITO_LISTEN:-127.0.0.1:8211}"
