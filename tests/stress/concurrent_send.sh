#!/bin/sh
# Several clients send at once to one database, each as a user of its own, to
# a user, a group and an e-mail address (a loopback SMTP server), for a while.
# Afterwards no inbox copy may be lost or doubled, every copy must point at
# its own sender's copy (a key read back after an insert that belonged to
# another client would show here), every e-mail must have arrived, and no
# send may have failed ("database is locked" included).
#
# Usage: concurrent_send.sh BIN_DIR sqlite|postgresql CLIENTS SECONDS
# PostgreSQL needs MRV_TEST_POSTGRES_URL (scripts/test.sh sets it).
set -eu

bin=$1
engine=$2
clients=$3
seconds=$4
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    if [ "$engine" = postgresql ]; then
        psql -q "$MRV_TEST_POSTGRES_URL" -c "DROP DATABASE IF EXISTS $database WITH (FORCE)" >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ "$engine" = postgresql ]; then
    database="mrv_stress_$$"
    psql -q "$MRV_TEST_POSTGRES_URL" -c "CREATE DATABASE $database"
    set -- --url "${MRV_TEST_POSTGRES_URL%/*}/$database"
else
    set -- --db "$work/stress.db"
fi
mrv() { "$bin/mrv" "$@"; }
mrv "$@" init --demo >/dev/null

/usr/bin/python3 "$here/servers/smtp_server.py" --folder "$work/mail" >"$work/server.out" 2>&1 &
server=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^READY //p' "$work/server.out" 2>/dev/null || true)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$work/server.out" >&2; exit 1; }
mrv "$@" config set EXCHANGE_MODE ACCOUNT
mrv "$@" email-config set Email mrv@brambilla.example.it
mrv "$@" email-config set ServerType_Out 3
mrv "$@" email-config set ServerName_Out 127.0.0.1
mrv "$@" email-config set ServerPort_Out "$port"
mrv "$@" email-config set ServerAuth_Out 0

users=$(mrv "$@" sql "SELECT TOP $clients CDUSR FROM SYS_USR ORDER BY CDUSR" | tail -n +2)
[ "$(echo "$users" | wc -l)" -eq "$clients" ] || { echo "fewer than $clients users" >&2; exit 1; }

# Each client: one send after another until the time is up; a failed send
# stops the client and fails the run.
end=$(($(date +%s) + seconds))
pids=""
for user in $users; do
    (
        n=0
        while [ "$(date +%s)" -lt "$end" ]; do
            n=$((n + 1))
            if ! mrv "$@" --user "$user" send --to "VERDI; TECNICO; $user.$n@clienti.example" \
                --subject "$user-$n" --body "da $user, numero $n" >/dev/null 2>"$work/error.$user"; then
                echo "$user-$n" >"$work/failed.$user"
                exit 1
            fi
            echo "$user-$n" >>"$work/sent"
        done
    ) &
    pids="$pids $!"
done
for pid in $pids; do
    wait "$pid" || true
done

if ls "$work"/failed.* >/dev/null 2>&1; then
    for failed in "$work"/failed.*; do
        user=${failed##*.}
        echo "send $(cat "$failed") failed: $(cat "$work/error.$user")" >&2
    done
    exit 1
fi

sent=$(wc -l <"$work/sent")
query() { mrv "$@" sql "$query" | tail -n +2; }
# Inbox copies per sending: the same for all (VERDI and the group's members).
query="SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSOBJ = '$(head -1 "$work/sent")'"
copies=$(query "$@")
query="SELECT COUNT(*) FROM (SELECT MSOBJ FROM SYS_MSG WHERE MSFLD = 1 GROUP BY MSOBJ HAVING COUNT(*) <> $copies) W"
wrong=$(query "$@")
query="SELECT COUNT(DISTINCT MSOBJ) FROM SYS_MSG WHERE MSFLD = 1"
sendings=$(query "$@")
# Each copy of a new message starts a thread of its own, under its own key,
# which the sending read back after the insert.
query="SELECT COUNT(*) FROM SYS_MSG I LEFT JOIN SYS_MSG S ON S.RECORD_ID = I.MSSND
WHERE I.MSFLD = 1 AND (S.RECORD_ID IS NULL OR S.MSFLD <> 2 OR S.MSOBJ <> I.MSOBJ OR S.MSMIT <> I.MSMIT
OR I.MSTHR <> I.RECORD_ID OR S.MSTHR <> S.RECORD_ID)"
astray=$(query "$@")
mails=$(find "$work/mail" -name '*.eml' | wc -l)

echo "$engine, $clients clients, $seconds s: $sent sendings, $copies inbox copies each," \
    "$wrong with another number, $astray pointing at another sending, $mails e-mails received"
[ "$copies" -ge 2 ] && [ "$wrong" -eq 0 ] && [ "$sendings" -eq "$sent" ] && [ "$astray" -eq 0 ] &&
    [ "$mails" -eq "$sent" ]
