#!/bin/sh
# Builds the libFuzzer targets with clang (ASan and UBSan on) into
# build-fuzz/ and runs each for RUNS executions (default 10 million).
# Usage: scripts/fuzz.sh [RUNS] [TARGET...]   targets: rtfreader sqltokenizer notificationfile imapparser
# MRV_FUZZ_WORKERS=N shares a target's RUNS among N processes on one corpus
# (each takes new units from the others'), one per core.
# A finding stops its target with a non-zero exit and leaves the input
# (crash-*, timeout-*, leak-*) in build-fuzz/.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${MRV_FUZZ_DIR:-$here/build-fuzz}
runs=${1:-10000000}
[ $# -gt 0 ] && shift
targets=${*:-rtfreader sqltokenizer notificationfile imapparser}

for package in clang libclang-rt-14-dev qt6-base-dev pkg-config libgmime-3.0-dev; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        echo "mrv fuzz: installing $package"
        if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package"
    fi
done

# Allocation stacks are not recorded: deep inputs (nested brackets) give a
# new stack per depth and the sanitizer's stack store grew past 2 GB in a
# long run. Rerun a finding with ASAN_OPTIONS unset for its stacks.
# New blocks are not filled with a pattern: the filling cost the RTF reader's
# run a third of its speed (QTextDocument allocates much), and the sanitizer
# reports no read of uninitialised memory either way.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0:max_malloc_fill_size=0}
workers=${MRV_FUZZ_WORKERS:-1}

mkdir -p "$out"
cd "$here"
# An undefined-behaviour report stops the run as a finding, as a crash does.
flags="-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -DQT_NO_KEYWORDS -Isrc -Isuite"
for target in $targets; do
    case $target in
    rtfreader)
        # shellcheck disable=SC2086
        clang++ $flags $(pkg-config --cflags Qt6Gui) fuzz/fuzz_rtfreader.cpp src/platform/richtext/*.cpp \
            $(pkg-config --libs Qt6Gui) -o "$out/fuzz_rtfreader"
        # A generous timeout: a run niced behind a build can stall for
        # seconds on a first codec lookup ("<iscii" took 10 s so, 0.2 s alone).
        options="-max_len=8192 -timeout=60" ;;
    sqltokenizer)
        # shellcheck disable=SC2086
        clang++ $flags $(pkg-config --cflags Qt6Core) fuzz/fuzz_sqltokenizer.cpp suite/db/SqlTokenizer.cpp \
            suite/db/Dialects.cpp suite/db/Routines.cpp $(pkg-config --libs Qt6Core) -o "$out/fuzz_sqltokenizer"
        options="-max_len=4096 -rss_limit_mb=4096" ;;
    notificationfile)
        # shellcheck disable=SC2086
        clang++ $flags $(pkg-config --cflags Qt6Core) fuzz/fuzz_notificationfile.cpp \
            src/notifications/NotificationFile.cpp src/notifications/NotificationBatch.cpp src/host/HostServices.cpp \
            $(pkg-config --libs Qt6Core) -o "$out/fuzz_notificationfile"
        options="-max_len=4096" ;;
    imapparser)
        # shellcheck disable=SC2086
        clang++ $flags $(pkg-config --cflags Qt6Core gmime-3.0) fuzz/fuzz_imapparser.cpp \
            src/platform/imap/LineAssembler.cpp src/platform/imap/Response.cpp src/platform/imap/MailboxData.cpp \
            src/platform/imap/MessageData.cpp src/platform/imap/HeaderText.cpp src/platform/imap/UidSet.cpp \
            src/platform/imap/MailboxName.cpp src/platform/imap/ImapError.cpp src/platform/mime/GMimeSetup.cpp \
            $(pkg-config --libs Qt6Core gmime-3.0) -o "$out/fuzz_imapparser"
        options="-max_len=8192" ;;
    *)
        echo "mrv fuzz: unknown target $target" >&2
        exit 2 ;;
    esac
    mkdir -p "$out/corpus-$target"
    echo "mrv fuzz: $target, $runs runs in $workers process(es)"
    share=$(((runs + workers - 1) / workers))
    pids=""
    for worker in $(seq "$workers"); do
        # shellcheck disable=SC2086
        (cd "$out" && QT_QPA_PLATFORM=offscreen exec "./fuzz_$target" $options -runs="$share" -print_final_stats=1 \
            "corpus-$target" > "fuzz-$target-$worker.log" 2>&1) &
        pids="$pids $!"
    done
    failed=0
    for pid in $pids; do wait "$pid" || failed=1; done
    for worker in $(seq "$workers"); do
        echo "mrv fuzz: $target worker $worker:"
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb|ERROR|runtime error" "$out/fuzz-$target-$worker.log" || true
    done
    [ "$failed" -eq 0 ] || { echo "mrv fuzz: $target found something: see $out/fuzz-$target-*.log" >&2; exit 1; }
done
