#!/usr/bin/env python3
"""The Vim files of editors/vim, checked with Vim itself (vim -es).

Usage: run_vim_syntax.py SAMPLES_DIR [VORN_RUN]

Highlighting: every SAMPLES_DIR/*.vorn is an annotated sample in the format
of vscode-tmgrammar-test (a header line, then source lines, each followed by
lines of the form `#   ^^^ scope ... - excluded` that name the TextMate
scopes at the marked columns). Each scope names the Vim highlight group that
must be there: the table SCOPE_GROUPS below maps them. A position whose
scopes map to no group must have none of those groups (plain text, or a
group or block that adds no colour).

Real VORN: in every file of lib/ and every example of docs/guide.md, a
line that begins after a statement has ended (as VORN's splitter counts)
must begin outside every text, group and block region, and a line that
begins inside an unfinished statement inside one.

Indentation: every file of lib/, its indentation taken away, comes back
as it was when Vim indents it (=G, tabs of one level each); so does a file
with texts over several lines, whose lines inside a text keep their blanks
(spaces, tabs, none) as they are.

File type: a file named *.vorn or *.VORN opens with filetype "vorn".

Compiler: with VORN_RUN (the vorn-run program), `:compiler vorn` must read
the checker's findings and a runtime error of that program into the
quickfix list, with their files, lines and types.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
VIM_DIR = os.path.join(ROOT, "editors", "vim")

# TextMate scope prefix -> Vim group prefix, most specific first.
SCOPE_GROUPS = [
    ("keyword.other.sharing", "vornSharing"),
    ("string.quoted", "vornString"),
    ("constant.numeric", "vornNumber"),
    ("keyword.control", "vornKeyword"),
    ("entity.name.type.class", "vornClassName"),
    ("entity.name.function.definition", "vornDefinition"),
    ("keyword.operator.assignment", "vornAssign"),
    ("keyword.operator", "vornOperator"),
    ("punctuation.definition.call", "vornDollar"),
    ("support.function.builtin", "vornBuiltin"),
    ("support.function.boot", "vornBootFunction"),
    ("entity.name.function.call", "vornCallName"),
    ("variable.language", "vornVariable"),
    ("punctuation.section.block", "vornBrace"),
    ("punctuation.section.group", "vornParen"),
]
COLOURED = [group for _, group in SCOPE_GROUPS]

UP = re.compile(r"^\s*((?:\^+\s*)+)((?:\s*\w[-\w.]*)*)(?:\s*-)?((?:\s*\w[-\w.]*)*)\s*$")
LEFT = re.compile(r"^(\s*)<(~*)(-+)((?:\s*\w[-\w.]*)*)(?:\s*-)?((?:\s*\w[-\w.]*)*)\s*$")


def parse_sample(text):
    """(source lines, [(line index, column, scopes, excluded scopes)], and
    the sample's own line number of each source line) of an annotated sample."""
    lines = text.split("\n")
    header = re.match(r'^(\S+)\s+SYNTAX\s+TEST\s+"', lines[0])
    if not header:
        raise ValueError("no SYNTAX TEST header")
    comment = header.group(1)
    source, checks, numbers = [], [], []
    for number, line in enumerate(lines[1:], start=2):
        rest = line[len(comment):]
        if line.startswith(comment) and re.match(r"^\s*(\^|<~*-+)", rest):
            up, left = UP.match(rest), LEFT.match(rest)
            if up:
                scopes, excluded = up.group(2).split(), up.group(3).split()
                columns = [len(comment) + m.start() for m in re.finditer(r"\^", rest)]
            elif left:
                scopes, excluded = left.group(4).split(), left.group(5).split()
                columns = range(len(left.group(2)), len(left.group(2)) + len(left.group(3)))
            else:
                raise ValueError("bad assertion: " + line)
            checks.extend((len(source) - 1, column, scopes, excluded) for column in columns)
        else:
            source.append(line)
            numbers.append(number)
    return source, checks, numbers


def expected_group(scopes):
    for prefix, group in SCOPE_GROUPS:
        if any(s.startswith(prefix) for s in scopes):
            return group
    return None


def vim(commands, cwd):
    """Runs Vim in Ex mode without any user setup, with editors/vim first on
    the runtime path, and the given Ex commands."""
    args = ["vim", "-N", "-u", "NONE", "-i", "NONE", "-n", "-es",
            "--cmd", "set rtp^=" + VIM_DIR.replace(" ", r"\ ")]
    for command in commands:
        args += ["-c", command]
    args += ["-c", "qa!"]
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)


def check_samples(samples, tmp):
    failures = checked = 0
    for name in sorted(f for f in os.listdir(samples) if f.endswith(".vorn")):
        with open(os.path.join(samples, name), encoding="utf-8") as f:
            source, checks, numbers = parse_sample(f.read())
        if not checks:
            print(f"FAIL {name}: no assertions")
            failures += 1
            continue
        file = os.path.join(tmp, "sample.vorn")
        with open(file, "w", encoding="utf-8") as f:
            f.write("\n".join(source))
        positions = os.path.join(tmp, "positions")
        with open(positions, "w") as f:
            f.write("".join(f"{check[0] + 1} {check[1] + 1}\n" for check in checks))
        result = os.path.join(tmp, "result")
        probe = ("call writefile(map(readfile('positions'), "
                 "{_, p -> synIDattr(synID(str2nr(split(p)[0]), str2nr(split(p)[1]), 1), 'name')}), 'result')")
        vim(["filetype on", "syntax on", "edit sample.vorn", probe], tmp)
        if not os.path.exists(result):
            print(f"FAIL {name}: Vim wrote no result")
            failures += 1
            continue
        with open(result) as f:
            groups = f.read().split("\n")
        os.remove(result)
        for (line, column, scopes, excluded), group in zip(checks, groups):
            checked += 1
            want = expected_group(scopes)
            if want:
                ok = group.startswith(want)
            elif scopes:
                ok = not any(group.startswith(g) for g in COLOURED)
            else:
                unwanted = expected_group(excluded)
                ok = not (unwanted and group.startswith(unwanted))
                want = "anything but " + str(unwanted)
            if not ok:
                failures += 1
                text = source[line]
                print(f"FAIL {name}:{numbers[line]}, column {column + 1}: {text!r} at {text[column:column + 12]!r}: "
                      f"Vim has {group or 'nothing'!r}, the scopes {' '.join(scopes)} want {want or 'no colour'}")
    return checked, failures


def splitter_top_level(text):
    """For each line of text: whether VORN's splitter is at the top level
    after it. Inside braces only braces count, inside parentheses only
    parentheses, inside quotes only the same quote."""
    brace = paren = dq = sq = 0
    ends = []
    for ch in text:
        prior = brace + paren + dq + sq
        if ch == "\n":
            ends.append(prior == 0)
        elif ch == '"':
            dq = dq - 1 if dq else (1 if prior == 0 else 0)
        elif ch == "'":
            sq = sq - 1 if sq else (1 if prior == 0 else 0)
        elif ch == "{" and dq + sq + paren == 0:
            brace += 1
        elif ch == "(" and dq + sq + brace == 0:
            paren += 1
        elif ch == "}" and prior and dq + sq + paren == 0:
            brace -= 1
        elif ch == ")" and prior and dq + sq + brace == 0:
            paren -= 1
    return ends


def real_texts():
    """(label, text) of every file of lib/ and every example of the guide."""
    texts = []
    lib = os.path.join(ROOT, "lib")
    for name in sorted(f for f in os.listdir(lib) if f.endswith(".VORN")):
        with open(os.path.join(lib, name), encoding="utf-8") as f:
            texts.append((f"lib/{name}", f.read()))
    with open(os.path.join(ROOT, "docs", "guide.md"), encoding="utf-8") as f:
        guide = f.read()
    for match in re.finditer(r"```(vorn|text)\n(.*?)```", guide, re.S):
        line = guide.count("\n", 0, match.start()) + 1
        if match.group(1) == "vorn":
            texts.append((f"docs/guide.md:{line}", match.group(2)))
        else:
            typed = re.findall(r"^/\S*(?: !stdlib)? \$ (.+)$", match.group(2), re.M)
            if typed:
                texts.append((f"docs/guide.md:{line} (prompt)", "\n".join(typed) + "\n"))
    return texts


def check_real_texts(tmp):
    failures = checked = 0
    # A line that begins with the closer of a region is inside it, too.
    regions = ("vornString", "vornGroup", "vornBlock", "vornBrace", "vornParen")
    texts = real_texts()
    # One Vim for all the texts: each is a file real/N.vorn, and for each the
    # names at the start of the chosen lines go to real/N.result.
    os.makedirs(os.path.join(tmp, "real"), exist_ok=True)
    probe = ["for n in range(" + str(len(texts)) + ")",
             "  execute 'edit real/' . n . '.vorn'",
             "  let lines = map(readfile('real/' . n . '.lines'), 'str2nr(v:val)')",
             "  call writefile(map(lines, {_, l -> join(map(synstack(l, 1), "
             "{_, id -> synIDattr(id, 'name')}))}), 'real/' . n . '.result')",
             "endfor"]
    starts_of = []
    for n, (label, text) in enumerate(texts):
        lines = text.split("\n")
        # Lines that begin by opening a region of their own are skipped.
        starts = [i for i in range(1, len(lines)) if lines[i] and lines[i][0] not in "\"'({"]
        starts_of.append(starts)
        with open(os.path.join(tmp, "real", f"{n}.vorn"), "w", encoding="utf-8") as f:
            f.write(text)
        with open(os.path.join(tmp, "real", f"{n}.lines"), "w") as f:
            f.write("".join(f"{i + 1}\n" for i in starts))
    with open(os.path.join(tmp, "probe.vim"), "w") as f:
        f.write("\n".join(probe) + "\n")
    vim(["filetype on", "syntax on", "source probe.vim"], tmp)
    for n, (label, text) in enumerate(texts):
        lines = text.split("\n")
        top = splitter_top_level(text)
        result = os.path.join(tmp, "real", f"{n}.result")
        if not os.path.exists(result):
            failures += 1
            print(f"FAIL {label}: Vim wrote no result")
            continue
        with open(result) as f:
            stacks = f.read().split("\n")
        for i, stack in zip(starts_of[n], stacks):
            checked += 1
            inside = any(name.startswith(regions) for name in stack.split())
            if inside == top[i - 1]:
                failures += 1
                print(f"FAIL {label}, line {i + 1} {lines[i]!r}: Vim has {stack or 'nothing'!r} at its start, "
                      f"where VORN {'has ended the statement before' if top[i - 1] else 'goes on with it'}")
    if checked < 500:
        failures += 1
        print(f"FAIL: only {checked} lines of lib/ and the guide checked")
    return checked, failures


# Texts over several lines, in a body, in a group inside a body and at the
# top; the lines marked "|" begin inside a text and keep their blanks.
TEXTS_INDENTED = [
    "f = {",
    "\tx = \"two",
    "|    lines",
    "|",
    "| \t lines\"",
    "\ty = 1",
    "\tcompare (x) {",
    "\t\tz = ('a",
    "|b')",
    "\t}",
    "}",
    "t = \"a",
    "|  b\"",
    "w = 2",
]


def check_indent(tmp):
    failures = checked = 0
    lib = os.path.join(ROOT, "lib")
    cases = []
    for name in sorted(f for f in os.listdir(lib) if f.endswith(".VORN")):
        with open(os.path.join(lib, name), encoding="utf-8") as f:
            original = f.read()
        cases.append(("lib/" + name, original, re.sub(r"^[ \t]+", "", original, flags=re.M)))
    texts = "\n".join(line[1:] if line.startswith("|") else line for line in TEXTS_INDENTED) + "\n"
    flat = "\n".join(line[1:] if line.startswith("|") else line.lstrip(" \t") for line in TEXTS_INDENTED) + "\n"
    cases.append(("texts over several lines", texts, flat))
    for name, original, flat in cases:
        checked += 1
        with open(os.path.join(tmp, "flat.vorn"), "w", encoding="utf-8") as f:
            f.write(flat)
        # Where a text is, the indenting learns from the highlighting.
        vim(["syntax on", "filetype plugin indent on", "edit flat.vorn",
             "setlocal noexpandtab shiftwidth=0 tabstop=4", "normal! gg=G", "write! indented.vorn"], tmp)
        with open(os.path.join(tmp, "indented.vorn"), encoding="utf-8") as f:
            indented = f.read()
        if indented != original:
            failures += 1
            wrong = next(i for i, (a, b) in enumerate(zip(indented.split("\n"), original.split("\n"))) if a != b)
            print(f"FAIL indenting {name}: line {wrong + 1} is {indented.split(chr(10))[wrong]!r}")
    return checked, failures


def check_filetype(tmp):
    failures = 0
    for name in ("tour.vorn", "TOUR.VORN"):
        open(os.path.join(tmp, name), "w").close()
        vim(["filetype on", "edit " + name, "call writefile([&filetype], 'result')"], tmp)
        with open(os.path.join(tmp, "result")) as f:
            filetype = f.read().strip()
        if filetype != "vorn":
            print(f"FAIL filetype of {name}: {filetype!r}")
            failures += 1
    return 2, failures


def check_compiler(vorn_run, tmp):
    """The checker's findings, an unbalanced text and a runtime error, as
    vorn-run prints them, read through the compiler's error format."""
    with open(os.path.join(tmp, "traps.vorn"), "w") as f:
        f.write('a = 1\nb = 2\nx = a + b\n$print$("a") $print$("b")\n')
    with open(os.path.join(tmp, "open.vorn"), "w") as f:
        f.write('x = 1\nf = {\n    $print$(x)\n')
    with open(os.path.join(tmp, "fails.vorn"), "w") as f:
        f.write('$print$("partial " "nah")\nx = 1\ny = (x + foo)\n')
    output = ""
    for args in (["--check", "traps.vorn", "open.vorn"], ["fails.vorn"]):
        run = subprocess.run([vorn_run] + args, cwd=tmp, capture_output=True, text=True, timeout=60)
        output += run.stdout
    with open(os.path.join(tmp, "output"), "w") as f:
        f.write(output)
    listing = ("call writefile(map(getqflist(), "
               "{_, e -> e.valid . '|' . bufname(e.bufnr) . '|' . e.lnum . '|' . e.type . '|' . e.text}), 'result')")
    vim(["compiler vorn", "cgetfile output", listing], tmp)
    with open(os.path.join(tmp, "result")) as f:
        entries = [e for e in f.read().split("\n") if e.startswith("1|")]
    expected = [("traps.vorn", "3", "w", "[V001]"), ("traps.vorn", "4", "w", "[V008]"),
                ("open.vorn", "2", "e", "unbalanced text"), ("fails.vorn", "3", "e", "unknown name foo")]
    failures = 0
    got = [e.split("|", 4)[1:] for e in entries]
    if len(got) != len(expected) or any(
            (g[0], g[1], g[2]) != e[:3] or e[3] not in g[3] for g, e in zip(got, expected)):
        failures = 1
        print("FAIL compiler: vorn-run printed\n" + output + "and the quickfix list holds\n" + "\n".join(entries))
    return len(expected), failures


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    if not shutil.which("vim"):
        print("FAIL: vim is not installed")
        return 1
    tmp = tempfile.mkdtemp(prefix="vorn-vim-")
    try:
        results = [check_samples(os.path.abspath(sys.argv[1]), tmp), check_real_texts(tmp), check_indent(tmp),
                   check_filetype(tmp)]
        if len(sys.argv) == 3:
            results.append(check_compiler(os.path.abspath(sys.argv[2]), tmp))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    checked = sum(r[0] for r in results)
    failures = sum(r[1] for r in results)
    print(f"vim syntax: {checked - failures} passed, {failures} failed")
    return 0 if failures == 0 and checked > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
