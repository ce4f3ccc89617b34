#!/usr/bin/env python3
"""Checker tests: golden cases, and runs that must find nothing.

Usage: run_check.py CHECKER cases CASES_DIR [--regen]
       run_check.py CHECKER clean SOURCE_DIR

CHECKER is the command that checks the files named after it, given as one
quoted string: `vorn-run --check`.

cases: every CASES_DIR/NAME.vorn is a case. It runs in a fresh temporary
folder that holds a copy of NAME.vorn and of everything in NAME.files/, with
the arguments in NAME.args (one per line; an empty file gives none) or else
NAME.vorn alone, and NAME.in as standard input. Standard output must be
NAME.out (absent: nothing), the status NAME.status (absent: 0), standard
error NAME.err (absent: anything).

clean: the checker must find nothing, with status 0, in
  - lib/*.VORN;
  - the VORN programs of bench/, with their size markers replaced as
    bench/run replaces them (the small sizes);
  - every VORN example of docs/guide.md: the ```vorn blocks, and the lines
    typed at the prompt in the ```text blocks. A block after a comment
    `<!-- check: V001 V008 -->` shows a trap instead: it must give exactly
    those codes, in that order.
These run in SOURCE_DIR, where lib/ is, so that `also "text"` finds its file.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import types


def run(checker, args, cwd, stdin=b""):
    proc = subprocess.run(checker + args, cwd=cwd, input=stdin, capture_output=True, timeout=60)
    return proc.returncode, proc.stdout, proc.stderr


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def run_case(checker, base, regen):
    name = os.path.basename(base)
    tmp = tempfile.mkdtemp(prefix="vorn-check-")
    try:
        shutil.copy(base + ".vorn", tmp)
        if os.path.isdir(base + ".files"):
            shutil.copytree(base + ".files", tmp, dirs_exist_ok=True)
        args_text = read(base + ".args")
        args = [name + ".vorn"] if args_text is None else args_text.decode().splitlines()
        status, out, err = run(checker, args, tmp, read(base + ".in", b""))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if regen:
        with open(base + ".out", "wb") as f:
            f.write(out)
        if status:
            with open(base + ".status", "w") as f:
                f.write(f"{status}\n")
        return []
    problems = []
    expected_status = int(read(base + ".status", b"0").decode().strip())
    if status != expected_status:
        problems.append(f"status {status}, expected {expected_status}")
    if out != read(base + ".out", b""):
        problems.append("output:\n" + out.decode(errors="replace") + "expected:\n" +
                        read(base + ".out", b"").decode(errors="replace"))
    expected_err = read(base + ".err")
    if expected_err is not None and err != expected_err:
        problems.append("standard error:\n" + err.decode(errors="replace"))
    return problems


def cases(checker, root, regen):
    names = sorted(f[: -len(".vorn")] for f in os.listdir(root) if f.endswith(".vorn"))
    if not names:
        print("checker cases: found no cases to run")
        return False
    failures = 0
    for name in names:
        problems = run_case(checker, os.path.join(root, name), regen)
        if problems:
            failures += 1
            print(f"FAIL {name}\n" + "\n".join(problems) + "\n")
    print(f"checker cases: {len(names) - failures} passed, {failures} failed")
    return failures == 0


def load_bench_runner(source):
    # bench/run has no .py suffix, so it is loaded by hand, as bench/profile does.
    path = os.path.join(source, "bench", "run")
    module = types.ModuleType("bench_run")
    module.__file__ = path
    with open(path, encoding="utf-8") as f:
        exec(compile(f.read(), path, "exec"), module.__dict__)
    return module


def bench_programs(source):
    """(name, text) of every VORN program in bench/, sizes filled in."""
    bench = load_bench_runner(source)
    level = bench.LEVELS["small"]
    sizes = {name: {k: v[level] for k, v in params.items()} for name, params, _, _ in bench.BENCHES}
    sizes["names"] = {"N": bench.NAMES_PASSES["small"][0]}
    sizes["elements"] = {"N": bench.ELEMENT_COUNTS["small"][0], "ELEMENT": bench.ELEMENT_KINDS[-1][1],
                         "SETUP": bench.ELEMENT_KINDS[-1][2]}
    programs = []
    for folder in (bench.PROGRAMS, bench.MEMORY, bench.WHOLE):
        for file in sorted(os.listdir(folder)):
            if file.endswith(".vorn"):
                name = file[: -len(".vorn")]
                programs.append((f"bench/{os.path.basename(folder)}/{file}",
                                 bench.vorn_source(os.path.join(folder, file), sizes[name])))
    return programs


def guide_examples(source):
    """(label, text, expected codes) of every example in the guide."""
    with open(os.path.join(source, "docs", "guide.md"), encoding="utf-8") as f:
        guide = f.read()
    examples = []
    pattern = re.compile(r"(?:<!-- check:([^>]*)-->\n)?(?:<!--[^>]*-->\n)?```(vorn|text)\n(.*?)```", re.S)
    for match in pattern.finditer(guide):
        line = guide.count("\n", 0, match.start(2)) + 1
        codes = match.group(1).split() if match.group(1) else []
        if match.group(2) == "vorn":
            examples.append((f"docs/guide.md:{line}", match.group(3), codes))
        else:
            typed = [m.group(1) for m in re.finditer(r"^/\S*(?: !stdlib)? \$ (.+)$", match.group(3), re.M)]
            if typed:
                examples.append((f"docs/guide.md:{line} (prompt)", "\n".join(typed) + "\n", codes))
    return examples


def clean(checker, source):
    failures = 0
    checked = 0

    def expect(label, args, stdin, codes):
        nonlocal failures, checked
        checked += 1
        status, out, err = run(checker, args, source, stdin)
        got = re.findall(r"\[(V\d+)\]$", out.decode(errors="replace"), re.M)
        if status != (1 if codes else 0) or got != codes or (not codes and out):
            failures += 1
            print(f"FAIL {label}: status {status}, expected codes {codes}\n"
                  + out.decode(errors="replace") + err.decode(errors="replace"))

    for file in sorted(os.listdir(os.path.join(source, "lib"))):
        if file.endswith(".VORN"):
            expect(f"lib/{file}", [f"lib/{file}"], b"", [])
    for label, text in bench_programs(source):
        expect(label, ["-"], text.encode(), [])
    for label, text, codes in guide_examples(source):
        expect(label, ["-"], text.encode(), codes)
    print(f"checker clean runs: {checked - failures} passed, {failures} failed")
    return failures == 0


def main():
    args = [a for a in sys.argv[1:] if a != "--regen"]
    if len(args) != 3 or args[1] not in ("cases", "clean"):
        sys.exit(__doc__)
    checker = [os.path.abspath(w) if os.path.isfile(w) else w for w in shlex.split(args[0])]
    root = os.path.abspath(args[2])
    if args[1] == "cases":
        ok = cases(checker, root, "--regen" in sys.argv)
    else:
        ok = clean(checker, root)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
