#!/usr/bin/env python3
"""Golden script tests: run every tests/scripts/**/*.vorn and compare output.

Each script runs in a fresh temporary folder (so file tests cannot disturb
each other or the tree). Siblings of NAME.vorn:
  NAME.out     the whole expected standard output, byte for byte
  NAME.status  the expected exit status when it is not 0
  NAME.in      standard input (otherwise the input is empty)
In expected output, {TMP} stands for the temporary folder's path.

A case library/NAME_what.vorn tests lib/NAME.VORN: it runs after that
script, as one text (the library's lines first, so a line number in the
output counts them too), since the case's folder has no lib folder to
load it from.

Usage: run_golden.py RUNNER SCRIPTS_DIR [SCRIPTS_DIR ...]
                     [--regen] [--filter TEXT] [--jobs N] [--platform windows]
                     [--retry-on TEXT]
RUNNER is a command that takes the script path (the test tool
vorn_run_script, or `wine vorn_run_script.exe`, given as one quoted string).

--platform windows runs a Windows build (under Wine); then
  - the script path is handed over in Wine's drive form (Z:\\...);
  - NAME.out.windows and NAME.status.windows, where present, take the place
    of NAME.out and NAME.status (for output that legitimately differs, such
    as the CRLF line ends that text-mode files get on Windows);
  - the temporary folder's Windows form (Z:\\tmp\\vorn-golden-...) is also
    replaced by {TMP}, and the backslashes of a path that continues it
    become "/", so {TMP}/sub expects the same folder on both platforms;
  - --regen writes NAME.out.windows / NAME.status.windows only where the
    result differs from the common files, and removes them where it does not;
  - a case with a NAME.skip.windows is not run there; the file says why (a
    case that tests a device of the Linux file system, say).
See tests/windows/README.md.

--retry-on TEXT runs a case once more when its standard error holds TEXT:
for a failure of the machinery that starts the program (Wine failing to
start a process), never of the program itself. Retries are counted in a
line "golden: N retried" before the summary.
"""
import concurrent.futures
import difflib
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

PLATFORMS = ("windows",)
LIBRARY = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "lib")


def library_of(script):
    """The lib/NAME.VORN that a case library/NAME_what.vorn runs after, or None."""
    if os.path.basename(os.path.dirname(os.path.abspath(script))) != "library":
        return None
    path = os.path.join(LIBRARY, os.path.basename(script).split("_")[0] + ".VORN")
    return path if os.path.isfile(path) else None


def case_source(script):
    """The text a case runs: the case, after its library when it has one."""
    library = library_of(script)
    with open(script, "rb") as f:
        case = f.read()
    if not library:
        return case
    with open(library, "rb") as f:
        return f.read() + case


class RunnableCase:
    """The path to hand the program: the case itself, or (for a case that
    runs after its library) a file holding both, in a folder of its own so
    that the folder the case runs in holds nothing it did not make."""

    def __init__(self, script):
        self.folder = None
        self.path = os.path.abspath(script)
        if library_of(script):
            self.folder = tempfile.mkdtemp(prefix="vorn-case-")
            self.path = os.path.join(self.folder, os.path.basename(script))
            with open(self.path, "wb") as f:
                f.write(case_source(script))

    def __enter__(self):
        return self.path

    def __exit__(self, *exc):
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)


def wine_path(path):
    """Wine maps the Unix root to drive Z: in every new prefix."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def normalise(out, tmp, platform):
    """Replaces the temporary folder's path in `out` with {TMP}."""
    real = os.path.realpath(tmp)
    out = out.replace(real.encode(), b"{TMP}")
    if platform == "windows":
        # Z:\tmp\vorn-golden-x\sub\f.txt -> {TMP}/sub/f.txt; the drive letter
        # may come back in either case, so match it without regard to case.
        pattern = re.escape(wine_path(real).encode()) + rb"((?:\\[^\s\\\"']*)*)"
        out = re.sub(
            pattern,
            lambda m: b"{TMP}" + m.group(1).replace(b"\\", b"/"),
            out,
            flags=re.IGNORECASE,
        )
    return out


def expected_files(base, platform):
    """The expected-output and expected-status files that apply."""
    out_path, status_path = base + ".out", base + ".status"
    if platform:
        if os.path.exists(f"{out_path}.{platform}"):
            out_path = f"{out_path}.{platform}"
        if os.path.exists(f"{status_path}.{platform}"):
            status_path = f"{status_path}.{platform}"
    return out_path, status_path


def read_expected(out_path, status_path):
    expected = open(out_path, "rb").read() if os.path.exists(out_path) else b""
    status = int(open(status_path).read().strip()) if os.path.exists(status_path) else 0
    return expected, status


def regenerate(base, platform, out, status):
    if platform:
        # Platform files only record where this platform differs.
        common = read_expected(base + ".out", base + ".status")
        out_path, status_path = f"{base}.out.{platform}", f"{base}.status.{platform}"
        for path, differs, text in (
            (out_path, out != common[0], out),
            (status_path, status != common[1], f"{status}\n".encode()),
        ):
            if differs:
                open(path, "wb").write(text)
            elif os.path.exists(path):
                os.remove(path)
        return
    open(base + ".out", "wb").write(out)
    if status != 0:
        open(base + ".status", "w").write(f"{status}\n")
    elif os.path.exists(base + ".status"):
        os.remove(base + ".status")


def run_once(runner, script, stdin, platform):
    """Runs the case once: (status, normalised output, stderr), or None on a time-out."""
    with RunnableCase(script) as path:
        return run_path(runner, path, stdin, platform)


def run_path(runner, path, stdin, platform):
    script_arg = wine_path(path) if platform == "windows" else path
    tmp = tempfile.mkdtemp(prefix="vorn-golden-")
    # Files, not pipes: a program that Wine starts beside the case (its
    # services, on the first run of a wineserver) inherits the handles and
    # would hold a pipe open long after the case has ended. An empty file
    # rather than /dev/null as input, which Windows would take for a console.
    with tempfile.TemporaryFile() as fin, tempfile.TemporaryFile() as fout, \
            tempfile.TemporaryFile() as ferr:
        fin.write(stdin)
        fin.seek(0)
        try:
            status = subprocess.run(
                runner + [script_arg], stdin=fin, stdout=fout, stderr=ferr, cwd=tmp, timeout=120
            ).returncode
        except subprocess.TimeoutExpired:
            return None
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        fout.seek(0)
        ferr.seek(0)
        return status, normalise(fout.read(), tmp, platform), ferr.read()


def run_case(runner, script, regen, platform, retry_on=None, retries=None):
    base = script[: -len(".vorn")]
    stdin_path = base + ".in"
    stdin = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""
    result = run_once(runner, script, stdin, platform)
    if result is not None and retry_on and retry_on.encode() in result[2]:
        retries.append(script)
        result = run_once(runner, script, stdin, platform)
    if result is None:
        return "timed out"
    status, out, err = result

    if regen:
        regenerate(base, platform, out, status)
        return None
    out_path, status_path = expected_files(base, platform)
    expected, expected_status = read_expected(out_path, status_path)
    problems = []
    if out != expected:
        diff = difflib.unified_diff(
            expected.decode("utf-8", "replace").splitlines(True),
            out.decode("utf-8", "replace").splitlines(True),
            os.path.basename(out_path),
            "actual",
        )
        problems.append("output differs:\n" + "".join(diff))
    if status != expected_status:
        problems.append(f"exit status {status}, expected {expected_status}")
        if err:
            problems.append("stderr:\n" + err.decode("utf-8", "replace"))
    return "\n".join(problems) if problems else None


def runner_command(runner):
    """The runner's words; a word naming an existing file by a relative path
    becomes absolute, since every case runs in its own temporary folder."""
    return [os.path.abspath(w) if not os.path.isabs(w) and os.path.isfile(w) else w
            for w in shlex.split(runner)]


def option_value(argv, name):
    if name not in argv:
        return None
    i = argv.index(name)
    if i + 1 >= len(argv):
        sys.exit(f"{name} needs a value")
    value = argv[i + 1]
    del argv[i : i + 2]
    return value


def main():
    argv = sys.argv[1:]
    filt = option_value(argv, "--filter")
    jobs = int(option_value(argv, "--jobs") or 1)
    platform = option_value(argv, "--platform")
    retry_on = option_value(argv, "--retry-on")
    if platform is not None and platform not in PLATFORMS:
        sys.exit(f"unknown platform {platform!r}; known: {', '.join(PLATFORMS)}")
    regen = "--regen" in argv
    args = [a for a in argv if not a.startswith("--")]
    if len(args) < 2:
        sys.exit(__doc__)
    runner, roots = runner_command(args[0]), args[1:]

    cases = []  # (script, name shown)
    for root in roots:
        found = sorted(
            os.path.join(d, f) for d, _, files in os.walk(root) for f in files if f.endswith(".vorn")
        )
        cases += [(s, os.path.relpath(s, root)) for s in found if not filt or filt in s]

    # Marks that skip cases: the platform, plus those VORN_TEST_SKIP names
    # (the sanitizer build sets "sanitize"); NAME.skip.<mark> says why.
    marks = ([platform] if platform else []) + os.environ.get("VORN_TEST_SKIP", "").split()
    skipped = []
    for script, name in cases:
        for mark in marks:
            reason_path = f"{script[: -len('.vorn')]}.skip.{mark}"
            if os.path.exists(reason_path):
                skipped.append(script)
                reason = open(reason_path, encoding="utf-8").read().strip()
                print(f"SKIP {name}: {reason}")
                break
    cases = [case for case in cases if case[0] not in skipped]
    if not cases:
        # A wrong folder or filter must not pass as an empty success.
        print("golden: found no cases to run")
        return 1

    failures = 0
    retries = []  # appended to from the worker threads; list.append is atomic
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, jobs)) as pool:
        results = pool.map(lambda case: run_case(runner, case[0], regen, platform, retry_on, retries), cases)
        for (_, name), problem in zip(cases, results):
            if problem:
                failures += 1
                print(f"FAIL {name}\n{problem}\n", flush=True)
    for script in retries:
        print(f"RETRIED {os.path.relpath(script)}: {retry_on}")
    if retry_on:
        print(f"golden: {len(retries)} retried")
    print(f"{len(cases) - failures}/{len(cases)} golden scripts passed")
    summary = f"golden: {len(cases) - failures} passed, {failures} failed"
    print(summary + (f", {len(skipped)} skipped" if skipped else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
