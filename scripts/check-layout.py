#!/usr/bin/env python3
"""Keeps the tree's layout as docs/architecture.md describes it.

    check-layout.py [--root DIR] [--max-files N]

Fails (exit 1, naming each miss) when
  - a folder of the suite's code (platform/, profile/, odbc/, charts/,
    editor/, installer/, setup/, start/ and everything below them) holds more
    than N source files (.h, .cpp, .c) at one level;
  - a quoted include does not name its header from the root or, for a
    platform layer, by the layer's name ("odbc/data/x.h", "winapi/text.h"),
    i.e. it is found only beside the including file. An include found nowhere
    in the tree is a generated header and is left alone;
  - two headers that code can include share a file name.
"""
import argparse
import os
import re
import sys

CODE_FOLDERS = ["platform", "profile", "odbc", "charts", "editor", "installer", "setup", "start"]
INCLUDE_ROOTS = ["", "platform"]
SOURCE = (".h", ".cpp", ".c")
SKIP_DIRS = {".git", "var", "node_modules"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def walk(root):
    for here, dirs, files in os.walk(root):
        rel = os.path.relpath(here, root)
        dirs[:] = sorted(d for d in dirs
                         if d not in SKIP_DIRS and not d.startswith("build")
                         and not (rel == "tests/layout" and d == "fixtures"))
        yield ("" if rel == "." else rel), sorted(files)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--max-files", type=int, default=30)
    args = parser.parse_args()
    root = os.path.abspath(args.root)

    misses = []
    headers = {}
    sources = []
    for rel, files in walk(root):
        code = [f for f in files if f.endswith(SOURCE)]
        top = rel.split(os.sep)[0] if rel else ""
        if top in CODE_FOLDERS and len(code) > args.max_files:
            misses.append(f"{rel}/: {len(code)} source files at one level (at most {args.max_files})")
        for f in code:
            path = os.path.join(rel, f) if rel else f
            sources.append(path)
            if f.endswith(".h"):
                headers.setdefault(f, []).append(path)

    for name, paths in sorted(headers.items()):
        if len(paths) > 1:
            misses.append(f"header name {name} found twice: {', '.join(paths)}")

    for path in sources:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for include in INCLUDE.findall(text):
            from_root = any(os.path.isfile(os.path.join(root, base, include)) for base in INCLUDE_ROOTS)
            beside = os.path.isfile(os.path.join(root, os.path.dirname(path), include))
            if beside and not from_root:
                misses.append(f"{path}: #include \"{include}\" is found only beside the file; "
                              f"name it from the root")

    for miss in misses:
        print(miss)
    return 1 if misses else 0


if __name__ == "__main__":
    sys.exit(main())
