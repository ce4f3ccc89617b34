#!/usr/bin/env python3
"""Peak memory of the real program on long input lines and large scripts.

The split-once form of a text must take memory in proportion to the text:
nested groups share the line's bytes instead of copying their inside at every
level, runs of empty tokens and of blank lines cost next to nothing, and
tokens repeated along a text share one record. Each case types one long line
at the prompt of a fresh session (a temporary folder with an empty lib/), or
runs a large script as the session's autorun, and reads the session's peak
resident set from the kernel. A case passes when the peak stays within
EXPANSION times its longest line (or its whole script) above the peak of an
idle session, plus a fixed allowance: FLAT_ALLOWANCE_KB for every case, and
for the nested ones PER_LEVEL_KB per level, since while it evaluates 39,000
nested groups the interpreter's own stack holds one frame per level (about
0.6 KB each, bounded by the nesting limit of 40,000 levels) next to the
records of the levels (about 0.3 KB each).

With --checker, the checker (vorn-run --check) is held to the same
EXPANSION on scripts of 2 MB: blanks, empty lines, a run of "$", a long row at
the bottom of 300 nested groups and many statements at the bottom of 150
nested function bodies, measured against the peak of checking a one-line
script. Both of its walks (the first one and the trap walk) read every case
whole.

Usage: run_memory.py PROGRAM [--checker VORN_RUN] [--figures]
--figures prints peak memory and CPU time of every case (and of a normal
script) instead of judging them.

Sanitizer builds are skipped (VORN_TEST_SKIP=sanitize): their shadow memory
says nothing about the program's own.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

EXPANSION = 8
FLAT_ALLOWANCE_KB = 8 * 1024
PER_LEVEL_KB = 1.1
TIMEOUT_SECONDS = 120

NESTING = 39000
BLANKS = 10 * 1024 * 1024


def nested_line():
    """39,000 nested groups around one number: a 78 KB line."""
    return "x = " + "(" * NESTING + "7" + ")" * NESTING + "\n$print$(x)\n"


def blank_line():
    """10 MB of blanks inside one pair of parentheses, then a name."""
    return "y = 5\nx = (" + " " * BLANKS + ")\n$print$(y)\n"


def blank_argument_line():
    """10 MB of blanks as one call's argument group."""
    return "$print$(" + " " * BLANKS + ")\n$print$(\"after\")\n"


def nested_list_line():
    """A list text of 39,000 nested lists, read back by decodelist."""
    return "x = $decodelist$(\"" + "(" * NESTING + ")" * NESTING + "\")\n$print$(\"read\")\n"


def blank_sharing_line():
    """10 MB of blanks as one call's sharing group."""
    return "$print$(\"shared\")$L(" + " " * BLANKS + ")\n"


def dense_line():
    """A long flat row of small tokens: 1 + 1 + ... (2 bytes of line per token)."""
    return "x = (1" + " + 1" * (1024 * 1024) + ")\n$print$(x)\n"


def assignment_script():
    """A script of 2 MB of short statements, run by autorun."""
    return "x = 1\n" * (2 * 1024 * 1024 // 6)


def newline_script():
    """A script of 2 MB of empty lines, run by autorun."""
    return "\n" * (2 * 1024 * 1024)


# Scripts for the checker (vorn-run --check), which reads a script without
# running it: 2 MB each of the shapes that cost it most per byte.
CHECKED_BYTES = 2 * 1024 * 1024
CHECKED = [
    # name, script
    ("blanks", " " * CHECKED_BYTES + "\n"),
    ("blanks in a group", "x = (" + " " * CHECKED_BYTES + ")\n"),
    ("empty lines", "\n" * CHECKED_BYTES),
    ("a run of $", "$" * CHECKED_BYTES + "\n"),
    ("a deep group", "x = " + "(" * 300 + "1 + " * (CHECKED_BYTES // 4) + "1" + ")" * 300 + "\n"),
    # Every level is a block of its own, prepared on its own.
    ("nested bodies", "f = {\n" * 150 + "x = 1\n" * (CHECKED_BYTES // 6) + "}\n" * 150),
]


def check_peak_kb(checker, script):
    """Runs `checker --check` on script; gives (status, peak KB). The peak is
    read from /proc while the checker, done with the script and with a
    marker file whose finding shows it is, waits on its standard input (a
    third file to check): the peak that the kernel reports for a child at
    its end starts from its parent's, this script's."""
    tmp = tempfile.mkdtemp(prefix="vorn-memory-")
    try:
        path = os.path.join(tmp, "checked.vorn")
        with open(path, "w") as f:
            f.write(script)
        with open(os.path.join(tmp, "marker.vorn"), "w") as f:
            f.write("x = a + b\n")
        proc = subprocess.Popen([checker, "--check", path, "marker.vorn", "-"], cwd=tmp, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        output = b""
        peak = 0
        deadline = time.monotonic() + TIMEOUT_SECONDS
        os.set_blocking(proc.stdout.fileno(), False)
        while time.monotonic() < deadline and proc.poll() is None:
            output += proc.stdout.read() or b""
            if b"marker.vorn:1:" in output:
                peak = peak_kb(proc.pid)
                break
            time.sleep(0.02)
        proc.stdin.close()
        try:
            status = proc.wait(max(1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            status = proc.wait()
        proc.stdout.close()
        # 1: the marker's finding; a crash or a timeout gives no peak.
        return status, peak if status == 1 else 0
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def peak_kb(pid):
    """The process's own peak resident set (VmHWM) so far, in KB."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def run_session(program, stdin_text, done=None, autorun=None):
    """Runs one session fed stdin_text; gives (output, status, peak KB, CPU s).

    The peak is read from /proc while the session still waits for more
    input, once its output holds `done` followed by a fresh prompt (or at
    its end when done is None): the peak resident set that the kernel
    reports for a child at its end starts from its parent's, this script's.
    """
    tmp = tempfile.mkdtemp(prefix="vorn-memory-")
    try:
        os.mkdir(os.path.join(tmp, "lib"))
        if autorun is not None:
            with open(os.path.join(tmp, "autorun.VORN"), "w") as f:
                f.write(autorun)
        out_path = os.path.join(tmp, "out.txt")
        peak = 0
        with open(out_path, "wb") as fout:
            proc = subprocess.Popen([program], cwd=tmp, stdin=subprocess.PIPE, stdout=fout,
                                    stderr=subprocess.STDOUT)
            writer = threading.Thread(target=feed, args=(proc.stdin, stdin_text.encode(), done is None))
            writer.start()
            deadline = time.monotonic() + TIMEOUT_SECONDS
            while done is not None and time.monotonic() < deadline:
                with open(out_path, "rb") as f:
                    output = f.read().decode("utf-8", "replace")
                at = output.find(done)
                if at >= 0 and output.endswith(" $ "):
                    peak = peak_kb(proc.pid)
                    break
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            writer.join()
            if done is not None:
                proc.stdin.close()
            while True:
                pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
                if pid != 0:
                    break
                if time.monotonic() > deadline:
                    proc.kill()
                    pid, status, usage = os.wait4(proc.pid, 0)
                    break
                time.sleep(0.02)
            proc.returncode = os.waitstatus_to_exitcode(status)
        with open(out_path, "rb") as f:
            output = f.read().decode("utf-8", "replace")
        return output, proc.returncode, peak, usage.ru_utime + usage.ru_stime
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def feed(pipe, data, close):
    """Writes data to the session's input; closes it when asked."""
    try:
        pipe.write(data)
        pipe.flush()
        if close:
            pipe.close()
    except BrokenPipeError:
        pass


IDLE = "$print$(\"idle\")\n"
IDLE_DONE = "$ idle\n"

CASES = [
    # name, line maker, what the output must contain afterwards, nesting levels
    ("nested", nested_line, "$ 7\n", NESTING),
    ("blanks", blank_line, "$ 5\n", 0),
    ("blank arguments", blank_argument_line, "$ after\n", 0),
    ("nested list text", nested_list_line, "$ read\n", NESTING),
    ("blank sharing", blank_sharing_line, "$ shared\n", 0),
    ("dense row", dense_line, "$ 1048577\n", 0),
]

SCRIPTS = [
    # name, script maker: run as autorun.VORN, whole
    ("x = 1 script", assignment_script),
    ("newline script", newline_script),
]


def figures(program, checker):
    _, _, idle, idle_cpu = run_session(program, IDLE, done=IDLE_DONE)
    print(f"{'case':<18} {'line bytes':>11} {'peak MB':>9} {'CPU s':>7}")
    print(f"{'idle session':<18} {0:>11} {idle / 1024:>9.1f} {idle_cpu:>7.2f}")
    for name, make, done, _ in CASES:
        text = make()
        _, status, peak, cpu = run_session(program, text, done=done)
        print(f"{name:<18} {len(max(text.split(chr(10)), key=len)):>11} {peak / 1024:>9.1f} {cpu:>7.2f}  status {status}")
    for name, make in SCRIPTS:
        script = make()
        _, status, peak, cpu = run_session(program, IDLE, done=IDLE_DONE, autorun=script)
        print(f"{name:<18} {len(script):>11} {peak / 1024:>9.1f} {cpu:>7.2f}  status {status}")
    here = os.path.dirname(os.path.abspath(__file__))
    fib = os.path.join(os.path.dirname(here), "bench", "programs", "fib.vorn")
    with open(fib) as f:
        script = f.read().replace("@N@", "24")
    _, status, peak, cpu = run_session(program, IDLE, done=IDLE_DONE, autorun=script)
    print(f"{'fib(24) script':<18} {len(script):>11} {peak / 1024:>9.1f} {cpu:>7.2f}  status {status}")
    if checker:
        for name, script in [("x = 1", "x = 1\n")] + CHECKED:
            started = time.monotonic()
            status, peak = check_peak_kb(checker, script)
            print(f"{'check ' + name:<18} {len(script):>11} {peak / 1024:>9.1f} "
                  f"{time.monotonic() - started:>7.2f}  status {status} (wall time)")


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    checker = None
    if "--checker" in sys.argv[2:-1]:
        checker = os.path.abspath(sys.argv[sys.argv.index("--checker") + 1])
    if "--figures" in sys.argv[2:]:
        figures(program, checker)
        return 0
    if "sanitize" in os.environ.get("VORN_TEST_SKIP", "").split(","):
        print("skipped: sanitizer builds reserve shadow memory")
        return 0
    _, _, idle, _ = run_session(program, IDLE, done=IDLE_DONE)
    failures = 0
    runs = [(name, make(), expected, levels, False) for name, make, expected, levels in CASES]
    runs += [(name, make(), IDLE_DONE, 0, True) for name, make in SCRIPTS]
    for name, text, expected, levels, script in runs:
        if script:
            size = len(text)
            output, status, peak, _ = run_session(program, IDLE, done=expected, autorun=text)
        else:
            size = max(len(line) for line in text.split("\n"))
            output, status, peak, _ = run_session(program, text, done=expected)
        limit = idle + EXPANSION * size // 1024 + FLAT_ALLOWANCE_KB + int(PER_LEVEL_KB * levels)
        ok = status == 0 and expected in output and peak <= limit
        print(f"{'ok' if ok else 'FAIL'}: {name}: {'script' if script else 'line'} of {size} bytes, peak {peak} KB "
              f"(idle {idle} KB, limit {limit} KB), status {status}")
        if expected not in output:
            print(f"    output lacks {expected!r}; its end: {output[-300:]!r}")
        failures += not ok
    if checker:
        _, idle = check_peak_kb(checker, "x = 1\n")
        for name, script in CHECKED:
            status, peak = check_peak_kb(checker, script)
            limit = idle + EXPANSION * len(script) // 1024 + FLAT_ALLOWANCE_KB
            ok = status == 1 and 0 < peak <= limit
            print(f"{'ok' if ok else 'FAIL'}: checking {name}: script of {len(script)} bytes, peak {peak} KB "
                  f"(idle {idle} KB, limit {limit} KB), status {status}")
            failures += not ok
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
