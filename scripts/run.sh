#!/usr/bin/env bash
# Builds the project and starts the application on the embedded database
# (data/inquerito.db, created with demo data on first start): the application
# server on 127.0.0.1:8211 and the desktop host, logged in as the demo
# operator. The server stops when the desktop host is closed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
build="${INQUERITO_BUILD_DIR:-$root/build}"
listen="${INQUERITO_LISTEN:-127.0.0.1:8211}"
db="sqlite:$root/data/inquerito.db"
mkdir -p "$root/data"

"$build/src/server/inquerito-server" --db "$db" --listen "$listen" --demo &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 1 150); do
  curl -sf "http://$listen/health" >/dev/null 2>&1 && break
  kill -0 "$server" 2>/dev/null || { echo "O servidor de aplicação não iniciou." >&2; exit 1; }
  sleep 0.2
done

set +e
"$build/src/hostapp/inquerito-host" --config "$build/src/hostapp/inquerito-host.demo.ini" \
  --db "$db" --server "$listen"
status=$?
set -e
if [ "$status" -eq 2 ]; then
  # No display: keep serving so other clients can use the server.
  echo "inquerito-server continua atendendo em http://$listen (Ctrl+C encerra)."
  wait "$server"
fi
exit "$status"
