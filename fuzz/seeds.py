#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/<harness>/ from the golden scripts and
the codecs' test vectors.

The corpora are committed; run this again only to rebuild them after the
golden scripts changed much (it replaces the eight folders):
    python3 fuzz/seeds.py
"""
import base64
import hashlib
import os
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRIPTS = os.path.join(ROOT, "tests", "scripts")
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
sys.path.insert(0, os.path.join(ROOT, "tests"))
from run_golden import case_source  # noqa: E402 - a library case as the golden runner runs it


def scripts():
    """(group_case name, bytes) of every golden script, in path order."""
    found = []
    for folder, _, files in os.walk(SCRIPTS):
        for name in files:
            if name.endswith(".vorn"):
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, SCRIPTS)[: -len(".vorn")]
                found.append((rel.replace(os.sep, "_"), case_source(path)))
    return sorted(found)


class Nesting:
    """The splitter's four counters (braces, parentheses, double and single
    quotes), stepped one byte at a time."""

    def __init__(self):
        self.braces = self.parens = self.dq = self.sq = 0

    def depth(self):
        return self.braces + self.parens + self.dq + self.sq

    def step(self, c):
        prior = self.depth()
        quoted = self.dq or self.sq
        if c == 34:
            self.dq = self.dq - 1 if self.dq else (1 if prior == 0 else 0)
        elif c == 39:
            self.sq = self.sq - 1 if self.sq else (1 if prior == 0 else 0)
        elif c == 123 and not (quoted or self.parens):
            self.braces += 1
        elif c == 40 and not (quoted or self.braces):
            self.parens += 1
        elif c == 125 and prior and not (quoted or self.parens):
            self.braces -= 1
        elif c == 41 and prior and not (quoted or self.braces):
            self.parens -= 1


def split_tokens(text):
    """The top-level tokens of every line, as the interpreter's splitter cuts
    them (close enough for picking seeds; nothing depends on it)."""
    tokens, token = [], bytearray()
    nesting = Nesting()
    for c in text:
        if c == 10 and nesting.depth() == 0:
            tokens.append(bytes(token))
            token = bytearray()
            continue
        nesting.step(c)
        if nesting.depth() == 0 and c in (32, 9):
            tokens.append(bytes(token))
            token = bytearray()
        else:
            token.append(c)
    tokens.append(bytes(token))
    return [t for t in tokens if t]


def balanced_lines(text):
    """Whether every line of text closes all it opens, so that each can be
    typed at the prompt on its own."""
    for line in text.split(b"\n"):
        nesting = Nesting()
        for c in line:
            nesting.step(c)
        if nesting.depth():
            return False
    return True


def startup_inputs():
    """(case name, stdin bytes) of the start-up cases."""
    folder = os.path.join(ROOT, "tests", "startup")
    found = []
    for case in sorted(os.listdir(folder)):
        path = os.path.join(folder, case, "stdin")
        if os.path.isfile(path):
            with open(path, "rb") as f:
                found.append((case, f.read()))
    return found


def lz77_stream(tokens):
    out = struct.pack("<Q", len(tokens))
    for offset, length, nxt in tokens:
        out += struct.pack("<iiB", offset, length, nxt)
    return out


def long_groups(before, after):
    """Texts holding a group of 4 KB or more: one nested 700 deep, one of
    twenty inner groups of over 256 bytes each, and a body nested 300 deep
    (as a statement when `after` ends it)."""
    deep = b"(" * 700 + b"i" + b" + 1)" * 700
    wide = b"(" + b" + ".join([b"(" + b"1 + " * 80 + b"i)"] * 20) + b")"
    texts = [before + deep + after, before + wide + after]
    if after:
        texts.append(b"compare (1) {\n" * 300 + b"    x = 1\n" + b"}\n" * 300)
    return texts


def write(harness, items):
    folder = os.path.join(CORPUS, harness)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    seen = set()
    total = 0
    for name, data in items:
        digest = hashlib.sha1(data).hexdigest()
        if digest in seen:
            continue
        seen.add(digest)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        total += len(data)
    print(f"{harness}: {len(seen)} files, {total} bytes")


def checker_cases():
    """(name, bytes) of the checker's golden cases."""
    folder = os.path.join(ROOT, "tests", "check")
    found = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".vorn"):
            with open(os.path.join(folder, name), "rb") as f:
                found.append((f"check_{name[: -len('.vorn')]}", f.read()))
    return found


def main():
    every = scripts()

    # check: the checker's own cases and every golden script.
    write("check", checker_cases() + every)

    # program: every golden script (about 60 KB in all), and groups and
    # bodies of 4 KB or more, whose ends the splitter records in one pass.
    write("program", every + [(f"long_group_{i}", text) for i, text in enumerate(long_groups(b"x = ", b"\n"))])

    # session: console lines. The sandbox shows no lib folder, so the first
    # line answers the restore question; then the lines of every golden script
    # that can be typed line by line, and the start-up cases' input.
    lines = [(name, b"n\n" + text) for name, text in every if balanced_lines(text)]
    for name, text in startup_inputs():
        first = text.split(b"\n", 1)[0]
        lines.append((f"startup_{name}", text if first in (b"y", b"n") else b"n\n" + text))
    write("session", lines)

    # splitter: the splitter group and every fourth other script, plus the
    # awkward texts of the splitter's own rules.
    picked = [s for i, s in enumerate(every) if s[0].startswith("splitter_") or i % 4 == 0]
    picked += [
        ("rule_blank_runs", b"a  b\n  c\t\td\n"),
        ("rule_closers_at_top", b"a}b c)\n"),
        ("rule_brace_in_parens", b"(a{b)\n"),
        ("rule_quote_closes_brace", b'{ "}" }'),
        ("rule_unclosed_brace", b"x = {\n"),
        ("rule_crlf", b"x = 1\r\ny = 2\r\n"),
        ("rule_empty", b""),
        ("rule_nested", b"compare (x == 1) {\n    y = (2 * (3 + 4))\n    z = '{'\n}\n"),
    ]
    write("splitter", picked)

    # expression: operand tokens of the golden scripts, plus expressions over
    # the harness's variables (s e q i z big neg f nf fn g l nest b P p c u w).
    operands = {}
    for name, text in every:
        for token in split_tokens(text):
            if token[:1] in (b"(", b"$", b"{", b'"', b"'") and len(token) <= 200:
                operands.setdefault(token, f"{name}_{len(operands)}")
    chosen = sorted(operands.items(), key=lambda kv: kv[1])[:300]
    items = [(label, token) for token, label in chosen]
    for i, text in enumerate([
        b"s + e", b"i + f", b"big * big", b"neg / z", b"f / nf", b"l == nest", b"p -> \"x\"",
        b"$(p -> \"get\")", b"$fn$(i)", b"$g$(f)", b"$c$(l)", b"not i", b"u == w", b"b + s",
        b"P -> \"origin\"", b"s * 3", b"q + 1", b"{ end (i + 1) }", b"$eval$(\"i * 2\")",
        b"$setargmap$(fn l)", b"(i > f) and (s != e)", b"$_getvars", b"$str$(nest)",
        b"$encodelist$(nest)", b"$_lz77compress$(s)", b"$_base64encode$(b)", b"i or z",
        b"f >= big", b"$turn$(i \"string\")", b"$linvert$(l)",
    ]):
        items.append((f"over_variables_{i:02d}", text))
    items += [(f"long_group_{i}", text) for i, text in enumerate(long_groups(b"", b""))]
    write("expression", items)

    # listtext: list texts and bytes texts.
    texts = [
        b'(1 "two" 3.5)', b'(1 (2 3) "x")', b'("a { b } \'c\'" "line one\nline two")', b"()", b"(())",
        b"(1)", b"(-4 0 2147483647)", b'("a" ("b" ("c" 1)))', b"({ end 5 })", b"(1.5 2.0 1e3)",
        b"104101108108111", b"000255256", b"12", b"abcdef", b"(a)", b"((1 2) (3 4))",
    ]
    write("listtext", [(f"text_{i:02d}", t) for i, t in enumerate(texts)])

    # base64: RFC 4648 vectors, and texts of each error.
    vectors = [b"", b"f", b"fo", b"foo", b"foob", b"fooba", b"foobar", bytes(range(256))]
    b64 = [base64.b64encode(v) for v in vectors]
    b64 += [b"Zg", b"Zg=", b"Z===", b"Zg==Zg==", b"Zh==", b"Zm9v\n", b"Zm 9", b"Zm-_", b"=Zg="]
    write("base64", [(f"text_{i:02d}", t) for i, t in enumerate(b64)])

    # lz77: streams (valid, truncated, bad offsets, overlapping copies) and
    # data for the match search, one of them longer than the 4096-byte window.
    streams = [
        lz77_stream([]),
        lz77_stream([(0, 0, ord("x"))]),
        lz77_stream([(0, 0, ord("a")), (1, 2, ord("a"))]),
        lz77_stream([(0, 0, ord("a")), (0, 0, ord("b")), (2, 7, ord("c"))]),
        lz77_stream([(0, 0, ord("x")), (1, 18, ord("y"))]),
        lz77_stream([(0, -3, ord("x")), (99, -1, ord("y"))]),
        lz77_stream([(0, 0, ord("a")), (2, 1, ord("b"))]),
        lz77_stream([(0, 0, ord("a")), (0, 1, ord("b"))]),
        struct.pack("<Q", 5) + b"short",
        b"\x01\x00\x00",
        lz77_stream([(0, 0, ord("a"))]) + b"trailing",
    ]
    pattern = b"QWERTYUIOPASDFGH"
    data = [
        b"aaaa", b"abcabcabcabc", b"ab1ab2ab3", b"abab", b"to be or not to be, that is the question",
        pattern + b"." * (4096 - len(pattern) - 1) + b"#" + pattern + b"!",
        bytes(range(256)) * 4,
    ]
    write("lz77", [(f"stream_{i:02d}", s) for i, s in enumerate(streams)] +
          [(f"data_{i:02d}", d) for i, d in enumerate(data)])
    return 0


if __name__ == "__main__":
    sys.exit(main())
