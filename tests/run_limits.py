#!/usr/bin/env python3
"""Deep recursion under tight resource limits, through both real programs.

Runaway recursion must end in "nesting too deep", or the program must say
at once that there is too little memory; it must never be killed by a
signal (SIGSEGV when the stack cannot grow as far as the depth checks
assumed). Each program runs under a range of address-space limits
(`ulimit -v`, from one that barely lets it start to a roomy one), each with
the usual stack limit and with a small one (`ulimit -s`).

Usage: run_limits.py VORN VORN_RUN
POSIX only; skipped under AddressSanitizer, which cannot run under a limit
on address space.
"""
import os
import resource
import subprocess
import sys
import tempfile

# From below the lowest limit the program loads under, every 20 KB: just
# above it the C++ runtime may have found no room for its reserve for
# errors, and a process that then ran out of memory could not raise the
# error and aborted.
ADDRESS_SPACE_KB = tuple(range(6600, 7600, 20)) + (8000, 9000, 10000, 11000, 12000, 13000, 16000, 32000)
# What the system's loader says when the program cannot even be loaded:
# nothing of the program has run, so such a run says nothing about it.
NOT_LOADED = (b"error while loading shared libraries", b"Fatal glibc error",
              b"cannot allocate TLS data structures for initial thread")
STACK_KB = (None, 256)
SCRIPT = b"f = { $f }\n$f\n$print$(\"still here\")\n"
# What the programs may say: the depth check, or memory running out.
ACCEPTED = (b"nesting too deep", b"out of memory")


def limited(address_kb, stack_kb):
    def setup():
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        if stack_kb is not None:
            resource.setrlimit(resource.RLIMIT_STACK, (stack_kb << 10, stack_kb << 10))
        resource.setrlimit(resource.RLIMIT_AS, (address_kb << 10, address_kb << 10))
    return setup


def run(command, folder, stdin, address_kb, stack_kb):
    """Problems with one run, or None."""
    result = subprocess.run(command, cwd=folder, input=stdin, capture_output=True, timeout=120,
                            preexec_fn=limited(address_kb, stack_kb))
    where = f"{os.path.basename(command[0])} under ulimit -v {address_kb}" + (
        f" -s {stack_kb}" if stack_kb else "")
    if any(text in result.stderr for text in NOT_LOADED):
        return "not loaded"
    if result.returncode < 0:
        return f"{where}: killed by signal {-result.returncode}; output ends {result.stdout[-200:]!r}"
    if result.returncode not in (0, 1):
        return f"{where}: exit status {result.returncode}; output ends {result.stdout[-200:]!r}"
    if not any(text in result.stdout for text in ACCEPTED):
        return f"{where}: neither of {ACCEPTED}; output ends {result.stdout[-300:]!r}"
    return None


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    if "sanitize" in os.environ.get("VORN_TEST_SKIP", "").split():
        print("limits: skipped (AddressSanitizer cannot run under a limit on address space)")
        return 0
    vorn, vorn_run = (os.path.abspath(p) for p in sys.argv[1:])
    problems = []
    runs = 0
    unloaded = 0
    with tempfile.TemporaryDirectory(prefix="vorn-limits-") as folder:
        os.mkdir(os.path.join(folder, "lib"))
        with open(os.path.join(folder, "deep.vorn"), "wb") as f:
            f.write(SCRIPT)
        for address_kb in ADDRESS_SPACE_KB:
            for stack_kb in STACK_KB:
                for command, stdin in (([vorn], SCRIPT), ([vorn_run, "deep.vorn"], b"")):
                    runs += 1
                    problem = run(command, folder, stdin, address_kb, stack_kb)
                    if problem == "not loaded":
                        unloaded += 1
                    elif problem:
                        problems.append(problem)
    for problem in problems:
        print("FAIL " + problem)
    passed = runs - unloaded - len(problems)
    print(f"limits: {passed} passed, {len(problems)} failed, {unloaded} not loaded by the system")
    return 1 if problems or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
