#!/usr/bin/env python3
"""Golden script tests: run every tests/scripts/**/*.vorn and compare output.

Each script runs in a fresh temporary folder (so file tests cannot disturb
each other or the tree). Siblings of NAME.vorn:
  NAME.out     the whole expected standard output, byte for byte
  NAME.status  the expected exit status when it is not 0
  NAME.in      standard input (otherwise the input is empty)
In expected output, {TMP} stands for the temporary folder's path.

Usage: run_golden.py RUNNER SCRIPTS_DIR [--regen] [--filter TEXT]
RUNNER is a command that takes the script path (the test tool
vorn_run_script, or `wine vorn_run_script.exe`, given as one quoted string).
"""
import difflib
import os
import shlex
import shutil
import subprocess
import sys
import tempfile


def run_case(runner, script, regen):
    base = script[: -len(".vorn")]
    stdin_path = base + ".in"
    stdin = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""
    tmp = tempfile.mkdtemp(prefix="vorn-golden-")
    try:
        proc = subprocess.run(
            shlex.split(runner) + [os.path.abspath(script)],
            input=stdin,
            cwd=tmp,
            capture_output=True,
            timeout=120,
        )
        out = proc.stdout.replace(os.path.realpath(tmp).encode(), b"{TMP}")
        status = proc.returncode
    except subprocess.TimeoutExpired:
        return "timed out"
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    out_path, status_path = base + ".out", base + ".status"
    if regen:
        open(out_path, "wb").write(out)
        if status != 0:
            open(status_path, "w").write(f"{status}\n")
        elif os.path.exists(status_path):
            os.remove(status_path)
        return None
    expected = open(out_path, "rb").read() if os.path.exists(out_path) else b""
    expected_status = int(open(status_path).read().strip()) if os.path.exists(status_path) else 0
    problems = []
    if out != expected:
        diff = difflib.unified_diff(
            expected.decode("utf-8", "replace").splitlines(True),
            out.decode("utf-8", "replace").splitlines(True),
            "expected",
            "actual",
        )
        problems.append("output differs:\n" + "".join(diff))
    if status != expected_status:
        problems.append(f"exit status {status}, expected {expected_status}")
        if proc.stderr:
            problems.append("stderr:\n" + proc.stderr.decode("utf-8", "replace"))
    return "\n".join(problems) if problems else None


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    regen = "--regen" in sys.argv
    filt = None
    if "--filter" in sys.argv:
        filt = sys.argv[sys.argv.index("--filter") + 1]
        args.remove(filt)
    runner, root = args[0], args[1]
    scripts = sorted(
        os.path.join(d, f) for d, _, files in os.walk(root) for f in files if f.endswith(".vorn")
    )
    if filt:
        scripts = [s for s in scripts if filt in s]
    failures = 0
    for script in scripts:
        problem = run_case(runner, script, regen)
        name = os.path.relpath(script, root)
        if problem:
            failures += 1
            print(f"FAIL {name}\n{problem}\n")
    print(f"{len(scripts) - failures}/{len(scripts)} golden scripts passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
