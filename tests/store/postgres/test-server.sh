#!/usr/bin/env bash
# A private PostgreSQL 15 server for the tests: its data and its Unix socket in a fresh
# temporary folder, no TCP port, so parallel runs never meet.
#
#   test-server.sh start STATE SCRIPT   starts one, installs SCRIPT (sorvane-server.sql) in
#                                       database sorvane_template with the test logins, and
#                                       writes the socket folder to STATE
#                                       (a fourth argument "durable" keeps fsync on, as the
#                                       benchmark's durable saves need)
#   test-server.sh stop STATE           stops it and removes its folder
#   test-server.sh kill|restart STATE   an immediate stop / a start again, for the tests of
#                                       a server that goes away mid-session
#
# Without PostgreSQL 15 it writes "skip: <why>" to STATE and succeeds, so the tests that need
# the server report themselves skipped with that reason.
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
command=$1 state=$2

# initdb refuses to run as root; as root the server runs as the postgres user.
as_server_user() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
folder() { cat "$state"; }
ctl() { as_server_user "$bin/pg_ctl" -D "$(folder)/data" -l "$(folder)/server.log" "$@"; }

case $command in
start)
  script=$3
  mkdir -p "$(dirname "$state")"
  if [ ! -x "$bin/initdb" ]; then
    echo "skip: PostgreSQL 15 is not installed ($bin/initdb is missing)" >"$state"
    exit 0
  fi
  dir=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-pg.XXXXXX")
  [ "$(id -u)" = 0 ] && chown postgres: "$dir"
  chmod 700 "$dir"
  echo "$dir" >"$state"
  as_server_user "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
    >"$dir/initdb.log"
  # One login needs a password, for the tests of asking for one; the rest use trust.
  printf 'local all password_user scram-sha-256\nlocal all all trust\n' >"$dir/data/pg_hba.conf"
  cat >>"$dir/data/postgresql.conf" <<EOF
listen_addresses = ''
unix_socket_directories = '$dir'
max_connections = 200
EOF
  # The tests don't survive a power cut; the benchmark measures saves that would.
  [ "${4:-}" = durable ] || echo "fsync = off" >>"$dir/data/postgresql.conf"
  ctl -w start >/dev/null
  psql=(psql -X -q -v ON_ERROR_STOP=1 -h "$dir" -U postgres)
  "${psql[@]}" -d postgres -c "CREATE DATABASE sorvane_template"
  "${psql[@]}" -d sorvane_template -f "$script" >/dev/null
  "${psql[@]}" -d postgres <<'EOF'
CREATE ROLE technician1 LOGIN IN ROLE sorvane_technician;
CREATE ROLE technician2 LOGIN IN ROLE sorvane_technician;
CREATE ROLE auditor LOGIN IN ROLE sorvane_auditor;
CREATE ROLE visitor LOGIN;
CREATE ROLE password_user LOGIN PASSWORD 'secret-1' IN ROLE sorvane_technician;
EOF
  ;;
stop)
  [ -f "$state" ] || exit 0
  if [ "$(head -c5 "$state")" != "skip:" ]; then
    ctl -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$(folder)"
  fi
  rm -f "$state"
  ;;
kill) ctl -m immediate stop >/dev/null ;;
restart) ctl -w start >/dev/null ;;
*)
  echo "usage: $0 start STATE SCRIPT | stop|kill|restart STATE" >&2
  exit 2
  ;;
esac
