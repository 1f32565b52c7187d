#!/usr/bin/env bash
# Throwaway PostgreSQL 15 cluster on a loopback port, for the test run.
#   source scripts/pg.sh; pg_start; ...; pg_stop
# pg_start exports TORVEL_TEST_PG (the connection string the tests read) and
# fails when the server does not come up: the server tests are never skipped.

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
PGPORT=${PGPORT:-55432}

_pg_as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

pg_start() {
    PGDATA=$(mktemp -d /tmp/torvel-pg.XXXXXX)
    export PGDATA
    # initdb and postgres refuse to run as root.
    [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$PGDATA"
    _pg_as_owner "$PGBIN/initdb" -D "$PGDATA" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$PGDATA.initdb.log" 2>&1 \
        || { cat "$PGDATA.initdb.log"; echo "PostgreSQL initdb failed" >&2; return 1; }
    _pg_as_owner "$PGBIN/pg_ctl" -D "$PGDATA" -l "$PGDATA/server.log" -w -t 30 \
        -o "-p $PGPORT -c listen_addresses=127.0.0.1 -k $PGDATA -c fsync=off -c max_connections=50" start >/dev/null \
        || { cat "$PGDATA/server.log"; echo "PostgreSQL did not start" >&2; return 1; }
    _pg_as_owner "$PGBIN/createdb" -h 127.0.0.1 -p "$PGPORT" -U postgres torvel_test \
        || { echo "createdb failed" >&2; return 1; }
    export TORVEL_TEST_PG="postgresql://postgres@127.0.0.1:$PGPORT/torvel_test"
    echo "PostgreSQL test cluster on 127.0.0.1:$PGPORT"
}

pg_stop() {
    [ -n "${PGDATA:-}" ] || return 0
    _pg_as_owner "$PGBIN/pg_ctl" -D "$PGDATA" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$PGDATA" "$PGDATA.initdb.log"
    unset PGDATA
}
