# Starts a private PostgreSQL cluster on a loopback port in a temporary folder (as the postgres user
# when run as root) and stops it when the calling script exits. Exports KELVO_PG_PORT, KELVO_PG_USER
# and KELVO_PG_DB for the tests' data sources.
source "$(dirname "${BASH_SOURCE[0]}")/exittrap.sh"
start_private_postgres() {
    local pgbin
    pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
    KELVO_PG_WORK=$(mktemp -d /tmp/kelvo-pg-XXXXXX)
    local port=${KELVO_PG_PORT:-$(( 20000 + RANDOM % 20000 ))}
    KELVO_PG_RUNAS=()
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$KELVO_PG_WORK"
        KELVO_PG_RUNAS=(runuser -u postgres --)
    fi
    KELVO_PG_BIN=$pgbin
    add_exit_trap stop_private_postgres
    "${KELVO_PG_RUNAS[@]}" "$pgbin/initdb" -D "$KELVO_PG_WORK/data" -U kelvo --auth=trust -E UTF8 --locale=C.UTF-8 >/dev/null
    "${KELVO_PG_RUNAS[@]}" "$pgbin/pg_ctl" -D "$KELVO_PG_WORK/data" -l "$KELVO_PG_WORK/server.log" -w \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$KELVO_PG_WORK -c fsync=off" \
        start >/dev/null
    "${KELVO_PG_RUNAS[@]}" "$pgbin/createdb" -h 127.0.0.1 -p "$port" -U kelvo kelvo_test
    export KELVO_PG_PORT=$port KELVO_PG_USER=kelvo KELVO_PG_DB=kelvo_test
}

stop_private_postgres() {
    "${KELVO_PG_RUNAS[@]}" "$KELVO_PG_BIN/pg_ctl" -D "$KELVO_PG_WORK/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$KELVO_PG_WORK"
}
