#!/usr/bin/env python3
"""Runs two builds of the interpreter on the same programs and compares what
they print and their exit status.

Usage: tests/differential.py REFERENCE CANDIDATE [--jobs N] [--timeout S] [CASES...]

REFERENCE and CANDIDATE run one script file each (`build/tests/vorn_run_script`
of two trees). CASES are folders or files; by default every golden script
(tests/scripts, with its .in as standard input) and the program and
expression fuzz corpora. Each run has a fresh temporary folder. Programs of
the corpora that could reach outside that folder (files, folders, `exec`,
`eval`, `also`, `decodelist`, which can all run text built at run time) are
left out. A case both builds take longer than the time-out on is no
difference; one only one of them does is.

Exit status: 0 when every case agrees, 1 when some case differs or there
was no case at all.
"""

import argparse
import concurrent.futures
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
from run_golden import RunnableCase  # noqa: E402 - a library case runs after its library, as there
DEFAULT_CASES = [os.path.join(HERE, "scripts"), os.path.join(ROOT, "fuzz", "corpus", "program"),
                 os.path.join(ROOT, "fuzz", "corpus", "expression")]
# Words that let a program touch what lies outside its folder, or run text it
# builds (which could name any of them).
UNSAFE = (b"_rm", b"_write", b"_mkdir", b"_cd", b"exec", b"eval", b"also", b"decodelist")


def cases_in(paths):
    found = []
    for path in paths:
        if os.path.isfile(path):
            found.append(path)
            continue
        golden = os.path.abspath(path).startswith(os.path.join(HERE, "scripts"))
        for folder, _, files in sorted(os.walk(path)):
            for name in sorted(files):
                full = os.path.join(folder, name)
                if golden and not name.endswith(".vorn"):
                    continue
                if not golden:
                    text = open(full, "rb").read()
                    if any(word in text for word in UNSAFE):
                        continue
                found.append(full)
    return found


def run(command, script, timeout):
    """(status, output) of one run, or None when it took too long."""
    base = script[: -len(".vorn")] if script.endswith(".vorn") else None
    stdin = open(base + ".in", "rb").read() if base and os.path.exists(base + ".in") else b""
    folder = tempfile.mkdtemp(prefix="vorn-differential-")
    try:
        with RunnableCase(script) as path:
            result = subprocess.run(command + [path], input=stdin, capture_output=True, cwd=folder,
                                    timeout=timeout)
        return result.returncode, result.stdout.replace(os.path.realpath(folder).encode(), b"{TMP}")
    except subprocess.TimeoutExpired:
        return None
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def compare(reference, candidate, script, timeout):
    """A description of how the two runs differ, or None."""
    a = run(reference, script, timeout)
    b = run(candidate, script, timeout)
    if a is None and b is None:
        return None
    if a is None or b is None:
        return ("reference" if a is None else "candidate") + " timed out, the other did not"
    if a == b:
        return None
    lines = [f"status {a[0]} -> {b[0]}"] if a[0] != b[0] else []
    diff = difflib.unified_diff(a[1].decode("utf-8", "replace").splitlines(True),
                                b[1].decode("utf-8", "replace").splitlines(True), "reference", "candidate")
    lines += [line.rstrip("\n") for line in list(diff)[:30]]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("reference")
    parser.add_argument("candidate")
    parser.add_argument("cases", nargs="*")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=float, default=10.0)
    args = parser.parse_args()
    reference, candidate = [os.path.abspath(args.reference)], [os.path.abspath(args.candidate)]
    scripts = cases_in(args.cases or DEFAULT_CASES)
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        results = list(pool.map(lambda s: compare(reference, candidate, s, args.timeout), scripts))
    differing = [(s, r) for s, r in zip(scripts, results) if r]
    for script, how in differing:
        print(f"DIFFERS {os.path.relpath(script, ROOT)}\n    " + how.replace("\n", "\n    "))
    print(f"differential: {len(scripts) - len(differing)} agree, {len(differing)} differ")
    return 1 if differing or not scripts else 0


if __name__ == "__main__":
    sys.exit(main())
