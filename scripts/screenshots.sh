#!/bin/sh
# Regenerates the pictures of docs/screenshots/ from a demo database made
# here: messages and a task sent by other users to ROSSI, one linked to a
# customer, then the windows opened offscreen and grabbed by mrv-suite.
# Usage: scripts/screenshots.sh [LANG]   (default: Italian, the sources' language)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
bin=${MRV_BUILD_DIR:-$here/build}/bin
out=$here/docs/screenshots
lang=${1:-it}
work=$(mktemp -d "${TMPDIR:-/tmp}/mrv-shots.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
db="$work/demo.db"
export QT_QPA_PLATFORM=offscreen MRV_ANSWERS=""

mrv() { "$bin/mrv" --db "$db" "$@"; }
received() { mrv sql "SELECT MIN(RECORD_ID) FROM SYS_MSG WHERE MSUSR = 'ROSSI' AND MSFLD = 1 AND MSTYP = $1" | tail -n 1; }
grab() {
    picture=$1
    shift
    "$bin/mrv-suite" --db "$db" --user ROSSI --lang "$lang" --size 960x640 "$@" --grab "$out/$picture.png" 2>/dev/null
    echo "mrv screenshots: $out/$picture.png"
}

mrv init --demo >/dev/null
mrv --user BIANCHI send --to "ROSSI; VERDI" --cc COLOMBO --subject "Offerta per il cliente" \
    --body "Buongiorno Mario, ti invio l'offerta concordata con il cliente. Fammi sapere se va bene." \
    --link "CON_TRO|1" >/dev/null
mrv --user VERDI send --to ROSSI --subject "Riunione di lunedì" --body "Ci vediamo alle 10 in sala riunioni." >/dev/null
# A task is written by its window and then sent as a stored message.
mrv sql "INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSMIT, MSDES, MSOBJ, MSTXT, MSPRY, TKSTA, TKNOT, TKDTS,
    MSLNK, MSTBL, MSKEY, MSDTS) VALUES (1, 2, 1, 'BIANCHI', 'Laura Bianchi (BIANCHI)', 'ROSSI', 'Preparare il listino 2027',
    '{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Entro fine mese, con i nuovi prezzi dei fornitori.\\par}', 2, 0, -1,
    '2026-12-31', -1, 'CON_TRO', '1', GETDATE())" >/dev/null
mrv --user BIANCHI send --id "$(mrv sql "SELECT MAX(RECORD_ID) FROM SYS_MSG" | tail -n 1)" >/dev/null
message=$(received 0)
task=$(received 1)

mkdir -p "$out"
grab main-window --main
grab new-message --new SYS_MSG
grab received-task --open "SYS_MSG|$task"
grab reply --open "SYS_MSG|$message" --command 255007
grab history --history "CON_TRO|1"
