#!/bin/sh
# The main job on the embedded default database: set up and build, create the
# demo database when it is absent, give an account of it, then send a message
# the way the suite does (a group and a customer's address in To, an address
# in Cc, a linked sales document) through an SMTP capture server started on
# loopback, and show where everything landed; then mirror a mailbox of a
# Dovecot started on loopback (a few messages in its inbox) and open one.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
mrv="${MRV_BUILD_DIR:-$here/build}/bin/mrv"

if ! "$mrv" info >/dev/null 2>&1; then
    "$mrv" init --demo
fi
"$mrv" info

capture=$(mktemp -d)
imap=""
trap 'kill "$server" $imap 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$capture"' EXIT
/usr/bin/python3 "$here/tests/servers/smtp_server.py" --folder "$capture/mail" >"$capture/server.out" 2>&1 &
server=$!
# The port a server started above prints as "READY <port>" in its output file.
ready_port() {
    for _ in $(seq 1 200); do
        found=$(sed -n 's/^READY //p' "$1")
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    cat "$1" >&2
    return 1
}
port=$(ready_port "$capture/server.out")

echo
echo "== SMTP capture server on 127.0.0.1:$port; the account of the demo suite points at it"
"$mrv" config set EXCHANGE_MODE ACCOUNT
"$mrv" email-config set Name "Mario Rossi"
"$mrv" email-config set Email m.rossi@brambilla.example.it
"$mrv" email-config set ServerType_Out 3
"$mrv" email-config set ServerName_Out 127.0.0.1
"$mrv" email-config set ServerPort_Out "$port"
"$mrv" email-config set ServerAuth_Out 0

echo
echo "== mrv send (as ROSSI): To the group VENDITE and a customer, Cc the customer's management"
"$mrv" --user ROSSI send --to "VENDITE; ufficio.acquisti@santoro1.example.it" --cc "direzione@santoro1.example.it" \
    --subject "Offerta n. 1" --body "Buongiorno,
in allegato la nostra migliore offerta.
Cordiali saluti" --link "DOC_VEN|1"

echo
echo "== Where it landed"
"$mrv" sql "SELECT TOP 4 RECORD_ID, MSUSR, MSFLD, MSSND, MSOBJ FROM SYS_MSG ORDER BY RECORD_ID DESC"
"$mrv" sql "SELECT RECORD_ID, DTDES, DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 1"
for message in "$capture"/mail/*.eml; do
    echo "-- $message (received by the capture server):"
    sed -n '1,/^$/p' "$message" | grep -E '^(From|To|Cc|Subject|Date|Message-ID):'
done

echo
imap_out="$capture/imap.out"
/usr/bin/python3 "$here/tests/servers/imap_server.py" >"$imap_out" 2>&1 &
imap=$!
imap_port=$(ready_port "$imap_out")
echo "== A Dovecot mailbox on 127.0.0.2:$imap_port (user mario); ROSSI's mirror of it"
"$mrv" config set EXCHANGE_MODE EXCHANGE
"$mrv" config set EXCHANGE_SERVER "127.0.0.2:$imap_port"
"$mrv" config set EXCHANGE_USER mario
"$mrv" config set EXCHANGE_SSL 0
"$mrv" --user ROSSI config set EXCHANGE_PASSWORD segreto --per-user
"$mrv" --user ROSSI mailbox tree --sync
inbox=$("$mrv" --user ROSSI mailbox tree | awk -F '\t' '$1 ~ /2$/ { print $2; exit }')
echo "-- messages in the inbox after mrv mailbox refresh:"
"$mrv" --user ROSSI mailbox refresh "$inbox"
"$mrv" sql "SELECT RECORD_ID, EXDES, EXIFR, EXIAT FROM SYS_EXC WHERE EXTYP = 4 AND EXUSR = 'ROSSI' ORDER BY RECORD_ID"
first=$("$mrv" sql "SELECT MIN(RECORD_ID) FROM SYS_EXC WHERE EXTYP = 4 AND EXUSR = 'ROSSI'" | sed -n 2p)
echo "-- mrv mailbox open $first:"
"$mrv" --user ROSSI mailbox open "$first"
"$mrv" config set EXCHANGE_MODE ACCOUNT
