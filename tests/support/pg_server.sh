#!/usr/bin/env bash
# A throw-away PostgreSQL server for the database tests, reached through psqlODBC.
#   pg_server.sh start DIR   creates a cluster in DIR, starts it on a free loopback port, makes the test
#                            user and database, writes odbcinst.ini and odbc.ini with a DSN, and writes
#                            DIR/env with the variables the tests read (source it).
#   pg_server.sh stop DIR    stops the server and removes DIR; safe to call on a half-started DIR.
set -euo pipefail

cmd=${1:?start or stop}
dir=${2:?folder}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "pg_server: PostgreSQL binaries not found" >&2; exit 1; }

# The server refuses to run as root: there it runs as the postgres user.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
  chmod 700 "$dir"

  as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C \
    --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }

  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }

  user=brenvale_test
  password="pw_$RANDOM$RANDOM"
  psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres -d postgres)
  as_owner "${psql[@]}" -c "CREATE ROLE $user LOGIN CREATEDB PASSWORD '$password'"
  as_owner "${psql[@]}" -c "CREATE DATABASE $user OWNER $user ENCODING 'UTF8' TEMPLATE template0"

  driver=$(ls /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so 2>/dev/null | head -n 1 || true)
  [ -n "$driver" ] || { echo "pg_server: psqlodbcw.so not found" >&2; exit 1; }
  cat >"$dir/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$driver
EOF
  # BoolsAsChar=0: booleans arrive as SQL_BIT, not as text.
  cat >"$dir/odbc.ini" <<EOF
[brenvale_test]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$port
Database=$user
BoolsAsChar=0
EOF
  chmod 644 "$dir/odbcinst.ini" "$dir/odbc.ini"
  cat >"$dir/env" <<EOF
export ODBCSYSINI='$dir'
export ODBCINI='$dir/odbc.ini'
export BRENVALE_TEST_PG_DSN=brenvale_test
export BRENVALE_TEST_PG_USER=$user
export BRENVALE_TEST_PG_PASSWORD='$password'
EOF
  ;;
stop)
  if [ -f "$dir/data/postmaster.pid" ]; then
    # A test that stops a server process (SIGSTOP) may have died before resuming it.
    pm=$(head -n 1 "$dir/data/postmaster.pid")
    for p in $pm $(ps -o pid= --ppid "$pm" 2>/dev/null || true); do kill -CONT "$p" 2>/dev/null || true; done
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "pg_server: unknown command $cmd" >&2
  exit 2
  ;;
esac
