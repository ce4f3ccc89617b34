#!/usr/bin/env python3
"""Tests of the vorn-run program: command line, exit status, the tables the
scripts see, standard input and several files in one session.

Each case runs vorn-run in a fresh temporary folder holding the case's files,
with the case's arguments and standard input, and compares standard output
and the exit status exactly; standard error has to contain a given text, or be
exactly that text when it ends with a line end.

Usage: run_vorn_run.py VORN_RUN [--filter TEXT]
"""
import os
import shlex
import subprocess
import sys
import tempfile

# name: (files, arguments, stdin, expected stdout, expected status, text in stderr)
CASES = {
    "two_files_share_one_session": (
        {"a.vorn": 'x = 40\nf = {\n    end (arg0 + 2)\n}\n',
         "b.vorn": '$print$($f$(x))\n'},
        "a.vorn b.vorn", "", "42\n", 0, ""),
    "boot_functions_are_defined": (
        {"r.vorn": '$print$($encodelist$($range$(3)))\n$print$($varexists$("range"))\n'
                   '$print$($varexists$("nothing"))\n$print$($typeof$(savelib))\n'},
        "r.vorn", "", '(0 1 2)\n1\n0\nfunc\n', 0, ""),
    "no_banner_snapshot_or_autorun": (
        {"s.vorn": '$print$("only this")\n', "autorun.VORN": '$print$("autorun ran")\n',
         "lib/x.VORN": '$print$("x")\n'},
        "s.vorn", "", "only this\n", 0, ""),
    "also_inside_a_script_prints_progress": (
        {"main.vorn": 'also "part"\n$print$(y)\n', "part.VORN": 'y = 7\n'},
        "main.vorn", "", "reading file...\nline 0\r\nOK.\n7\n", 0, ""),
    "quiet_silences_also_progress": (
        {"main.vorn": 'also "part"\n$print$(y)\n', "part.VORN": 'y = 7\n'},
        "-q main.vorn", "", "7\n", 0, ""),
    "first_error_ends_the_run_with_status_1": (
        {"a.vorn": '$print$("before")\nz = (1 + nosuch)\n$print$("not reached")\n',
         "b.vorn": '$print$("next file not run")\n'},
        "a.vorn b.vorn", "", "before\nerror: stoi: unknown name nosuch (in a.vorn, line 2)\n", 1, ""),
    "error_after_output_without_line_end_starts_a_new_line": (
        {"a.vorn": '$print$("half" "nah")\n$nosuch$(x)\n'},
        "a.vorn", "", "half\nerror: stoi: unknown name nosuch (in a.vorn, line 2)\n", 1, ""),
    "unbalanced_text_exits_51": (
        {"a.vorn": '$print$("ran")\n', "b.vorn": 'f = {\n'},
        "a.vorn b.vorn", "", "ran\nparser error, markers over 1, grammatically not valid.1/0/0/0/0/", 51,
        "vorn-run: unbalanced text: a brace is never closed (in b.vorn, line 1)\n"),
    "unbalanced_body_in_an_also_file_is_51_and_its_place_goes_to_standard_error": (
        {"m.vorn": '$print$("m")\nalso "lib"\n$print$("not reached")\n',
         "lib.VORN": 'f = {\n    x = 1\n    y = ("a\n}\n$f\n'},
        "-q m.vorn", "", 'm\nparser error, markers over 1, grammatically not valid.0/1/0/0/0/', 51,
        "vorn-run: unbalanced text: a parenthesis is never closed (in lib.VORN, line 3; $f called at line 5; "
        "also at m.vorn, line 2)\n"),
    "unbalanced_exec_text_names_the_exec": (
        {"e.vorn": 'x = 1\n\nexec "y = {"\n'},
        "e.vorn", "", 'parser error, markers over 1, grammatically not valid.1/0/0/0/0/', 51,
        "vorn-run: unbalanced text: a brace is never closed (in exec text; exec at e.vorn, line 3)\n"),
    "end_ends_only_its_file": (
        {"a.vorn": '$print$(1)\nend 5\n$print$(2)\n', "b.vorn": '$print$(3)\n'},
        "a.vorn b.vorn", "", "1\n3\n", 0, ""),
    "dash_reads_the_script_from_standard_input": (
        {"after.vorn": '$print$((v * 2))\n'},
        "- after.vorn", 'v = 21\r\n$print$("from stdin")\n', "from stdin\n42\n", 0, ""),
    "script_input_reads_the_rest_of_standard_input": (
        {"ask.vorn": 'a = $input\nb = $input\nc = $input\n$print$((a + "/" + b + "/" + c + "."))\n'},
        "ask.vorn", "one\ntwo\n", "one/two/.\n", 0, ""),
    "crlf_script_reads_like_also": (
        {"crlf.vorn": 's = "a"\r\n$print$((s + "b"))\r\n'},
        "crlf.vorn", "", "ab\n", 0, ""),
    "error_in_a_later_file_names_it_and_its_line": (
        {"a.vorn": 'f = {\n    end (arg0 + oops)\n}\n', "b.vorn": '$print$(1)\r\n\r\ncompare (1) {\r\n    $f$(2)\r\n}\r\n'},
        "a.vorn b.vorn", "", "1\nerror: stoi: unknown name oops (in a.vorn, line 2; $f called at b.vorn, line 4)\n", 1, ""),
    "error_in_standard_input_names_it": (
        {}, "-", '$print$(1)\n\nx = (1  + 2)\n', "1\nerror: stoi: operator + in operand position (in <stdin>, line 3)\n", 1, ""),
    "error_in_also_file_names_the_innermost_file": (
        {"m.vorn": '\nalso "part"\n', "part.VORN": '$print$(2)\nx = ("a" < 1)\n'},
        "-q m.vorn", "", "2\nerror: stold: a (in part.VORN, line 2; also at m.vorn, line 2)\n", 1, ""),
    "empty_token_detail": (
        {"e.vorn": 'x = ( 1 + 2)\n'},
        "e.vorn", "", "error: stoi: empty token (two blanks in a row, a blank at an end, or empty parentheses) (in e.vorn, line 1)\n", 1, ""),
    "first_line_with_hash_bang_is_skipped_and_lines_keep_their_numbers": (
        {"s.vorn": '#!/usr/bin/env vorn-run\n$print$(1)\nx = (1 + nosuch)\n'},
        "s.vorn", "", "1\nerror: stoi: unknown name nosuch (in s.vorn, line 3)\n", 1, ""),
    "hash_bang_from_standard_input_and_only_on_the_first_line": (
        {}, "-", '#!/usr/bin/env vorn-run\r\n$print$(2)\n#!x = (1 + nosuch)\n',
        "2\nerror: stoi: unknown name nosuch (in <stdin>, line 3)\n", 1, ""),
    "help": ({}, "--help", "", None, 0, ""),
    "version": ({}, "--version", "", "vorn-run (VORN V3)\n", 0, ""),
    "unknown_option_is_status_2": ({"a.vorn": '$print$(1)\n'}, "-x a.vorn", "", "", 2, "unknown option -x"),
    "no_script_is_status_2": ({}, "", "", "", 2, "no script to run"),
    "missing_file_is_status_2_and_nothing_runs": (
        {"a.vorn": '$print$("must not run")\n'}, "a.vorn missing.vorn", "", "", 2,
        "cannot run missing.vorn: no such file"),
    "folder_is_status_2": ({"sub/x": ""}, "sub", "", "", 2, "cannot run sub: is a folder"),
    # The checker reads its files as scripts are read: the same refusals, the
    # same first line, and the files after a refused one are still checked.
    "check_of_folder_is_status_2_and_the_rest_is_checked": (
        {"sub/x": "", "a.vorn": '#!/usr/bin/env vorn-run\nx = a + b\n'}, "--check sub a.vorn", "",
        'a.vorn:2: warning: only "a" is assigned, "+" and what follows are ignored; write x = (a + b) [V001]\n', 2,
        "cannot check sub: is a folder"),
    "check_of_standard_input_skips_its_hash_bang_line": (
        {}, "--check -", '#!/usr/bin/env vorn-run\r\nx = a + b\n',
        '<stdin>:2: warning: only "a" is assigned, "+" and what follows are ignored; write x = (a + b) [V001]\n', 1, ""),
    "double_dash_ends_options": ({"-q": '$print$("named -q")\n'}, "-- -q", "", "named -q\n", 0, ""),
}


def nested_bodies(levels, inside):
    """Bodies nested levels deep around inside, with line ends in each
    level's condition and group: long enough that the outer levels are split
    with the table of the text's bytes, not by reading them again."""
    text = inside
    for _ in range(levels):
        text = "compare (1\n+ 0) {\ny = (2\n+ 3)\n    " + text + "\n}"
    return text + "\n"


def line_of(text, marker):
    return text[: text.index(marker)].count("\n") + 1


DEEP_ERROR = nested_bodies(40, "x = nosuch")
DEEP_UNBALANCED = '$print$("before")\n' + nested_bodies(
    40, 'compare 0 {\nx = (1 +\n}\n$print$("passed")\ncompare 1 {\nz = (\n}')
CASES.update({
    "error_deep_in_long_nested_bodies_names_its_line": (
        {"d.vorn": DEEP_ERROR}, "d.vorn", "",
        f"error: stoi: unknown name nosuch (in d.vorn, line {line_of(DEEP_ERROR, 'nosuch')})\n", 1, ""),
    "unbalanced_body_deep_in_a_long_text_fails_only_when_reached": (
        {"u.vorn": DEEP_UNBALANCED}, "u.vorn", "",
        "before\npassed\nparser error, markers over 1, grammatically not valid.0/1/0/0/0/", 51,
        f"vorn-run: unbalanced text: a parenthesis is never closed (in u.vorn, line {line_of(DEEP_UNBALANCED, 'z = (')})\n"),
})

# Inputs too large to hold: each is refused with status 2 and a report,
# never an abort. (arguments, stdin file, address-space limit or None,
# text in stderr). big.vorn is a sparse file just over the 1 GiB text limit,
# refused before it is read; /dev/zero never ends, so it is read until
# memory (limited here, to keep the test light) runs out.
TEXT_LIMIT = 1 << 30
LIMITED = 128 << 20
OVERSIZED = {
    "file_over_the_text_limit": ("big.vorn", None, None, "cannot run big.vorn: out of memory: text too long"),
    "check_of_file_over_the_text_limit": (
        "--check big.vorn", None, None, "cannot check big.vorn: out of memory: text too long"),
    "endless_device": ("/dev/zero", None, LIMITED, "cannot run /dev/zero: out of memory"),
    "check_of_endless_device": ("--check /dev/zero", None, LIMITED, "cannot check /dev/zero: out of memory"),
    "endless_standard_input": ("-q -", "/dev/zero", LIMITED, "cannot run -: out of memory"),
    "check_of_endless_standard_input": ("--check -", "/dev/zero", LIMITED, "cannot check -: out of memory"),
}


def run_oversized(program, name, case):
    args, stdin, limit, err_text = case
    if limit and "sanitize" in os.environ.get("VORN_TEST_SKIP", "").split():
        return None  # AddressSanitizer cannot run under a limit on address space
    if not os.path.exists("/dev/zero"):
        return None

    def setup():
        import resource
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        if limit:
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    with tempfile.TemporaryDirectory(prefix="vorn-run-") as tmp:
        with open(os.path.join(tmp, "big.vorn"), "wb") as f:
            f.truncate(TEXT_LIMIT + 2)
        with open(stdin or os.devnull, "rb") as source:
            try:
                result = subprocess.run([program] + shlex.split(args), stdin=source, cwd=tmp,
                                        capture_output=True, timeout=60, preexec_fn=setup)
            except subprocess.TimeoutExpired:
                return ["still reading after 60 s"]
    err = result.stderr.decode("utf-8", "replace")
    problems = []
    if result.returncode != 2:
        problems.append(f"status {result.returncode}, expected 2")
    if err_text not in err:
        problems.append(f"stderr {err!r} lacks {err_text!r}")
    if result.stdout:
        problems.append(f"unexpected stdout {result.stdout[:200]!r}")
    return problems


def run_case(program, name, case):
    files, args, stdin, expected, status, err_text = case
    with tempfile.TemporaryDirectory(prefix="vorn-run-") as tmp:
        for path, content in files.items():
            full = os.path.join(tmp, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(content.encode())
        result = subprocess.run([program] + shlex.split(args), input=stdin.encode(), cwd=tmp,
                                capture_output=True, timeout=60)
    out, err = result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")
    problems = []
    if name == "help":
        if not out.startswith("usage: vorn-run") or "--version" not in out:
            problems.append(f"help text: {out!r}")
    elif out != expected:
        problems.append(f"stdout {out!r}, expected {expected!r}")
    if result.returncode != status:
        problems.append(f"status {result.returncode}, expected {status}")
    if err_text.endswith("\n") and err != err_text:
        problems.append(f"stderr {err!r}, expected {err_text!r}")
    elif err_text not in err:
        problems.append(f"stderr {err!r} lacks {err_text!r}")
    if not err_text and err:
        problems.append(f"unexpected stderr {err!r}")
    return problems


def main():
    argv = sys.argv[1:]
    filt = None
    if "--filter" in argv:
        i = argv.index("--filter")
        filt = argv[i + 1]
        del argv[i : i + 2]
    if len(argv) != 1:
        sys.exit(__doc__)
    program = os.path.abspath(argv[0])
    failures = 0
    cases = {n: (run_case, c) for n, c in CASES.items() if not filt or filt in n}
    if os.name != "nt":
        cases.update({n: (run_oversized, c) for n, c in OVERSIZED.items() if not filt or filt in n})
    for name, (runner, case) in cases.items():
        problems = runner(program, name, case)
        if problems:
            failures += 1
            print(f"FAIL {name}\n  " + "\n  ".join(problems), flush=True)
    print(f"vorn-run: {len(cases) - failures} passed, {failures} failed")
    return 1 if failures or not cases else 0


if __name__ == "__main__":
    sys.exit(main())
