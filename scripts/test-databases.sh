# Sourced by the test scripts, with $root, $build and $scratch set: starts a
# throw-away PostgreSQL cluster in $scratch/pg (the caller stops it), makes
# the demo templates the server tests copy, and exports where they are.
port=$(bash "$root/scripts/pg-cluster.sh" start "$scratch/pg")
export INQUERITO_TEST_PG_URL="postgresql://postgres@127.0.0.1:$port/"
psql -q -h 127.0.0.1 -p "$port" -U postgres -d postgres -c "CREATE DATABASE inquerito_template" >/dev/null
"$build/src/server/inquerito-server" --db "${INQUERITO_TEST_PG_URL}inquerito_template" --init-db --demo
"$build/src/server/inquerito-server" --db "sqlite:$scratch/template.db" --init-db --demo
export INQUERITO_TEST_SQLITE_TEMPLATE="$scratch/template.db"
export INQUERITO_TEST_TMP="$scratch"
