#!/usr/bin/env python3
"""Keeps the suite's display-free libraries free of the window toolkit.

    check-core-wx.py --root DIR [--targets FILE] [FOLDER ...]

Reads every file of each FOLDER (relative to the root; editor's core folders
when none is given) and every source of the targets FILE lists (lines of
"target<TAB>source dir<TAB>source;source;..." as the build writes them), and
follows their quoted includes through the tree. Any `#include <wx/...>` met on
the way is a fault: it names the file, the line and how it was reached, and
the check exits 1.
"""
import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"]+)[>"]', re.M)
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")


class Checker:
    def __init__(self, root):
        self.root = os.path.abspath(root)
        # The include roots the libraries use: the tree and platform/.
        self.bases = [self.root, os.path.join(self.root, "platform")]
        self.seen = set()
        self.faults = []

    def resolve(self, name, including):
        for base in [os.path.dirname(including)] + self.bases:
            path = os.path.normpath(os.path.join(base, name))
            if os.path.isfile(path):
                return path
        return None  # a system or generated header: not ours to read

    def check(self, path, chain):
        path = os.path.abspath(path)
        if path in self.seen or not path.endswith(SUFFIXES):
            return
        self.seen.add(path)
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError:
            return
        here = chain + [os.path.relpath(path, self.root)]
        for match in INCLUDE.finditer(text):
            kind, name = match.groups()
            if kind == "<" and name.startswith("wx/"):
                line = text.count("\n", 0, match.start()) + 1
                self.faults.append("%s:%d: includes <%s> (%s)" %
                                   (here[-1], line, name, " <- ".join(reversed(here))))
            elif kind == '"':
                found = self.resolve(name, path)
                if found:
                    self.check(found, here)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--targets")
    parser.add_argument("folders", nargs="*")
    args = parser.parse_args()
    checker = Checker(args.root)

    folders = args.folders
    if not folders and not args.targets:
        editor = os.path.join(checker.root, "editor")
        folders = sorted(os.path.join("editor", d, "core") for d in os.listdir(editor)
                         if os.path.isdir(os.path.join(editor, d, "core")))
    count = 0
    for folder in folders:
        top = os.path.join(checker.root, folder)
        if not os.path.isdir(top):
            print("no such folder: %s" % folder, file=sys.stderr)
            return 2
        for dirpath, dirnames, filenames in os.walk(top):
            dirnames.sort()
            for name in sorted(filenames):
                checker.check(os.path.join(dirpath, name), [folder])
                count += 1
    if args.targets:
        with open(args.targets, encoding="utf-8") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                if len(parts) != 3:
                    continue
                target, source_dir, sources = parts
                for source in filter(None, sources.split(";")):
                    path = source if os.path.isabs(source) else os.path.join(source_dir, source)
                    checker.check(path, [target])
                    count += 1

    for fault in checker.faults:
        print(fault)
    print("%d files read, %d includes of wx" % (count, len(checker.faults)))
    return 1 if checker.faults else 0


if __name__ == "__main__":
    sys.exit(main())
