#!/usr/bin/env bash
# Several application servers over one PostgreSQL database, on this machine:
#
#   HAProxy (round robin, health checks on /health)
#     -> N inquerito-server instances
#       -> PgBouncer (transaction pooling)
#         -> PostgreSQL (data kept in FOLDER/pg/data)
#
#   cluster.sh up [--servers N] [--dir FOLDER] [--port PORT] [--threads N] [--demo] [--direct [--unnamed]]
#   cluster.sh status [--dir FOLDER]
#   cluster.sh down [--dir FOLDER]
#   cluster.sh start-server I [--dir FOLDER]   starts instance I again (after a crash)
#
# The configuration of every part is generated from deploy/templates at each
# `up`; internal ports are free loopback ports chosen then, the front port is
# --port (default 8211; 0 chooses a free one). A new database is created with
# its schema and, with --demo, the demo data; else its administrator gets the
# password in INQUERITO_ADMIN_PASSWORD. The database user's password is made
# at the first `up` and kept in FOLDER/secret. `down` stops every part and
# keeps the data. The addresses are written to FOLDER/cluster.env.
#
# The servers reach PgBouncer with prepare=unnamed: PgBouncer 1.18 lends a
# server connection per transaction and does not keep named prepared
# statements. --direct connects them straight to PostgreSQL with named
# statements instead (for comparison; every instance then holds its own
# PostgreSQL connections); --unnamed adds prepare=unnamed to that, to tell
# the statements' cost from PgBouncer's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
templates="$root/deploy/templates"

usage() { sed -n '2,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

action="${1:-}"
[ $# -gt 0 ] && shift
instance=""
if [ "$action" = start-server ]; then instance="${1:-}"; [ $# -gt 0 ] && shift; fi
servers=2
port=8211
threads=16
demo=0
direct=0
unnamed=0
if [ "$(id -u)" -eq 0 ]; then dir="${INQUERITO_CLUSTER_DIR:-/var/lib/inquerito-cluster}"
else dir="${INQUERITO_CLUSTER_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/inquerito-cluster}"; fi
while [ $# -gt 0 ]; do
  case "$1" in
    --servers) servers="$2"; shift ;;
    --dir) dir="$2"; shift ;;
    --port) port="$2"; shift ;;
    --threads) threads="$2"; shift ;;
    --demo) demo=1 ;;
    --direct) direct=1 ;;
    --unnamed) unnamed=1 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "cluster.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done
for n in "$servers" "$port" "$threads"; do
  [[ "$n" =~ ^[0-9]+$ ]] || { echo "cluster.sh: not a number: $n" >&2; exit 2; }
done
[ "$servers" -ge 1 ] && [ "$servers" -le 64 ] || { echo "cluster.sh: --servers must be 1 to 64" >&2; exit 2; }
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
state="$dir/cluster.env"
server_bin="${INQUERITO_SERVER:-$root/build/src/server/inquerito-server}"
bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"

is_root() { [ "$(id -u)" -eq 0 ]; }
# PostgreSQL and PgBouncer refuse to run as root: they run as postgres then.
as_postgres() { if is_root; then runuser -u postgres -- "$@"; else "$@"; fi; }
owned_by_postgres() { if is_root; then chown -R postgres "$@"; fi; }
superuser() { if is_root; then echo postgres; else id -un; fi; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# Running, and not a zombie waiting to be reaped.
alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != Z ]; }
pid_of() { [ -f "$1" ] && tr -dc 0-9 <"$1" || true; }
listening() { python3 -c 'import socket,sys; s=socket.socket(); s.settimeout(0.5); sys.exit(s.connect_ex(("127.0.0.1",int(sys.argv[1]))))' "$1"; }
healthy() { curl -sf -m 2 "http://127.0.0.1:$1/health" >/dev/null 2>&1; }

# render TEMPLATE OUTPUT NAME=VALUE...: @NAME@ replaced by VALUE.
render() {
  local template="$1" out="$2"; shift 2
  python3 - "$template" "$out" "$@" <<'EOF'
import re, sys
text = open(sys.argv[1]).read()
for pair in sys.argv[3:]:
    name, value = pair.split("=", 1)
    text = text.replace("@" + name + "@", value)
if left := re.search(r"@[A-Z_]+@", text):
    sys.exit("unfilled placeholder in " + sys.argv[1] + ": " + left.group(0))
open(sys.argv[2], "w").write(text)
EOF
}

wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local seconds="$1" what="$2"; shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    if [ "$SECONDS" -ge "$end" ]; then echo "cluster.sh: $what did not come up in ${seconds}s" >&2; return 1; fi
    sleep 0.2
  done
}

load_state() {
  [ -f "$state" ] || return 1
  # shellcheck disable=SC1090
  . "$state"
}

# ---- PostgreSQL -------------------------------------------------------------

pg_up() {
  [ -n "$bindir" ] || { echo "cluster.sh: PostgreSQL is not installed (scripts/install-deps.sh)" >&2; return 1; }
  if is_root && ! runuser -u postgres -- test -x "$dir"; then
    echo "cluster.sh: the postgres user cannot reach $dir; choose a folder it can enter (--dir)" >&2
    return 1
  fi
  mkdir -p "$dir/pg/run"
  chmod 700 "$dir/pg"
  owned_by_postgres "$dir/pg"
  fresh=0
  if [ ! -f "$dir/pg/data/PG_VERSION" ]; then
    as_postgres "$bindir/initdb" -D "$dir/pg/data" -U "$(superuser)" --auth-local=trust --auth-host=scram-sha-256 \
      -E UTF8 --locale=C.UTF-8 >"$dir/pg/initdb.log" 2>&1 || { cat "$dir/pg/initdb.log" >&2; return 1; }
    echo "include 'cluster.conf'" | as_postgres tee -a "$dir/pg/data/postgresql.conf" >/dev/null
    fresh=1
  fi
  PG_PORT=$(free_port)
  render "$templates/postgresql.conf.in" "$dir/pg/data/cluster.conf" PG_PORT="$PG_PORT" PG_SOCKET_DIR="$dir/pg/run"
  render "$templates/pg_hba.conf.in" "$dir/pg/data/pg_hba.conf" PG_SUPERUSER="$(superuser)"
  owned_by_postgres "$dir/pg"
  as_postgres "$bindir/pg_ctl" -D "$dir/pg/data" -l "$dir/pg/server.log" -w -t 60 start >/dev/null
  if [ "$fresh" = 1 ]; then
    psql -v ON_ERROR_STOP=1 -q -h "$dir/pg/run" -p "$PG_PORT" -U "$(superuser)" -d postgres \
      -v pw="$(cat "$dir/secret")" <<'EOF'
CREATE ROLE inquerito LOGIN PASSWORD :'pw';
CREATE DATABASE inquerito OWNER inquerito;
EOF
  fi
}

pg_down() {
  if [ -f "$dir/pg/data/PG_VERSION" ] && [ -n "$bindir" ]; then
    as_postgres "$bindir/pg_ctl" -D "$dir/pg/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
}

# ---- PgBouncer --------------------------------------------------------------

bouncer_up() {
  mkdir -p "$dir/pgbouncer"
  chmod 700 "$dir/pgbouncer"
  BOUNCER_PORT=$(free_port)
  render "$templates/pgbouncer.ini.in" "$dir/pgbouncer/pgbouncer.ini" PG_PORT="$PG_PORT" \
    BOUNCER_PORT="$BOUNCER_PORT" BOUNCER_DIR="$dir/pgbouncer"
  (umask 077; printf '"inquerito" "%s"\n' "$(cat "$dir/secret")" >"$dir/pgbouncer/userlist.txt")
  owned_by_postgres "$dir/pgbouncer"
  rm -f "$dir/pgbouncer/pgbouncer.pid"
  as_postgres pgbouncer -q -d "$dir/pgbouncer/pgbouncer.ini"
  wait_for 15 PgBouncer listening "$BOUNCER_PORT"
}

bouncer_down() {
  local pid; pid=$(pid_of "$dir/pgbouncer/pgbouncer.pid")
  if alive "$pid"; then kill -TERM "$pid"; stop_wait "$pid"; fi
  rm -f "$dir/pgbouncer/pgbouncer.pid"
}

# ---- application servers ----------------------------------------------------

server_url() {
  if [ "$direct" = 1 ] && [ "$unnamed" = 1 ]; then echo "postgresql://inquerito@127.0.0.1:$PG_PORT/inquerito?prepare=unnamed"
  elif [ "$direct" = 1 ]; then echo "postgresql://inquerito@127.0.0.1:$PG_PORT/inquerito"
  else echo "postgresql://inquerito@127.0.0.1:$BOUNCER_PORT/inquerito?prepare=unnamed"; fi
}

start_server() {  # start_server I PORT
  local i="$1" p="$2"
  mkdir -p "$dir/servers"
  echo "$p" >"$dir/servers/s$i.port"
  PGPASSFILE="$dir/pgpass" setsid "$server_bin" --listen "127.0.0.1:$p" --db "$(server_url)" \
    --threads "$threads" --max-connections-per-address 4096 --trusted-proxy 127.0.0.1 \
    >>"$dir/servers/s$i.log" 2>&1 </dev/null &
  echo $! >"$dir/servers/s$i.pid"
}

servers_up() {
  [ -x "$server_bin" ] || { echo "cluster.sh: $server_bin not built (bash scripts/build.sh)" >&2; return 1; }
  # A new database gets its schema (and demo data) once, straight from PostgreSQL.
  if [ "$fresh" = 1 ]; then
    local init=(--init-db); [ "$demo" = 1 ] && init+=(--demo)
    PGPASSFILE="$dir/pgpass" "$server_bin" --db "postgresql://inquerito@127.0.0.1:$PG_PORT/inquerito" "${init[@]}" \
      >"$dir/init-db.log" 2>&1 || { cat "$dir/init-db.log" >&2; return 1; }
  fi
  rm -rf "$dir/servers"
  for i in $(seq 1 "$servers"); do start_server "$i" "$(free_port)"; done
  for i in $(seq 1 "$servers"); do
    wait_for 30 "inquerito-server $i" healthy "$(cat "$dir/servers/s$i.port")" ||
      { tail -n 20 "$dir/servers/s$i.log" >&2; return 1; }
  done
}

servers_down() {
  local pids=() f pid
  for f in "$dir"/servers/s*.pid; do
    [ -f "$f" ] || continue
    pid=$(pid_of "$f")
    if alive "$pid"; then kill -TERM "$pid"; pids+=("$pid"); fi
  done
  for pid in "${pids[@]}"; do stop_wait "$pid"; done
  rm -f "$dir"/servers/s*.pid
}

# ---- HAProxy ----------------------------------------------------------------

haproxy_up() {
  mkdir -p "$dir/haproxy"
  local lines="" i
  for i in $(seq 1 "$servers"); do
    lines+="    server s$i 127.0.0.1:$(cat "$dir/servers/s$i.port") check"$'\n'
  done
  FRONT_PORT="$port"
  [ "$FRONT_PORT" = 0 ] && FRONT_PORT=$(free_port)
  # An instance's workers plus a few waiting; more calls queue in HAProxy.
  render "$templates/haproxy.cfg.in" "$dir/haproxy/haproxy.cfg" FRONT_PORT="$FRONT_PORT" \
    HAPROXY_DIR="$dir/haproxy" SERVER_MAXCONN="$((threads * 2))" SERVER_LINES="$lines"
  haproxy -q -c -f "$dir/haproxy/haproxy.cfg"
  rm -f "$dir/haproxy/haproxy.pid"
  haproxy -D -f "$dir/haproxy/haproxy.cfg"
  wait_for 15 HAProxy healthy "$FRONT_PORT"
}

haproxy_down() {
  local pid; pid=$(pid_of "$dir/haproxy/haproxy.pid")
  if alive "$pid"; then kill -TERM "$pid"; stop_wait "$pid"; fi
  rm -f "$dir/haproxy/haproxy.pid" "$dir/haproxy/admin.sock"
}

# Backend states as HAProxy sees them: "s1 UP", "s2 DOWN".
haproxy_backends() {
  python3 - "$dir/haproxy/admin.sock" <<'EOF' 2>/dev/null || true
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
s.sendall(b"show stat\n")
data = b""
while chunk := s.recv(65536):
    data += chunk
for line in data.decode().splitlines():
    f = line.split(",")
    if len(f) > 17 and f[0] == "inquerito" and f[1] not in ("BACKEND", "FRONTEND"):
        print(f[1], f[17])
EOF
}

stop_wait() {  # the process is gone, or killed after 10 s
  local pid="$1" i
  for i in $(seq 1 50); do alive "$pid" || return 0; sleep 0.2; done
  kill -KILL "$pid" 2>/dev/null || true
  for i in $(seq 1 25); do alive "$pid" || return 0; sleep 0.2; done
}

down_all() {
  haproxy_down
  servers_down
  bouncer_down
  pg_down
}

# ---- commands ---------------------------------------------------------------

case "$action" in
  up)
    if load_state 2>/dev/null && alive "$(pid_of "$dir/haproxy/haproxy.pid")"; then
      echo "cluster.sh: already running in $dir (cluster.sh down --dir $dir first)" >&2; exit 1
    fi
    for tool in haproxy pgbouncer curl; do
      command -v "$tool" >/dev/null || { echo "cluster.sh: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
    done
    is_root && chmod 755 "$dir"
    if [ ! -f "$dir/secret" ]; then
      (umask 077; python3 -c 'import secrets; print(secrets.token_hex(24))' >"$dir/secret")
    fi
    (umask 077; echo "127.0.0.1:*:inquerito:inquerito:$(cat "$dir/secret")" >"$dir/pgpass")
    # Whatever fails half-way, nothing is left running.
    trap 'rc=$?; if [ "$rc" -ne 0 ]; then echo "cluster.sh: up failed; stopping what was started" >&2; down_all; fi' EXIT
    pg_up
    bouncer_up
    servers_up
    haproxy_up
    cat >"$state" <<EOF
DIR=$dir
SERVERS=$servers
THREADS=$threads
FRONT_PORT=$FRONT_PORT
BOUNCER_PORT=$BOUNCER_PORT
PG_PORT=$PG_PORT
SERVER_PORTS="$(for i in $(seq 1 "$servers"); do printf '%s ' "$(cat "$dir/servers/s$i.port")"; done)"
SERVER_BIN=$server_bin
DIRECT=$direct
UNNAMED=$unnamed
EOF
    echo "cluster up: http://127.0.0.1:$FRONT_PORT ($servers servers, PgBouncer :$BOUNCER_PORT, PostgreSQL :$PG_PORT, data $dir)"
    ;;
  start-server)
    load_state || { echo "cluster.sh: no cluster in $dir" >&2; exit 1; }
    [[ "$instance" =~ ^[0-9]+$ ]] && [ -f "$dir/servers/s$instance.port" ] ||
      { echo "cluster.sh: no server $instance" >&2; exit 2; }
    alive "$(pid_of "$dir/servers/s$instance.pid")" && { echo "cluster.sh: server $instance is running" >&2; exit 1; }
    threads="$THREADS"; server_bin="$SERVER_BIN"; direct="$DIRECT"; unnamed="$UNNAMED"
    start_server "$instance" "$(cat "$dir/servers/s$instance.port")"
    wait_for 30 "inquerito-server $instance" healthy "$(cat "$dir/servers/s$instance.port")"
    ;;
  status)
    load_state || { echo "no cluster in $dir"; exit 1; }
    ok=0
    show() { printf '%-12s %-8s %s\n' "$1" "$2" "$3"; [ "$2" = running ] || ok=1; }
    if [ -n "$bindir" ] && as_postgres "$bindir/pg_ctl" -D "$dir/pg/data" status >/dev/null 2>&1; then
      show PostgreSQL running "127.0.0.1:$PG_PORT, data $dir/pg/data"
    else show PostgreSQL stopped "data $dir/pg/data"; fi
    if alive "$(pid_of "$dir/pgbouncer/pgbouncer.pid")"; then
      show PgBouncer running "127.0.0.1:$BOUNCER_PORT, pool_mode=transaction"
    else show PgBouncer stopped ""; fi
    for i in $(seq 1 "$SERVERS"); do
      p=$(cat "$dir/servers/s$i.port" 2>/dev/null || echo "?"); pid=$(pid_of "$dir/servers/s$i.pid")
      if alive "$pid"; then
        if healthy "$p"; then show "server $i" running "127.0.0.1:$p, pid $pid, /health ok"
        else show "server $i" running "127.0.0.1:$p, pid $pid, /health not answering"; fi
      else show "server $i" stopped "127.0.0.1:$p"; fi
    done
    if alive "$(pid_of "$dir/haproxy/haproxy.pid")"; then
      show HAProxy running "http://127.0.0.1:$FRONT_PORT, backends: $(haproxy_backends | tr '\n' ' ')"
    else show HAProxy stopped ""; fi
    exit "$ok"
    ;;
  down)
    load_state 2>/dev/null || true
    down_all
    echo "cluster down (data kept in $dir)"
    ;;
  *)
    usage >&2; exit 2 ;;
esac
