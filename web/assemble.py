#!/usr/bin/env python3
"""Writes the playground's data files into the output folder:

  examples.json    the examples menu: the README's tour, the guide's tour
                   and its cookbook (each ```vorn block of those sections,
                   titled by its heading or the paragraph before it)
  lib-files.json   the names of lib/'s files and a version of their content,
                   so that the worker knows when the site's lib/ changed

    web/assemble.py SOURCE_FOLDER OUTPUT_FOLDER
"""
import hashlib
import json
import os
import re
import sys


def readme_tour(readme):
    """The program the README asks to save as tour.VORN (an indented block)."""
    lines = readme.split("\n")
    for i, line in enumerate(lines):
        if "tour.VORN" in line and "Save this" in " ".join(lines[max(0, i - 1):i + 1]):
            block = []
            j = i + 1
            while j < len(lines) and not lines[j].startswith("    "):
                j += 1
            while j < len(lines) and (lines[j].startswith("    ") or lines[j] == ""):
                block.append(lines[j][4:])
                j += 1
            return "\n".join(block).strip("\n") + "\n"
    return None


def sections(markdown, level):
    """(heading, body) of each heading of the given level."""
    marker = "#" * level + " "
    heading, body = None, []
    for line in markdown.split("\n"):
        if line.startswith(marker) or (line.startswith("#") and len(line) - len(line.lstrip("#")) < level):
            if heading is not None:
                yield heading, "\n".join(body)
            heading = line[len(marker):].strip() if line.startswith(marker) else None
            body = []
        elif heading is not None:
            body.append(line)
    if heading is not None:
        yield heading, "\n".join(body)


def titled_blocks(body, default_title):
    """Each ```vorn block with a title: the ### heading above it, else the
    first sentence of the paragraph before it."""
    results = []
    subheading = None
    paragraph = []
    lines = body.split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("### "):
            subheading = line[4:].strip()
            paragraph = []
        elif line.strip() == "```vorn":
            code = []
            i += 1
            while i < len(lines) and lines[i].strip() != "```":
                code.append(lines[i])
                i += 1
            text = " ".join(paragraph).strip()
            sentence = re.split(r"(?<=[.:])\s", text)[0].rstrip(".:") if text else ""
            sentence = re.sub(r"[`*]", "", sentence)
            if len(sentence) > 48:
                sentence = sentence[:45].rstrip() + "…"
            title = subheading or sentence or default_title
            results.append((title, "\n".join(code) + "\n"))
            paragraph = []
        elif line.strip() == "":
            if paragraph and not lines[i - 1].strip() == "":
                pass
        elif line.startswith("```"):
            # another fence (expected output): skip it whole
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                i += 1
        else:
            if i > 0 and lines[i - 1].strip() == "":
                paragraph = []
            paragraph.append(line.strip())
        i += 1
    return results


def examples(source):
    found = []
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        tour = readme_tour(f.read())
    if tour:
        found.append({"title": "A two-minute tour (README)", "code": tour})
    with open(os.path.join(source, "docs", "guide.md"), encoding="utf-8") as f:
        guide = f.read()
    for heading, body in sections(guide, 2):
        name = re.sub(r"^\d+\.\s*", "", heading)
        if name.lower() == "a tour":
            prefix = "Tour: "
        elif "cookbook" in name.lower():
            prefix = "Cookbook: "
        else:
            continue
        for title, code in titled_blocks(body, name):
            found.append({"title": prefix + title, "code": code})
    return found


def library_index(source):
    folder = os.path.join(source, "lib")
    names = sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))
    digest = hashlib.sha256()
    for name in names:
        digest.update(name.encode() + b"\0")
        with open(os.path.join(folder, name), "rb") as f:
            digest.update(f.read() + b"\0")
    return {"version": digest.hexdigest()[:16], "names": names}


def main():
    source, out = sys.argv[1], sys.argv[2]
    with open(os.path.join(out, "examples.json"), "w", encoding="utf-8") as f:
        json.dump(examples(source), f, ensure_ascii=False, indent=1)
    with open(os.path.join(out, "lib-files.json"), "w", encoding="utf-8") as f:
        json.dump(library_index(source), f)


if __name__ == "__main__":
    main()
