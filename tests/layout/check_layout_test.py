#!/usr/bin/env python3
"""The layout check finds each kind of miss in a small tree made here, and
passes the same tree once the misses are mended."""
import os
import subprocess
import sys
import tempfile

CHECK = sys.argv[1]


def write(root, path, text=""):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as f:
        f.write(text)


def run(root):
    result = subprocess.run([sys.executable, CHECK, "--root", root, "--max-files", "4"],
                            capture_output=True, text=True)
    return result.returncode, result.stdout


def expect(cond, what, out):
    if not cond:
        print("FAILED:", what, "\n", out)
        sys.exit(1)


with tempfile.TemporaryDirectory() as root:
    # A clean tree: includes from the root and by a layer's name, a generated header.
    write(root, "odbc/data/record.h", '#include "winapi/text.h"\n#include "kelm_version.h"\n')
    write(root, "odbc/data/record.cpp", '#include "odbc/data/record.h"\n')
    write(root, "platform/winapi/text.h")
    write(root, "tests/odbc/x_test.cpp", '#include "odbc/data/record.h"\n')
    for i in range(4):
        write(root, f"charts/views/v{i}.cpp")
    # Five files at one level of a test folder do not count.
    for i in range(5):
        write(root, f"tests/charts/t{i}.cpp")
    rc, out = run(root)
    expect(rc == 0 and out == "", "a clean tree passes", out)

    # Each miss, then its mend.
    write(root, "charts/views/v4.cpp")
    write(root, "odbc/data/values.cpp", '#include "record.h"\n')
    write(root, "platform/dmo/record.h")
    rc, out = run(root)
    expect(rc == 1, "misses fail the check", out)
    expect("charts/views/: 5 source files at one level (at most 4)" in out, "a full folder is named", out)
    expect('odbc/data/values.cpp: #include "record.h" is found only beside the file' in out,
           "a bare include is named", out)
    expect("header name record.h found twice: odbc/data/record.h, platform/dmo/record.h" in out,
           "a header name found twice is named", out)

    os.remove(os.path.join(root, "charts/views/v4.cpp"))
    write(root, "odbc/data/values.cpp", '#include "odbc/data/record.h"\n')
    os.rename(os.path.join(root, "platform/dmo/record.h"), os.path.join(root, "platform/dmo/dmorecord.h"))
    rc, out = run(root)
    expect(rc == 0 and out == "", "the mended tree passes", out)
print("ok")
