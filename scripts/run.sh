#!/bin/sh
# The main job on the embedded default database: set up and build, create the
# demo database when it is absent, give an account of it, then send a message
# the way the suite does (a group and a customer's address in To, an address
# in Cc, a linked sales document) through an SMTP capture server started on
# loopback, and show where everything landed.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
mrv="${MRV_BUILD_DIR:-$here/build}/bin/mrv"

if ! "$mrv" info >/dev/null 2>&1; then
    "$mrv" init --demo
fi
"$mrv" info

capture=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$capture"' EXIT
/usr/bin/python3 "$here/tests/servers/smtp_server.py" --folder "$capture/mail" >"$capture/server.out" 2>&1 &
server=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^READY //p' "$capture/server.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$capture/server.out" >&2; exit 1; }

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
