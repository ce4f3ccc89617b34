#!/usr/bin/env python3
"""Writes VORN's highlighting for both editors from one table of rules:

    editors/vscode/syntaxes/vorn.tmLanguage.json   (TextMate, for VS Code)
    editors/vim/syntax/vorn.vim                    (Vim)

Usage: generate_syntax.py [--check]

--check writes nothing and fails when either file differs from what this
script would write (the tests run it that way, so the two never drift).

How VORN reads text decides what the grammar must do. A line is cut into
tokens at top-level blanks; quotes, braces and parentheses keep a token
together, but inside a brace block only braces are counted, and inside a
group only parentheses: a "}" inside a quoted text inside a block closes the
block, and a ")" inside a quoted text inside a group closes the group. What is
inside is cut again, by the same rules, when it runs. So the grammar carries
a context: the set of enclosing blocks (B) and groups (P). In a context every
nested region ends early at a closer that its enclosing regions would count,
and keeps balanced pairs of them to itself, exactly as the counting does.
The contexts are T (none), P, B and PB; a block or group adds its own
letter. Regions nest strictly, so text that interleaves a brace and a
parenthesis count, such as "({)}" inside a string, is approximated.

A call's arguments add A: the call cuts its whole text at every "$" before
it reads the arguments, and a "$" followed by "L" starts the sharing group
wherever it stands, inside a quoted text or a nested call too. Inside the
arguments (contexts PA and PBA) such a "$L" is marked as the sharing group
it is.
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TM_PATH = os.path.join(HERE, "vscode", "syntaxes", "vorn.tmLanguage.json")
VIM_PATH = os.path.join(HERE, "vim", "syntax", "vorn.vim")

# The words the language gives a meaning. Keywords count only as the first
# token of a statement; everywhere else "list" is the builtin of that name.
KEYWORDS = ["compare", "until", "each", "end", "add", "index", "where", "remove",
            "list", "exec", "also", "class", "delete"]
BUILTINS = ["print", "input", "getchar", "_USEDMEMORY", "size", "turn", "str", "int",
            "float", "func", "list", "werhatdasgemacht", "encodelist", "decodelist",
            "typeof", "setargmap", "_getvars", "bytes", "encodebytes", "decodebytes",
            "_beep", "_lz77compress", "_lz77decompress", "linvert", "_readfile",
            "_writefile", "_readbinfile", "_writebinfile", "_mkdir", "_rm", "_listdir",
            "_exists", "_cd", "_isdir", "_base64encode", "_base64decode", "_whereami",
            "eval"]
# The functions that the boot script defines before the first prompt.
BOOT_FUNCTIONS = ["savelib", "extractlib", "range", "varexists"]
# Names the interpreter binds for a body: arguments, the each element, self.
LANGUAGE_VARIABLES_TM = r"arg\d+|element|self"
LANGUAGE_VARIABLES_VIM = r"arg\d\+\|element\|self"

CONTEXTS = ["T", "P", "B", "PB", "PA", "PBA"]
STATEMENT_CONTEXTS = ["T", "B", "PB", "PBA"]
EXPRESSION_CONTEXTS = ["P", "PB", "PA", "PBA"]


def with_letter(context, letter):
    letters = set(context.replace("T", "")) | {letter}
    return "".join(c for c in "PBA" if c in letters)


def arguments_of(context):
    """The context inside the argument group of a call made in `context`."""
    return with_letter(with_letter(context, "P"), "A")


def has(context, letter):
    return letter in context and context != "T"


def longest_first(words):
    return sorted(set(words), key=lambda w: (-len(w), w))


def tm_words(words):
    return "|".join(longest_first(words))


def vim_words(words):
    return r"\|".join(longest_first(words))


# ---------------------------------------------------------------- TextMate

TM_TOKEN_START = r"(?:^|(?<=[ \t(]))"
TM_TOKEN_END = r"(?=[ \t)}]|$)"
TM_NAME = r"[^ \t$(){}\"']+"


def tm_grammar():
    repo = {}
    scope = lambda name: name + ".vorn"

    repo["keyword"] = {
        "comment": "a keyword as the first token of a statement",
        "match": r"(?:^|(?<=\{))[ \t]*(class)(?:[ \t]+(" + TM_NAME + r"))?(?=[ \t}]|$)"
                 r"|(?:^|(?<=\{))[ \t]*(" + tm_words(KEYWORDS) + r")(?=[ \t}]|$)",
        "captures": {"1": {"name": scope("keyword.control")},
                     "2": {"name": scope("entity.name.type.class")},
                     "3": {"name": scope("keyword.control")}},
    }
    repo["definition"] = {
        "comment": "a function: a name given a brace block",
        "match": r"^[ \t]*(" + TM_NAME + r")[ \t]+(=)(?=[ \t]+\{)",
        "captures": {"1": {"name": scope("entity.name.function.definition")},
                     "2": {"name": scope("keyword.operator.assignment")}},
    }
    repo["assignment"] = {
        "match": r"(?<=[ \t])(=|\+=|-=|\*=|/=)(?=[ \t]|$)",
        "captures": {"1": {"name": scope("keyword.operator.assignment")}},
    }
    repo["operator"] = {
        "comment": "the thirteen operators, and not",
        "match": TM_TOKEN_START + r"(?:(==|!=|>=|<=|>|<)|(->)|([-+*/])|(and|or|not))" + TM_TOKEN_END,
        "captures": {"1": {"name": scope("keyword.operator.comparison")},
                     "2": {"name": scope("keyword.operator.member")},
                     "3": {"name": scope("keyword.operator.arithmetic")},
                     "4": {"name": scope("keyword.operator.logical")}},
    }
    repo["call"] = {
        "comment": "$ starts a call; its later pieces are argument groups, $L( a sharing group",
        "match": r"(\$)(?:(L)(?=\()|(" + tm_words(BUILTINS) + r")(?=[ \t$()}]|$)"
                 r"|(" + tm_words(BOOT_FUNCTIONS) + r")(?=[ \t$()}]|$)|(" + TM_NAME + r"))?",
        "captures": {"1": {"name": scope("punctuation.definition.call")},
                     "2": {"name": scope("keyword.other.sharing")},
                     "3": {"name": scope("support.function.builtin")},
                     "4": {"name": scope("support.function.boot")},
                     "5": {"name": scope("entity.name.function.call")}},
    }
    repo["sharing-cut"] = {
        "comment": "inside a call's arguments, $L starts the sharing group, even inside a text",
        "match": r"\$L",
        "name": scope("keyword.other.sharing"),
    }
    repo["number"] = {
        "match": r"(?:^|(?<=[ \t({]))[-+]?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][-+]?\d+)?" + TM_TOKEN_END,
        "name": scope("constant.numeric"),
    }
    repo["builtin"] = {
        "match": TM_TOKEN_START + r"(?:(" + tm_words(BUILTINS) + r")|(" + tm_words(BOOT_FUNCTIONS)
                 + r")|(" + LANGUAGE_VARIABLES_TM + r"))(?=[ \t)}$]|$)",
        "captures": {"1": {"name": scope("support.function.builtin")},
                     "2": {"name": scope("support.function.boot")},
                     "3": {"name": scope("variable.language")}},
    }

    def ends(context, own, own_scope):
        """An end pattern: the own closer (captured) or, as a lookahead, a
        closer that an enclosing block or group counts (a group's own ")"
        closes it; only the other kind can end it early)."""
        alternatives = ["(" + own + ")"] if own else []
        if has(context, "P") and own != r"\)":
            alternatives.append(r"(?=\))")
        if has(context, "B") and own != r"\}":
            alternatives.append(r"(?=\})")
        return "|".join(alternatives), ({"1": {"name": own_scope}} if own_scope else {})

    for c in CONTEXTS:
        cut = [{"include": "#sharing-cut"}] if has(c, "A") else []
        atoms = [{"include": f"#string-double-{c}"}, {"include": f"#string-single-{c}"},
                 {"include": f"#arguments-{c}"}, {"include": f"#group-{c}"}, {"include": f"#block-{c}"},
                 *cut, {"include": "#call"}, {"include": "#number"}, {"include": "#builtin"}]
        repo[f"atoms-{c}"] = {"patterns": atoms}
        inner_group = with_letter(c, "P")
        inner_block = with_letter(c, "B")
        end, caps = ends(c, r"\)", scope("punctuation.section.group.end"))
        repo[f"group-{c}"] = {
            "begin": r"\(", "beginCaptures": {"0": {"name": scope("punctuation.section.group.begin")}},
            "end": end, "endCaptures": caps, "name": scope("meta.group"),
            "patterns": [{"include": f"#expression-{inner_group}"}],
        }
        repo[f"arguments-{c}"] = {
            "comment": "the argument group of a call: ( after a $ that follows the callee",
            "begin": r"(?<=[^ \t({]\$)\(",
            "beginCaptures": {"0": {"name": scope("punctuation.section.group.begin")}},
            "end": end, "endCaptures": caps, "name": scope("meta.group"),
            "patterns": [{"include": f"#expression-{arguments_of(c)}"}],
        }
        end, caps = ends(c, r"\}", scope("punctuation.section.block.end"))
        repo[f"block-{c}"] = {
            "begin": r"\{", "beginCaptures": {"0": {"name": scope("punctuation.section.block.begin")}},
            "end": end, "endCaptures": caps, "name": scope("meta.block"),
            "patterns": [{"include": f"#statements-{inner_block}"}],
        }
        balance = list(cut)
        if has(c, "P"):
            balance.append({"include": f"#balanced-parens-{c}"})
        if has(c, "B"):
            balance.append({"include": f"#balanced-braces-{c}"})
        for kind, quote in (("double", '"'), ("single", "'")):
            end, caps = ends(c, quote, scope("punctuation.definition.string.end"))
            repo[f"string-{kind}-{c}"] = {
                "begin": quote, "beginCaptures": {"0": {"name": scope("punctuation.definition.string.begin")}},
                "end": end, "endCaptures": caps, "name": scope(f"string.quoted.{kind}"),
                "patterns": balance,
            }
        if has(c, "P"):
            end, _ = ends(c.replace("P", "") or "T", r"\)", None)
            repo[f"balanced-parens-{c}"] = {"begin": r"\(", "end": end, "patterns": balance}
        if has(c, "B"):
            end, _ = ends(c.replace("B", "") or "T", r"\}", None)
            repo[f"balanced-braces-{c}"] = {"begin": r"\{", "end": end, "patterns": balance}

    for c in STATEMENT_CONTEXTS:
        repo[f"statements-{c}"] = {"patterns": [{"include": "#keyword"}, {"include": "#definition"},
                                                 {"include": "#assignment"}, {"include": f"#atoms-{c}"}]}
    for c in EXPRESSION_CONTEXTS:
        repo[f"expression-{c}"] = {"patterns": [{"include": "#operator"}, {"include": f"#atoms-{c}"}]}

    return {
        "$schema": "https://raw.githubusercontent.com/martinring/tmlanguage/master/tmlanguage.json",
        "name": "VORN",
        "comment": "Generated by editors/generate_syntax.py; edit that script, not this file.",
        "scopeName": "source.vorn",
        "fileTypes": ["VORN", "vorn"],
        "patterns": [{"include": "#statements-T"}],
        "repository": dict(sorted(repo.items())),
    }


# ---------------------------------------------------------------- Vim

VIM_NAME = r"""[^ \t$(){}"']\+"""
VIM_TOKEN_START = r"\%(^\|[ \t(]\)\@1<="
VIM_TOKEN_END = r"\%([ \t)}]\|$\)\@="

# Highlight groups of the items below, as the standard groups they link to.
VIM_LINKS = [("vornKeyword", "Statement"), ("vornClassName", "Type"),
             ("vornDefinition", "Function"), ("vornAssign", "Operator"),
             ("vornOperator", "Operator"), ("vornDollar", "Special"),
             ("vornSharing", "Special"), ("vornSharingCut", "Special"),
             ("vornBuiltin", "Function"),
             ("vornBootFunction", "Function"), ("vornCallName", "Identifier"),
             ("vornNumber", "Number"), ("vornVariable", "Identifier"),
             ("vornString", "String"), ("vornBrace", "Delimiter"), ("vornParen", "Delimiter")]


def vim_syntax():
    out = []
    w = out.append
    w('" Vim syntax file')
    w('" Language: VORN')
    w('" Generated by editors/generate_syntax.py; edit that script, not this file.')
    w('" Quotes, braces and groups are counted as VORN counts them: inside a block')
    w('" only braces count, inside a group only parentheses, so a "}" in a text in a')
    w('" block ends the block. Each region has a variant per context (T: none, P: in')
    w('" a group, B: in a block, PB: both) that ends early where VORN would.')
    w("")
    w('if exists("b:current_syntax")')
    w("  finish")
    w("endif")
    w("")
    w("syn case match")
    w("syn sync fromstart")
    w("")

    def contained(c):
        return "" if c == "T" else " contained"

    def ends(context, own):
        parts = [f"end=/{own}/"] if own else []
        if has(context, "P") and own != ")":
            parts.append(r"end=/\ze)/")
        if has(context, "B") and own != "}":
            parts.append(r"end=/\ze}/")
        return " ".join(parts)

    # Shared items. They are not "contained", so they also match at the top
    # level; the regions name exactly those they hold.
    w('" Calls: $name, $name$(arguments), $name$(arguments)$L(shared names)')
    w(r"syn match vornDollar /\$/")
    w(r"syn match vornCallName /\$\@1<=" + VIM_NAME + "/")
    # Builtin and boot-script names as Vim keywords: a hash lookup, where a
    # long alternation of names would be slow. "list" is also a statement
    # keyword, and Vim keywords win over every match, so it stays a match.
    w("syn iskeyword @,48-57,_,192-255")
    w("syn keyword vornBuiltin " + " ".join(n for n in BUILTINS if n not in KEYWORDS))
    w("syn keyword vornBootFunction " + " ".join(BOOT_FUNCTIONS))
    builtin_matches = [n for n in BUILTINS if n in KEYWORDS]
    w(r"syn match vornBuiltin /\$\@1<=\%(" + vim_words(builtin_matches) + r"\)\%([ \t$()}]\|$\)\@=/")
    w(r"syn match vornSharing /\$\@1<=L(\@=/")
    w('" Inside the arguments $L starts the sharing group, even inside a text')
    w(r"syn match vornSharingCut /\$L/ contained")
    w("")
    w('" Operands')
    w(r"syn match vornNumber /\%(^\|[ \t({]\)\@1<=[-+]\=\%(\d\+\%(\.\d*\)\=\|\.\d\+\)\%([eE][-+]\=\d\+\)\="
      + VIM_TOKEN_END + "/")
    w(r"syn match vornBuiltin /" + VIM_TOKEN_START + r"\%(" + vim_words(builtin_matches)
      + r"\)\%([ \t)}$]\|$\)\@=/")
    w(r"syn match vornVariable /" + VIM_TOKEN_START + r"\%(" + LANGUAGE_VARIABLES_VIM + r"\)\%([ \t)}$]\|$\)\@=/")
    w("")
    w('" Statements: a keyword as the first token, a function definition, assignment')
    w(r"syn match vornDefinition /^[ \t]*\zs" + VIM_NAME + r"\ze[ \t]\+=[ \t]\+{/")
    w(r"syn match vornAssign /[ \t]\@1<=\%(=\|+=\|-=\|\*=\|\/=\)\%([ \t]\|$\)\@=/")
    w(r"syn match vornKeyword /\%(^[ \t]*\|{[ \t]*\)\@<=\%(" + vim_words(KEYWORDS) + r"\)\%([ \t}]\|$\)\@=/")
    w(r"syn match vornClassName /\%(\%(^\|{\)[ \t]*class[ \t]\+\)\@<=" + VIM_NAME + "/")
    w("")
    w('" Operators, in groups only: the thirteen, and not')
    w(r"syn match vornOperator /" + VIM_TOKEN_START + r"\%(==\|!=\|>=\|<=\|>\|<\|->\|[-+*\/]\|and\|or\|not\)"
      + VIM_TOKEN_END + "/ contained")
    w("")

    shared = "vornDollar,vornCallName,vornBootFunction,vornBuiltin,vornSharing,vornNumber,vornVariable"
    for c in CONTEXTS:
        w(f'" Context {c}')
        cut = ["vornSharingCut"] if has(c, "A") else []
        atoms = ",".join([f"vornStringDouble{c},vornStringSingle{c},vornGroup{c},vornArguments{c},vornBlock{c}",
                          *cut, shared])
        w(f"syn cluster vornAtoms{c} contains={atoms}")
        balance = list(cut)
        if has(c, "P"):
            balance.append(f"vornStringParens{c}")
        if has(c, "B"):
            balance.append(f"vornStringBraces{c}")
        holds = f" contains={','.join(balance)}" if balance else ""
        w(f"syn region vornStringDouble{c} start=/\"/ {ends(c, chr(34))}{holds}{contained(c)}")
        w(f"syn region vornStringSingle{c} start=/'/ {ends(c, chr(39))}{holds}{contained(c)}")
        if has(c, "P"):
            w(f"syn region vornStringParens{c} start=/(/ {ends(c.replace('P', '') or 'T', ')')}{holds} contained")
        if has(c, "B"):
            w(f"syn region vornStringBraces{c} start=/{{/ {ends(c.replace('B', '') or 'T', '}')}{holds} contained")
        w(f"syn region vornGroup{c} matchgroup=vornParen start=/(/ {ends(c, ')')} "
          f"contains=@vornExpression{with_letter(c, 'P')}{contained(c)}")
        # Defined after the group, so that it wins where both start.
        w(f"syn region vornArguments{c} matchgroup=vornParen start=/\\%([^ \\t({{]\\$\\)\\@2<=(/ "
          f"{ends(c, ')')} contains=@vornExpression{arguments_of(c)}{contained(c)}")
        w(f"syn region vornBlock{c} matchgroup=vornBrace start=/{{/ {ends(c, '}')} "
          f"contains=@vornStatements{with_letter(c, 'B')}{contained(c)}")
    for c in STATEMENT_CONTEXTS[1:]:
        w(f"syn cluster vornStatements{c} contains=vornKeyword,vornClassName,vornDefinition,vornAssign,"
          f"@vornAtoms{c}")
    for c in EXPRESSION_CONTEXTS:
        w(f"syn cluster vornExpression{c} contains=vornOperator,@vornAtoms{c}")
    w("")
    for group, target in VIM_LINKS:
        if group == "vornString":
            for c in CONTEXTS:
                for kind in ("Double", "Single", "Parens", "Braces"):
                    if kind == "Parens" and not has(c, "P") or kind == "Braces" and not has(c, "B"):
                        continue
                    w(f"hi def link vornString{kind}{c} vornString")
        w(f"hi def link {group} {target}")
    w("")
    w('let b:current_syntax = "vorn"')
    return "\n".join(out) + "\n"


def main():
    check = "--check" in sys.argv[1:]
    outputs = [(TM_PATH, json.dumps(tm_grammar(), indent=2) + "\n"), (VIM_PATH, vim_syntax())]
    stale = []
    for path, text in outputs:
        current = open(path, encoding="utf-8").read() if os.path.exists(path) else None
        if current == text:
            continue
        if check:
            stale.append(os.path.relpath(path, HERE))
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    if stale:
        print("out of date (run editors/generate_syntax.py): " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
