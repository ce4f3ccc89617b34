#!/usr/bin/env python3
"""The guide's examples, run: every ```vorn block of docs/guide.md that is
followed by a paragraph ending in "Output:" and a ```text block must print
exactly that text under vorn-run; and every ```text block that shows lines
typed at the prompt (`/home/ada/work $ LINE`) must show what vorn prints for
them when they are piped into it, line by line (a counter that overwrites
itself with carriage returns is shown as its last state, as a terminal
shows it). Transcripts with continuation lines (`... `) need a terminal and
are left to the terminal tests.

Each example runs alone in a fresh temporary folder holding a copy of lib/,
as a file named example.vorn. A comment `<!-- input: TEXT -->` right
before the block gives its standard input (\n for line ends); the
temporary folder's path is shown as /home/ada/work, the folder the guide's
examples pretend to run in. A runner that finds no example fails.

Usage: run_guide.py VORN_RUN VORN GUIDE LIB_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile


def examples(lines):
    """(line number, code, input, expected output) of each example with an
    output."""
    found = []
    i = 0
    while i < len(lines):
        if lines[i].strip() != "```vorn":
            i += 1
            continue
        start = i + 1
        end = start
        stdin = ""
        before = lines[i - 1].strip() if i > 0 else ""
        if before.startswith("<!-- input:") and before.endswith("-->"):
            stdin = before[len("<!-- input:"):-len("-->")].strip().replace("\\n", "\n")
        while end < len(lines) and lines[end].strip() != "```":
            end += 1
        code = "".join(lines[start:end])
        j = end + 1
        while j < len(lines) and not lines[j].strip():
            j += 1
        if j < len(lines) and lines[j].rstrip().endswith("Output:"):
            j += 1
            while j < len(lines) and not lines[j].strip():
                j += 1
            if j < len(lines) and lines[j].strip() == "```text":
                k = j + 1
                while k < len(lines) and lines[k].strip() != "```":
                    k += 1
                found.append((start, code, stdin, "".join(lines[j + 1:k])))
                i = k + 1
                continue
        i = end + 1
    return found


PROMPT = "/home/ada/work $ "


def transcripts(lines):
    """(line number, [(typed line, shown output)]) of each prompt transcript."""
    found = []
    i = 0
    while i < len(lines):
        if lines[i].strip() != "```text":
            i += 1
            continue
        k = i + 1
        while k < len(lines) and lines[k].strip() != "```":
            k += 1
        body = [line.rstrip("\n") for line in lines[i + 1:k]]
        indent = len(body[0]) - len(body[0].lstrip()) if body else 0
        body = [line[indent:] for line in body]
        if body and body[0].startswith(PROMPT) and not any(line.startswith("... ") for line in body):
            steps = []
            for line in body:
                if line.startswith(PROMPT):
                    steps.append([line[len(PROMPT):], ""])
                elif line.rstrip() == PROMPT.rstrip():
                    steps.append(["", ""])
                else:
                    steps[-1][1] += line + "\n"
            found.append((i + 1, [(typed, shown) for typed, shown in steps if typed]))
        i = k + 1
    return found


def as_shown(text):
    """What a terminal shows: a carriage return moves back to the start of
    the line, and what follows overwrites what was there."""
    shown = []
    for line in text.split("\n"):
        screen = ""
        for part in line.split("\r"):
            screen = part + screen[len(part):]
        shown.append(screen)
    return "\n".join(shown)


def run_transcript(vorn, lib, steps):
    with tempfile.TemporaryDirectory(prefix="vorn-guide-") as tmp:
        shutil.copytree(lib, os.path.join(tmp, "lib"))
        typed = "".join(step[0] + "\n" for step in steps)
        result = subprocess.run([vorn], cwd=tmp, input=typed.encode(), capture_output=True, timeout=60)
        out = result.stdout.decode("utf-8", "replace")
        prompt = os.path.realpath(tmp) + " $ "
    pieces = out.split(prompt)[1:]
    problems = []
    for n, (line, shown) in enumerate(steps):
        got = as_shown(pieces[n]) if n < len(pieces) else "(no prompt)"
        if got != shown:
            problems.append(f"  after {line!r}: expected {shown!r}, printed {got!r}")
    return problems


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    runner, vorn = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    guide, lib = sys.argv[3], os.path.abspath(sys.argv[4])
    with open(guide, encoding="utf-8") as f:
        lines = f.readlines()
    cases = examples(lines)
    if not cases or not transcripts(lines):
        print("guide examples: none found")
        return 1
    failures = 0
    for line, code, stdin, expected in cases:
        with tempfile.TemporaryDirectory(prefix="vorn-guide-") as tmp:
            shutil.copytree(lib, os.path.join(tmp, "lib"))
            with open(os.path.join(tmp, "example.vorn"), "w", encoding="utf-8") as f:
                f.write(code)
            result = subprocess.run([runner, "example.vorn"], cwd=tmp, input=stdin.encode(),
                                    capture_output=True, timeout=60)
            out = result.stdout.decode("utf-8", "replace").replace(os.path.realpath(tmp), "/home/ada/work")
        if out != expected or result.returncode != 0:
            failures += 1
            print(f"FAIL example at docs/guide.md line {line} (status {result.returncode})")
            print("  expected: " + repr(expected))
            print("  printed:  " + repr(out))
    sessions = transcripts(lines)
    for line, steps in sessions:
        problems = run_transcript(vorn, lib, steps)
        if problems:
            failures += 1
            print(f"FAIL transcript at docs/guide.md line {line}")
            print("\n".join(problems))
    total = len(cases) + len(sessions)
    print(f"guide examples: {total - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
