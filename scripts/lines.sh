#!/bin/sh
# Counts the lines that carry code: not blank, not only a comment.
#   code:  src/ suite/ bench/ fuzz/   (*.cpp *.h *.py *.sh)
#   tests: tests/                     (*.cpp *.h *.py *.sh, the test support and servers included)
# C++ comments are // to the end of the line and /* ... */ over any lines; in
# Python and shell a line whose first visible character is # is a comment.
# Build files (CMakeLists.txt), documents and data files are not counted.
# Prints both counts and tests as a percentage of code; with --files, the
# count of every file under the folders named after it instead.
set -eu
cd "$(dirname "$0")/.."

count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \) -print0 2>/dev/null |
        xargs -0 -r awk '
            FNR == 1 { report(); file = FILENAME; block = 0; cxx = (FILENAME ~ /\.(cpp|h)$/) }
            {
                line = $0
                if (cxx) {
                    text = ""
                    while (length(line) > 0) {
                        if (block) {
                            end = index(line, "*/")
                            if (end == 0) { line = ""; break }
                            line = substr(line, end + 2); block = 0
                        } else {
                            open = index(line, "/*"); slash = index(line, "//")
                            if (slash > 0 && (open == 0 || slash < open)) { text = text substr(line, 1, slash - 1); line = ""; break }
                            if (open == 0) { text = text line; line = ""; break }
                            text = text substr(line, 1, open - 1); line = substr(line, open + 2); block = 1
                        }
                    }
                    line = text
                } else if (line ~ /^[ \t]*#/) {
                    line = ""
                }
                if (line ~ /[^ \t\r]/) n++
            }
            function report() { if (each && file != "") printf "%6d %s\n", n - done, file; done = n }
            END { report(); if (!each) print n + 0 }' each="${each:-0}" | awk -v each="${each:-0}" '{ if (each) print; else s += $1 } END { if (!each) print s + 0 }'
}

if [ "${1:-}" = "--files" ]; then
    shift
    [ $# -gt 0 ] || set -- src suite bench fuzz tests
    each=1 count "$@" | sort -n
    exit 0
fi

code=$(count src suite bench fuzz)
tests=$(count tests)
awk -v c="$code" -v t="$tests" 'BEGIN {
    printf "code   %6d lines (src suite bench fuzz)\n", c
    printf "tests  %6d lines (tests)\n", t
    printf "ratio  %5.1f%% tests/code\n", (c ? 100 * t / c : 0)
}'
