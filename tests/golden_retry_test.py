#!/usr/bin/env python3
"""Checks run_golden.py --retry-on: a case whose first start fails with the
given text on standard error runs once more and passes, the retry counted;
a case that fails without that text is not run again.

Usage: golden_retry_test.py RUN_SCRIPT_TOOL
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MARK = "failed to map the shared user data"

# A runner that fails to start the first time it is called (per state file),
# the way Wine now and then does, and runs the real tool afterwards.
FLAKY = """#!/bin/sh
state=$1; shift; tool=$1; shift
if [ ! -e "$state" ]; then
    : > "$state"
    echo "wine: {mark}: c0000018" >&2
    exit 1
fi
exec "$tool" "$@"
"""


def run(tool, cases, state):
    flaky = os.path.join(cases, "flaky.sh")
    with open(flaky, "w") as f:
        f.write(FLAKY.format(mark=MARK))
    runner = f"sh {flaky} {state} {tool}"
    return subprocess.run([sys.executable, os.path.join(HERE, "run_golden.py"), runner, cases,
                           "--retry-on", MARK], capture_output=True, text=True).stdout


def main():
    tool = os.path.abspath(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory() as cases:
        with open(os.path.join(cases, "ok.vorn"), "w") as f:
            f.write('$print$("fine")\n')
        with open(os.path.join(cases, "ok.out"), "w") as f:
            f.write("fine\n")
        out = run(tool, cases, os.path.join(cases, "state1"))
        if "golden: 1 retried" not in out or "golden: 1 passed, 0 failed" not in out:
            problems.append("start-up failure not retried:\n" + out)
        # A product failure (wrong output, no mark) is reported at once.
        with open(os.path.join(cases, "ok.out"), "w") as f:
            f.write("other\n")
        state = os.path.join(cases, "state2")
        open(state, "w").close()  # no start-up failure this time
        out = run(tool, cases, state)
        if "golden: 0 retried" not in out or "golden: 0 passed, 1 failed" not in out:
            problems.append("product failure retried or passed:\n" + out)
    print("\n".join(problems) if problems else "golden retry: passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
