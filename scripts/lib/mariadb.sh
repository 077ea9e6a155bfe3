# Starts a private MariaDB server on a loopback port in a temporary folder (as the mysql user when run
# as root) and stops it when the calling script exits. Exports KELVO_MARIA_PORT, KELVO_MARIA_USER and
# KELVO_MARIA_DB for the tests' data sources; each test process makes a database of its own.
source "$(dirname "${BASH_SOURCE[0]}")/exittrap.sh"
start_private_mariadb() {
    KELVO_MARIA_WORK=$(mktemp -d /tmp/kelvo-maria-XXXXXX)
    local port=${KELVO_MARIA_PORT:-$(( 20000 + RANDOM % 20000 ))}
    # Another private server (PostgreSQL) may have drawn the same port.
    while [ "$port" = "${KELVO_PG_PORT:-}" ]; do port=$(( 20000 + RANDOM % 20000 )); done
    KELVO_MARIA_RUNAS=()
    if [ "$(id -u)" -eq 0 ]; then
        chown mysql "$KELVO_MARIA_WORK"
        KELVO_MARIA_RUNAS=(runuser -u mysql --)
    fi
    add_exit_trap stop_private_mariadb
    local w=$KELVO_MARIA_WORK
    # No option files: the machine's own server configuration must not leak into the tests.
    "${KELVO_MARIA_RUNAS[@]}" mariadb-install-db --no-defaults --datadir="$w/data" \
        --auth-root-authentication-method=normal --skip-test-db >"$w/install.log" 2>&1 ||
        { cat "$w/install.log" >&2; return 1; }
    # Character set as Debian's packaged server configures it; the rest trades durability for speed.
    "${KELVO_MARIA_RUNAS[@]}" mariadbd --no-defaults --datadir="$w/data" --socket="$w/mysqld.sock" \
        --pid-file="$w/mysqld.pid" --log-error="$w/server.log" --bind-address=127.0.0.1 --port="$port" \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 \
        --skip-log-bin --performance-schema=0 >/dev/null 2>&1 &
    local i
    for i in $(seq 1 300); do
        [ -S "$w/mysqld.sock" ] && mariadb-admin --no-defaults --socket="$w/mysqld.sock" -u root ping >/dev/null 2>&1 && break
        sleep 0.1
    done
    mariadb --no-defaults --socket="$w/mysqld.sock" -u root -e \
        "create user kelvo@'127.0.0.1'; grant all on *.* to kelvo@'127.0.0.1'; create database kelvo_test" ||
        { cat "$w/server.log" >&2; return 1; }
    export KELVO_MARIA_PORT=$port KELVO_MARIA_USER=kelvo KELVO_MARIA_DB=kelvo_test
}

stop_private_mariadb() {
    local w=$KELVO_MARIA_WORK
    if [ -f "$w/mysqld.pid" ]; then
        kill -9 "$(cat "$w/mysqld.pid")" 2>/dev/null || true
        local i
        for i in $(seq 1 50); do kill -0 "$(cat "$w/mysqld.pid")" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -rf "$w"
}
