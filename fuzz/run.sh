#!/bin/sh
# Runs the libFuzzer harnesses one after the other.
#
#   sh fuzz/run.sh BUILD_FOLDER SECONDS [HARNESS...]
#
# Each harness runs SECONDS seconds on its own corpus folder
# fuzz/corpus-generated/<harness> (grown from the committed seeds in
# fuzz/corpus/<harness>, which are only read). Logs and any crash, timeout or
# out-of-memory files go to $FUZZ_LOGS (default fuzz/logs). Exits 1 when some
# harness crashed (a sanitizer report, a failed check, an uncaught exception,
# a deadly signal) or left a sandbox folder in /tmp. A slow input (timeout)
# or one that ran out of memory is reported but fails the run only with
# FUZZ_STRICT=1; otherwise the search goes on past it.
set -u
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
    echo "usage: sh fuzz/run.sh BUILD_FOLDER SECONDS [HARNESS...]" >&2
    exit 2
fi
build=$1
seconds=$2
shift 2
harnesses=${*:-splitter expression program session listtext base64 lz77 check}
logs=${FUZZ_LOGS:-fuzz/logs}
mkdir -p "$logs"
logs=$(cd "$logs" && pwd)

failed=""
passed=0
for h in $harnesses; do
    binary="$build/fuzz/fuzz_$h"
    if [ ! -x "$binary" ]; then
        echo "fuzz: $binary is missing" >&2
        failed="$failed $h"
        continue
    fi
    corpus="fuzz/corpus-generated/$h"
    mkdir -p "$corpus"
    set -- -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096
    case $h in
        splitter|expression|program|session|listtext|check) set -- "$@" -dict=fuzz/vorn.dict ;;
        lz77) set -- "$@" -max_len=16384 ;;
    esac
    # Room for groups and bodies of 4 KB and more, whose ends the splitter
    # records in one pass (GroupEnds).
    case $h in
        program|expression) set -- "$@" -max_len=32768 ;;
    esac
    # One worker process, which libFuzzer restarts after a timeout or running
    # out of memory; the search itself stays on one core.
    ignore=1
    [ "${FUZZ_STRICT:-0}" = 1 ] && ignore=0
    set -- "$@" -fork=1 -ignore_timeouts=$ignore -ignore_ooms=$ignore -ignore_crashes=0
    log="$logs/$h.log"
    marker="$logs/.$h.started"
    touch "$marker"
    echo "fuzz: $h for ${seconds}s (log $log)"
    "$binary" "$@" -artifact_prefix="$logs/$h-" "$corpus" "fuzz/corpus/$h" >"$log" 2>&1
    status=$?
    # The last statistics line: executions, coverage (cov) and features (ft).
    grep -E '^#[0-9]+: cov:' "$log" | tail -n 1
    # Files libFuzzer wrote during this run; in fork mode a worker's crash
    # (or a crashing seed) does not always show in the exit status.
    fatal="crash- leak- deadly-"
    [ "$ignore" = 0 ] && fatal="$fatal timeout- oom- slow-unit-"
    bad=""
    for f in $(find "$logs" -maxdepth 1 -name "$h-*" -newer "$marker" | sort); do
        kind=${f#"$logs/$h-"}
        kind=${kind%%-*}-
        case " $fatal " in
            *" $kind "*) bad="$bad $f" ;;
            *) echo "fuzz: $h: ${kind%-} input $f (not counted as a failure)" ;;
        esac
    done
    # Every worker's sandbox folder must be gone with it.
    left=$(find /tmp -maxdepth 1 -name 'vorn-fuzz-*' -newer "$marker" 2>/dev/null)
    if [ -n "$left" ]; then
        echo "fuzz: $h left temporary folders behind:" $left
        status=1
    fi
    rm -f "$marker"
    if [ $status -ne 0 ] || [ -n "$bad" ]; then
        echo "fuzz: $h FAILED (exit status $status)"
        grep -E 'ERROR:|SUMMARY:|Test unit written' "$log" | head -n 20
        for f in $bad; do
            echo "reproducer $f, base64:"
            base64 -w 0 "$f"
            echo
        done
        failed="$failed $h"
    else
        passed=$((passed + 1))
    fi
done

count=0
for h in $failed; do count=$((count + 1)); done
[ -z "$failed" ] || echo "fuzz: failed:$failed"
echo "fuzz: $passed passed, $count failed"
[ -z "$failed" ]
