#!/bin/sh
# A throw-away PostgreSQL 15 cluster on loopback, for the tests.
#
#   scripts/pg-cluster.sh start DIR   makes a cluster in DIR (new or empty),
#                                     starts it on a free port and prints its
#                                     URL (postgresql://mrv@127.0.0.1:PORT/postgres)
#   scripts/pg-cluster.sh stop DIR    stops it and removes DIR
#
# PostgreSQL refuses to run as root: under root the cluster belongs to the
# "postgres" account of Debian's packages. The role "mrv" is a superuser
# that logs in without a password, from loopback only. Durability is off:
# nothing in it outlives the run.
set -eu

bin=$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null || true)
if [ -z "$bin" ]; then
    echo "pg-cluster: PostgreSQL 15 is not installed (scripts/setup.sh installs postgresql-15)" >&2
    exit 1
fi

command=${1:-}
dir=${2:-}
if [ -z "$command" ] || [ -z "$dir" ]; then
    echo "usage: scripts/pg-cluster.sh start|stop DIR" >&2
    exit 2
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

case $command in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U mrv --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    attempts=0
    until
        port=$(free_port)
        as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start -o \
            "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories='$dir' -c fsync=off \
             -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" >/dev/null 2>&1
    do
        attempts=$((attempts + 1))
        if [ $attempts -ge 5 ]; then
            cat "$dir/server.log" >&2
            exit 1
        fi
    done
    echo "postgresql://mrv@127.0.0.1:$port/postgres"
    ;;
stop)
    if [ -d "$dir/data" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: scripts/pg-cluster.sh start|stop DIR" >&2
    exit 2
    ;;
esac
