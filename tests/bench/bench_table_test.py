#!/usr/bin/env python3
"""scripts/bench-table.py over a small folder of benchmark results: each
row's verdict from medians (not means or single outliers), in the right time
field and unit, and "not run" where a benchmark is missing or failed."""
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "bench-table.py")
FIXTURE = os.path.join(HERE, "fixtures", "results")


def rows(text):
    """The printed table as {path: (ours, baseline, ratio, goal, met)}."""
    table = {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 6 and cells[0] not in ("path", "---"):
            table[cells[0]] = tuple(cells[1:])
    return table


class BenchTable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        run = subprocess.run([sys.executable, SCRIPT, FIXTURE], capture_output=True, text=True, check=True)
        cls.output = run.stdout
        cls.table = rows(run.stdout)

    def test_verdicts(self):
        cases = [
            # path, ratio, met
            # Grows 3.4x, but its 4x median is 28 ms: over the 25 ms it may take.
            ("integrity check 1x→4x", "3.41x", "NO"),
            ("chart first save 1x vs psql INSERTs", "1.50x", "yes"),
            ("chart first save 4x vs psql INSERTs", "2.50x", "NO"),
            ("chart first save 1x→4x", "5.00x", "NO"),
            # CPU time of a benchmark timed by CPU, in µs beside one in ms.
            ("CRC-32 in memory vs zlib", "1.05x", "yes"),
            ("CRC-32 another polynomial", "1.43x", "NO"),
            # Real time where the run's name says so (its CPU time is a tenth).
            ("packed entry 100 MB vs zlib inflate", "1.05x", "yes"),
            ("Dorvik Script step vs libpq", "+2.50 ms", "yes"),
            ("Tarnwick start: odbc.ini opens", "—", "yes"),
            # A baseline read from a counter of the same benchmark.
            ("setup -s vs cp -r", "1.50x", "yes"),
            ("uninstall -s vs rm -r", "3.00x", "NO"),
            # No goal written: the ratio alone.
            ("ADO reads 100k SQLite vs raw ODBC", "1.30x", "—"),
        ]
        for path, ratio, met in cases:
            with self.subTest(path=path):
                self.assertIn(path, self.table)
                self.assertEqual(self.table[path][2], ratio)
                self.assertEqual(self.table[path][4], met)

    def test_missing_or_failed_benchmarks_are_not_run(self):
        for path in ("CRC-32 of a file vs zlib",  # absent from its program's file
                     "engine fetch PG 10k vs raw ODBC",  # no file for its program
                     "ADO reads 100k PG vs raw ODBC"):  # its baseline failed
            with self.subTest(path=path):
                self.assertEqual(self.table[path][4], "not run")
                self.assertEqual(self.table[path][2], "—")

    def test_figures_show_median_and_spread(self):
        ours, base, *_ = self.table["integrity check 1x→4x"]
        self.assertEqual(ours, "28.0 ms (26.0–29.0)")
        # The 30 ms outlier is in the spread, not in the figure.
        self.assertEqual(base, "8.20 ms (7.50–30.0)")
        self.assertEqual(self.table["Dorvik Script step vs libpq"][1], "40.0 µs (38.0–42.0)")
        self.assertEqual(self.table["Tarnwick start: odbc.ini opens"][:2], ("1 (1–1)", "40 (40–41)"))
        self.assertIn("load average (1 min) when the programs started: 1.50–1.50", self.output)

    def test_a_missing_folder_fails(self):
        run = subprocess.run([sys.executable, SCRIPT, os.path.join(FIXTURE, "nothing-here")],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 2)
        self.assertIn("no folder", run.stderr)


if __name__ == "__main__":
    unittest.main()
