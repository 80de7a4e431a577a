#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL cluster in a folder, on a free
# loopback port.   pg-cluster.sh start DIR  -> prints the port
#                  pg-cluster.sh restart DIR
#                  pg-cluster.sh stop DIR
set -euo pipefail
action="$1"; dir="$2"
bindir="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)"
as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
case "$action" in
  start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    as_postgres "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
      start >/dev/null
    echo "$port"
    ;;
  restart)
    as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w restart >/dev/null
    ;;
  stop)
    as_postgres "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    ;;
  *) echo "usage: pg-cluster.sh start|restart|stop DIR" >&2; exit 2 ;;
esac
