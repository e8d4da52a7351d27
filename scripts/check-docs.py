#!/usr/bin/env python3
"""Keeps docs/ true to the tree: every file path and every code name that a
page quotes in backticks must exist in the source tree, and every relative
link must lead to a file.

    check-docs.py [--root DIR] [PAGE_OR_FOLDER ...]

With no pages it reads docs/*.md and README.md under the root. A backticked
text is checked when it is
  - a path (it holds a '/' or ends in a file suffix): it must exist under the
    root (an include in double quotes also under platform/); absolute paths,
    build trees, bare suffixes and placeholders (<tree>) are not ours;
  - a name (C++ identifier, maybe qualified with '::'): it must occur as a word
    in the tree's sources; a class in the suite's style (CName) must be
    declared there (class, struct or alias); a qualified name a::b must occur
    in a file that declares a as a namespace, class or struct.
Exits 1 and names every miss.
"""
import argparse
import os
import re
import sys

# Pages are not sources, nor is the check's own broken fixture.
SKIP_DIRS = {".git", "docs", "var"}
SOURCE_SUFFIXES = {".h", ".cpp", ".cmake", ".txt", ".sh", ".py", ".ini", ".in",
                   ".sql", ".xrc", ""}
FILE_SUFFIX = re.compile(r"\.(h|cpp|cmake|txt|sh|py|ini|in|sql|xrc|md|bcp|dat|wfa|dbf|log|png|svg|supp)$")
NAME = re.compile(r"^[A-Za-z_]\w*(::[A-Za-z_]\w*)*$")
SUITE_CLASS = re.compile(r"^C[A-Z][A-Za-z0-9]*[a-z][A-Za-z0-9]*$")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
LINK = re.compile(r"\]\(([^)\s]+)\)")
FENCE = re.compile(r"^\s*```")


def source_files(root):
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        dirnames[:] = sorted(d for d in dirnames
                             if not (rel == "." and (d in SKIP_DIRS or d.startswith("build")))
                             and not (rel == os.path.join("tests", "docs") and d == "fixtures")
                             and d != ".git")
        for f in filenames:
            if os.path.splitext(f)[1] in SOURCE_SUFFIXES:
                yield os.path.join(dirpath, f)


class Tree:
    def __init__(self, root):
        self.root = root
        self.words = set()
        self.declared = set()
        self.scopes = {}   # namespace or class name -> names occurring in its files
        decl = re.compile(r"\b(?:class|struct|union|enum(?:\s+class)?|namespace)\s+([A-Za-z_][\w:]*)"
                          r"|\busing\s+([A-Za-z_]\w*)\s*=|\btypedef\b[^;]*?\b([A-Za-z_]\w*)\s*;")
        for path in source_files(root):
            try:
                with open(path, encoding="utf-8") as f:
                    text = f.read()
            except (UnicodeDecodeError, OSError):
                continue
            words = set(re.findall(r"[A-Za-z_]\w*", text))
            self.words |= words
            for m in decl.finditer(text):
                for name in (m.group(1) or m.group(2) or m.group(3)).split("::"):
                    if name:
                        self.declared.add(name)
                        self.scopes.setdefault(name, set()).update(words)

    def path_exists(self, path):
        if len(path) > 2 and path[0] == path[-1] == '"':
            # An include as the code writes it: from the root, or a layer's
            # header from platform/.
            path = path[1:-1]
            return any(os.path.exists(os.path.join(self.root, base, path)) for base in ("", "platform"))
        return os.path.exists(os.path.join(self.root, path.rstrip("/")))

    def name_problem(self, name):
        parts = name.split("::")
        for p in parts:
            if p not in self.words:
                return f"name not in the tree: {name}"
        if len(parts) == 1 and SUITE_CLASS.match(name) and name not in self.declared:
            return f"class not declared in the tree: {name}"
        for scope, member in zip(parts, parts[1:]):
            if member not in self.scopes.get(scope, ()):
                return f"{member} not found beside a declaration of {scope}: {name}"
        return None


def is_path(text):
    return "/" in text or FILE_SUFFIX.search(text) is not None


def not_ours(text):
    if text.startswith(".") and "/" not in text:
        return True  # a file suffix, not a file
    return (text.startswith(("/", "~", "$", "-", "http", "build", "<"))
            or any(c in text for c in "<>*{}=% ")
            or "://" in text)


def check_page(page, tree):
    problems = []
    here = os.path.dirname(page)
    in_fence = False
    with open(page, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if FENCE.match(line):
                in_fence = not in_fence
                continue
            if in_fence:
                continue
            where = f"{os.path.relpath(page, tree.root)}:{number}"
            for m in CODE_SPAN.finditer(line):
                text = m.group(2).strip()
                if is_path(text):
                    if not not_ours(text) and not tree.path_exists(text):
                        problems.append(f"{where}: path not in the tree: {text}")
                elif NAME.match(text):
                    problem = tree.name_problem(text)
                    if problem:
                        problems.append(f"{where}: {problem}")
            for m in LINK.finditer(CODE_SPAN.sub("", line)):
                target = m.group(1).split("#")[0]
                if not target or "://" in target or target.startswith("mailto:"):
                    continue
                if not os.path.exists(os.path.join(here, target)):
                    problems.append(f"{where}: link leads nowhere: {target}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("pages", nargs="*")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    pages = []
    readme = os.path.join(root, "README.md")
    defaults = [os.path.join(root, "docs")] + ([readme] if os.path.exists(readme) else [])
    for p in args.pages or defaults:
        if os.path.isdir(p):
            pages += sorted(os.path.join(p, f) for f in os.listdir(p) if f.endswith(".md"))
        elif os.path.exists(p):
            pages.append(p)
        else:
            print(f"no such page: {p}")
            return 1
    tree = Tree(root)
    problems = [problem for page in pages for problem in check_page(page, tree)]
    for problem in problems:
        print(problem)
    print(f"{len(pages)} pages checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
