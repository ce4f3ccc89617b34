#!/usr/bin/env python3
"""Start-up tests: whole sessions of the real program, fed through its input.

Each case is a folder CASES_DIR/<case>/ holding:
  setup/           files and folders copied into a fresh temporary folder,
                   which becomes the program's current directory (optional).
                   A file named .keep is not copied; only its folder is made,
                   so that a case can start with an empty folder (git keeps
                   no empty folders).
  stdin            the bytes fed to standard input (optional: empty input)
  sparse           lines "NAME SIZE": files of SIZE bytes made in the temporary
                   folder without writing them, for files too big to keep
                   (optional)
  expected         the whole console output, byte for byte; {CWD} stands for
                   the temporary folder's real path, {N} for any decimal
                   number (figures that depend on the native stack's frame
                   sizes, such as how deep a recursion got)
  status           the expected exit status (optional: 0)
  limits           lines "fsize BYTES": the largest file the program may write,
                   as `ulimit -f` sets it; "as BYTES": its address space, as
                   `ulimit -v` sets it (optional; POSIX only)
  unreadable       lines naming paths in the temporary folder that the program
                   must not be able to read (mode 000). Run as root, the
                   program then runs as user nobody; without that user the
                   case is skipped (optional; POSIX only)
  modes            lines "PATH MODE": octal permission bits given to paths in
                   the temporary folder ("." is the folder itself), run as
                   for unreadable (optional; POSIX only)
  links            lines "NAME TARGET": symbolic links made in the temporary
                   folder (optional; POSIX only)
  expected-files/  files that must exist afterwards in the temporary folder
                   with exactly these bytes (optional); a .keep file here only
                   requires its folder to exist
The program gets no arguments.

Usage: run_startup.py PROGRAM CASES_DIR [--filter TEXT] [--jobs N]
                      [--platform windows] [--regen]
PROGRAM is one string split like a shell command line, so a prefix may go
with it ("wine build-windows/vorn.exe").

--platform windows runs a Windows build under Wine: the temporary folder's
Wine form (Z:\\tmp\\vorn-startup-...) is replaced by {CWD} as well, with the
backslashes of a path that continues it turned into "/"; expected.windows,
status.windows and expected-files.windows/, where present, take the place of
expected, status and expected-files/; a case holding skip.windows is not run
there (the file says why).

--regen rewrites `expected` and `status` from the actual run (with
--platform, the platform files, only where they differ). Use it only for a
case whose output was first worked out by hand, to pick up a confirmed
change; expected-files/ is never written.
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
PLACEHOLDER = ".keep"
TIMEOUT_SECONDS = 60


def wine_path(path):
    """Wine maps the Unix root to drive Z: in every new prefix."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def normalise(out, tmp, platform):
    """Replaces the temporary folder's path in `out` with {CWD}."""
    real = os.path.realpath(tmp)
    out = out.replace(real.encode(), b"{CWD}")
    if platform == "windows":
        pattern = re.escape(wine_path(real).encode()) + rb"((?:\\[^\s\\\"']*)*)"
        out = re.sub(
            pattern,
            lambda m: b"{CWD}" + m.group(1).replace(b"\\", b"/"),
            out,
            flags=re.IGNORECASE,
        )
    return out


def platform_variant(path, platform):
    """path.<platform> when it exists and a platform is given, else path."""
    if platform and os.path.exists(f"{path}.{platform}"):
        return f"{path}.{platform}"
    return path


def copy_setup(setup, target):
    for folder, _, files in os.walk(setup):
        dest = os.path.join(target, os.path.relpath(folder, setup))
        os.makedirs(dest, exist_ok=True)
        for name in files:
            if name != PLACEHOLDER:
                shutil.copyfile(os.path.join(folder, name), os.path.join(dest, name))


def make_sparse_files(listing, target):
    if not os.path.exists(listing):
        return
    for line in open(listing, encoding="utf-8").read().splitlines():
        if line.strip():
            name, size = line.split()
            path = os.path.join(target, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.truncate(int(size))


def matches(expected, out):
    """Whether out is expected, each {N} in it standing for a number."""
    if b"{N}" not in expected:
        return out == expected
    pattern = b"[0-9]+".join(re.escape(part) for part in expected.split(b"{N}"))
    return re.fullmatch(pattern, out, flags=re.DOTALL) is not None


def check_files(expected_dir, tmp):
    """Problems with the files that the case expects afterwards."""
    problems = []
    for folder, _, files in os.walk(expected_dir):
        rel_folder = os.path.relpath(folder, expected_dir)
        for name in sorted(files):
            if name == PLACEHOLDER:
                if not os.path.isdir(os.path.join(tmp, rel_folder)):
                    problems.append(f"folder {rel_folder} is missing")
                continue
            rel = os.path.normpath(os.path.join(rel_folder, name))
            actual_path = os.path.join(tmp, rel)
            want = open(os.path.join(folder, name), "rb").read()
            if not os.path.isfile(actual_path):
                problems.append(f"file {rel} is missing")
                continue
            got = open(actual_path, "rb").read()
            if got != want:
                problems.append(f"file {rel} holds {got!r}, expected {want!r}")
    return problems


def visible(data):
    """Text for a diff: control characters other than the newline shown escaped."""
    text = data.decode("utf-8", "backslashreplace")
    return "".join(
        c if c == "\n" or c >= " " else "\\x%02x" % ord(c) for c in text
    ).splitlines(True)


def read_status(path):
    return int(open(path).read().strip()) if os.path.exists(path) else 0


def regenerate(case, platform, out, status):
    if platform:
        common_out = open(os.path.join(case, "expected"), "rb").read()
        common_status = read_status(os.path.join(case, "status"))
        for path, differs, data in (
            (os.path.join(case, f"expected.{platform}"), out != common_out, out),
            (os.path.join(case, f"status.{platform}"), status != common_status,
             f"{status}\n".encode()),
        ):
            if differs:
                open(path, "wb").write(data)
            elif os.path.exists(path):
                os.remove(path)
        return
    open(os.path.join(case, "expected"), "wb").write(out)
    status_path = os.path.join(case, "status")
    if status != 0:
        open(status_path, "w").write(f"{status}\n")
    elif os.path.exists(status_path):
        os.remove(status_path)


def read_limits(path):
    """The resource limits a case sets: {"fsize": bytes}."""
    limits = {}
    if os.path.exists(path):
        for line in open(path, encoding="utf-8").read().splitlines():
            if line.strip():
                name, value = line.split()
                limits[name] = int(value)
    return limits


def unprivileged_user():
    """(uid, gid) of user nobody, or None where there is no such user."""
    try:
        import pwd
        entry = pwd.getpwnam("nobody")
        return entry.pw_uid, entry.pw_gid
    except (ImportError, KeyError):
        return None


def restricted_paths(case):
    """(path, mode) for each path whose permission bits a case sets."""
    paths = []
    listing = os.path.join(case, "unreadable")
    if os.path.exists(listing):
        paths += [(n, 0) for n in open(listing, encoding="utf-8").read().splitlines() if n.strip()]
    listing = os.path.join(case, "modes")
    if os.path.exists(listing):
        for line in open(listing, encoding="utf-8").read().splitlines():
            if line.strip():
                name, mode = line.split()
                paths.append((name, int(mode, 8)))
    return paths


def make_links(listing, target):
    if os.path.exists(listing):
        for line in open(listing, encoding="utf-8").read().splitlines():
            if line.strip():
                name, link_target = line.split()
                os.symlink(link_target, os.path.join(target, name))


def make_unreadable(paths, tmp):
    """Gives the paths their modes. Returns the user the program must run
    as (None: the current one), or a reason to skip the case."""
    user = None
    if hasattr(os, "geteuid") and os.geteuid() == 0:
        # Root reads every file whatever its mode.
        user = unprivileged_user()
        if user is None:
            return None, "no user nobody to run as"
        for folder, dirs, files in os.walk(tmp):
            for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                os.lchown(name, *user)
    # Deepest first, so that a folder closed to the program is closed last.
    for name, mode in sorted(paths, key=lambda p: -len(os.path.normpath(p[0]))):
        os.chmod(os.path.join(tmp, name), mode)
    return user, None


def open_to_others(path):
    """Whether a user who is neither owner nor in the group can start the
    program: every folder above it searchable and the file executable by
    others (a clone under /root, mode 700, is not)."""
    path = os.path.abspath(path)
    if not os.stat(path).st_mode & 0o001:
        return False
    folder = os.path.dirname(path)
    while True:
        if not os.stat(folder).st_mode & 0o001:
            return False
        parent = os.path.dirname(folder)
        if parent == folder:
            return True
        folder = parent


def child_setup(limits, user):
    """What the program's process does before it starts."""
    if not limits and user is None:
        return None

    def setup():
        import resource
        if "fsize" in limits:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limits["fsize"], limits["fsize"]))
        if "as" in limits:
            resource.setrlimit(resource.RLIMIT_AS, (limits["as"], limits["as"]))
        if user is not None:
            os.setgroups([])
            os.setgid(user[1])
            os.setuid(user[0])
    return setup


def run_case(program, case, regen, platform):
    stdin_path = os.path.join(case, "stdin")
    stdin = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""
    tmp = tempfile.mkdtemp(prefix="vorn-startup-")
    try:
        setup = os.path.join(case, "setup")
        if os.path.isdir(setup):
            copy_setup(setup, tmp)
        make_sparse_files(os.path.join(case, "sparse"), tmp)
        make_links(os.path.join(case, "links"), tmp)
        limits = read_limits(os.path.join(case, "limits"))
        user = None
        restricted = restricted_paths(case)
        if restricted:
            user, skip = make_unreadable(restricted, tmp)
            if user is not None and not open_to_others(program[0]):
                skip = f"{program[0]} is in a folder closed to other users, so user nobody cannot start it"
            if skip:
                return f"SKIP {skip}"
        try:
            proc = subprocess.run(
                program, input=stdin, cwd=tmp, capture_output=True, timeout=TIMEOUT_SECONDS,
                preexec_fn=child_setup(limits, user)
            )
        except subprocess.TimeoutExpired:
            return f"timed out after {TIMEOUT_SECONDS} s"
        out = normalise(proc.stdout, tmp, platform)
        status = proc.returncode
        if regen:
            regenerate(case, platform, out, status)
            return None

        problems = []
        expected_path = platform_variant(os.path.join(case, "expected"), platform)
        expected = open(expected_path, "rb").read()
        if not matches(expected, out):
            diff = difflib.unified_diff(
                visible(expected), visible(out), os.path.basename(expected_path), "actual"
            )
            problems.append("output differs:\n" + "".join(diff))
        expected_status = read_status(platform_variant(os.path.join(case, "status"), platform))
        if status != expected_status:
            problems.append(f"exit status {status}, expected {expected_status}")
        if proc.stderr:
            problems.append("stderr:\n" + proc.stderr.decode("utf-8", "replace"))
        files = platform_variant(os.path.join(case, "expected-files"), platform)
        if os.path.isdir(files):
            problems += check_files(files, tmp)
        return "\n".join(problems) if problems else None
    finally:
        for name, _ in restricted_paths(case):
            path = os.path.join(tmp, name)
            if os.path.lexists(path) and not os.path.islink(path):
                os.chmod(path, 0o700)
        shutil.rmtree(tmp, ignore_errors=True)


def program_command(program):
    """The program's words; a word naming an existing file by a relative path
    becomes absolute, since every case runs in its own temporary folder."""
    return [os.path.abspath(w) if not os.path.isabs(w) and os.path.isfile(w) else w
            for w in shlex.split(program)]


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
    if platform is not None and platform not in PLATFORMS:
        sys.exit(f"unknown platform {platform!r}; known: {', '.join(PLATFORMS)}")
    regen = "--regen" in argv
    args = [a for a in argv if not a.startswith("--")]
    if len(args) != 2:
        sys.exit(__doc__)
    program, root = program_command(args[0]), args[1]

    cases = sorted(
        os.path.join(root, d)
        for d in os.listdir(root)
        if os.path.isfile(os.path.join(root, d, "expected")) and (not filt or filt in d)
    )
    # Marks that skip cases: the platform, plus those VORN_TEST_SKIP names
    # (the sanitizer build sets "sanitize"); skip.<mark> says why.
    marks = ([platform] if platform else []) + os.environ.get("VORN_TEST_SKIP", "").split()
    skipped = []
    for case in cases:
        for mark in marks:
            reason_path = os.path.join(case, f"skip.{mark}")
            if os.path.exists(reason_path):
                skipped.append(case)
                reason = open(reason_path, encoding="utf-8").read().strip()
                print(f"SKIP {os.path.basename(case)}: {reason}")
                break
    cases = [c for c in cases if c not in skipped]
    if not cases:
        print("no start-up cases found")
        return 1

    failures = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, jobs)) as pool:
        results = pool.map(lambda c: run_case(program, c, regen, platform), cases)
        for case, problem in zip(cases, results):
            if problem and problem.startswith("SKIP "):
                skipped.append(case)
                print(f"SKIP {os.path.basename(case)}: {problem[5:]}", flush=True)
            elif problem:
                failures += 1
                print(f"FAIL {os.path.basename(case)}\n{problem}\n", flush=True)
    ran = len(cases) - len([c for c in skipped if c in cases])
    summary = f"startup: {ran - failures} passed, {failures} failed"
    print(summary + (f", {len(skipped)} skipped" if skipped else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
