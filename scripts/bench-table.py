#!/usr/bin/env python3
"""Prints the suite's standing from one run of every benchmark: a row per
hot path with our median, the baseline's median (each with the spread of its
repetitions, smallest to largest), their ratio, the goal and whether it is met.

    bench-table.py [FOLDER]

FOLDER holds one Google Benchmark JSON file per program, named after it
(bench_chart.json, ...), as `BENCH=1 ./test.sh` writes them into
build-bench/bench-results/ (the default). Each figure is the "median"
aggregate of a benchmark's repetitions, its spread the "min" and "max"
aggregates; a benchmark run once stands for itself. Times are the real (or
manual) time where the benchmark asks for it, else its CPU time, in
milliseconds. A row whose benchmark is missing or failed says "not run";
a row without a written goal shows "—".
"""
import argparse
import json
import os
import re
import statistics
import sys

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# Parts of a run's name that say how it was run rather than what it runs.
RUN_OPTION = re.compile(r"^(min_time|min_warmup_time|iterations|repeats|threads):|^(manual_time|real_time)$")


class Figure:
    """A benchmark's median with its spread, in milliseconds (or counts)."""

    def __init__(self, median, low, high):
        self.median, self.low, self.high = median, low, high


class Results:
    """Every benchmark of a folder of JSON files, by program and name."""

    def __init__(self, folder):
        self.runs = {}  # (program, name) -> {"iterations": [...], "aggregates": {...}, "error": str}
        self.loads = []
        for file in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            if not file.endswith(".json"):
                continue
            program = file[:-len(".json")]
            try:
                with open(os.path.join(folder, file), encoding="utf-8") as f:
                    data = json.load(f)
            except (OSError, ValueError) as e:
                print(f"bench-table: {file}: {e}", file=sys.stderr)
                continue
            load = data.get("context", {}).get("load_avg")
            if load:
                self.loads.append(load[0])
            for entry in data.get("benchmarks", []):
                self._add(program, entry)

    def _add(self, program, entry):
        run_name = entry.get("run_name", entry.get("name", ""))
        parts = run_name.split("/")
        timed_by_clock = "manual_time" in parts or "real_time" in parts
        name = "/".join(p for p in parts if not RUN_OPTION.match(p))
        run = self.runs.setdefault((program, name), {"iterations": [], "aggregates": {}, "error": None})
        if entry.get("error_occurred"):
            run["error"] = entry.get("error_message") or "failed"
            return
        scale = TO_MS.get(entry.get("time_unit", "ns"), 1e-6)
        values = dict(entry)
        values["time"] = entry.get("real_time" if timed_by_clock else "cpu_time", 0) * scale
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_unit", "time") == "time":
                run["aggregates"][entry.get("aggregate_name")] = values
        else:
            run["iterations"].append(values)

    def figure(self, program, name, key="time"):
        """The median and spread of one benchmark's time or counter; None when
        it did not run or failed."""
        run = self.runs.get((program, name))
        if not run or run["error"] or not run["iterations"]:
            return None
        aggregates = run["aggregates"]
        values = [v[key] for v in run["iterations"] if key in v]
        if not values:
            return None

        def pick(stat, fallback):
            entry = aggregates.get(stat)
            return entry[key] if entry and key in entry else fallback(values)

        return Figure(pick("median", statistics.median), pick("min", min), pick("max", max))

    def error(self, program, name):
        run = self.runs.get((program, name))
        return run["error"] if run else None


# What each row compares. kind: "ratio" (ours over the baseline), "growth"
# (the 4x size over the 1x size of one benchmark), "difference" (ours less
# the baseline, in ms) or "count" (a counter of ours against a limit).
# A baseline given as (name, counter) reads that counter of a benchmark, in
# milliseconds.
ROWS = [
    dict(path="integrity check 1x→4x", program="bench_chart", kind="growth",
         ours="BM_ChartCheck/4", base="BM_ChartCheck/1", limit=4.4, ours_under_ms=25),
    dict(path="diagram archive load 1x→4x", program="bench_diagram", kind="growth",
         ours="BM_Load/4", base="BM_Load/1", limit=4.4),
    dict(path="diagram archive save 1x→4x", program="bench_diagram", kind="growth",
         ours="BM_Save/4", base="BM_Save/1", limit=4.4),
    dict(path="chart first save 1x vs psql INSERTs", program="bench_chart", kind="ratio",
         ours="BM_ChartFirstSave/1", base="BM_PsqlInsertsOfTheSameRows/1", limit=2),
    dict(path="chart first save 4x vs psql INSERTs", program="bench_chart", kind="ratio",
         ours="BM_ChartFirstSave/4", base="BM_PsqlInsertsOfTheSameRows/4", limit=2),
    dict(path="chart first save 1x→4x", program="bench_chart", kind="growth",
         ours="BM_ChartFirstSave/4", base="BM_ChartFirstSave/1", limit=4.4),
    dict(path="CRC-32 in memory vs zlib", program="bench_installer", kind="ratio",
         ours="BM_Crc32", base="BM_ZlibCrc32", limit=1.1),
    dict(path="CRC-32 of a file vs zlib", program="bench_installer", kind="ratio",
         ours="BM_Crc32File", base="BM_ZlibCrc32File", limit=1.1),
    dict(path="CRC-32 another polynomial", program="bench_installer", kind="ratio",
         ours="BM_Crc32OtherPolynomial", base="BM_Crc32", limit=1.1),
    dict(path="packed entry 100 MB vs zlib inflate", program="bench_installer", kind="ratio",
         ours="BM_PackedEntry", base="BM_ZlibInflate", limit=1.15),
    dict(path="engine fetch PG 10k vs raw ODBC", program="bench_odbc_fetch", kind="ratio",
         ours="engine/pg/10000", base="raw/pg/10000", limit=1.1),
    dict(path="engine fetch PG 1M vs raw ODBC", program="bench_odbc_fetch", kind="ratio",
         ours="engine/pg/1000000", base="raw/pg/1000000", limit=1.1),
    dict(path="Dorvik Script step vs libpq", program="bench_dorvik_kit", kind="difference",
         ours="BM_DorvikScriptStep", base="BM_LibpqStatement", limit=3),
    dict(path="demo kit install vs psql", program="bench_dorvik_kit", kind="ratio",
         ours="BM_DorvikDemoKit", base="BM_PsqlDemoKit", limit=1.1),
    dict(path="process group expansion 500 vs one join", program="bench_tree", kind="ratio",
         ours="BM_ExpandGroup", base="BM_OneJoinQuery", limit=5),
    dict(path="INI reads 10k keys vs wxFileConfig parsed once", program="bench_ini", kind="ratio",
         ours="BM_GetPrivateProfileString", base="BM_wxFileConfig_ParsedAhead", limit=2),
    dict(path="INI: one stat() per read vs wxFileConfig parsed once", program="bench_ini", kind="ratio",
         ours="BM_stat_OnePerRead", base="BM_wxFileConfig_ParsedAhead"),
    dict(path="INI: one system call per read vs wxFileConfig parsed once", program="bench_ini", kind="ratio",
         ours="BM_syscall_OnePerRead", base="BM_wxFileConfig_ParsedAhead"),
    dict(path="Tarnwick start: odbc.ini opens", program="bench_tarnwick_start", kind="count",
         ours="BM_TarnwickStartConnect", base="BM_DriverManagerConnect", counter="odbc_ini_opens", limit=2),
    dict(path="ADO reads 100k SQLite vs raw ODBC", program="bench_ado", kind="ratio",
         ours="BM_SqliteAdo", base="BM_SqliteOdbc"),
    dict(path="ADO reads 100k PG vs raw ODBC", program="bench_ado", kind="ratio",
         ours="BM_PostgresAdo", base="BM_PostgresOdbc"),
    dict(path="DBF export 1M vs psql CSV", program="bench_dbf", kind="ratio",
         ours="BM_ExportToDbf", base="BM_PsqlCsv"),
    dict(path="DBF export 1M (cursor fetch) vs psql CSV", program="bench_dbf", kind="ratio",
         ours="BM_ExportToDbfCursorFetch", base="BM_PsqlCsv"),
    dict(path="bulk load 1M vs psql \\copy", program="bench_bulkload", kind="ratio",
         ours="BM_LoadBcp", base="BM_PsqlCopy", limit=1.2),
    dict(path="repaint of a 60k chart 1x→4x (flat)", program="bench_diagram", kind="growth",
         ours="BM_Repaint/4", base="BM_Repaint/1", limit=1.25),
    dict(path="open a 1,000-state chart vs its load", program="bench_open_chart", kind="ratio",
         ours="BM_OpenChartToFirstPaint", base="BM_LoadChartModel"),
    dict(path="setup -s vs cp -r", program="bench_setup", kind="ratio",
         ours="BM_SetupBesideCopy", base=("BM_SetupBesideCopy", "cp_ms"), limit=2),
    dict(path="uninstall -s vs rm -r", program="bench_setup", kind="ratio",
         ours="BM_UninstallBesideRemove", base=("BM_UninstallBesideRemove", "rm_ms"), limit=2),
    dict(path="start window shown vs a plain frame", program="bench_start", kind="ratio",
         ours="BM_StartWindowShown", base="BM_PlainFrameShown"),
    dict(path="folder chooser, 10,000 folders vs std::filesystem", program="bench_wizard", kind="ratio",
         ours="BM_ChooserExpandsFolderOf10000", base="BM_FilesystemListsFolderOf10000"),
    dict(path="object tree, owner of 10,000 tables vs SQLTables", program="bench_odbc_tree", kind="ratio",
         ours="tree/expand_owner_10000", base="raw/SQLTables_10000"),
    dict(path="login list of 500 data sources vs SQLDataSources", program="bench_odbc_tree", kind="ratio",
         ours="login/list500", base="raw/SQLDataSources500"),
    dict(path="structure sync, 200 tables vs psql ALTER", program="bench_dorvik_db", kind="ratio",
         ours="BM_SyncDBs/200", base="BM_PsqlAlterChanged/200"),
    dict(path="restore permissions, 1000 tables vs psql", program="bench_dorvik_db", kind="ratio",
         ours="BM_RestorePermissions/1000", base="BM_PsqlGrants/1000"),
] + [
    dict(path=f"wizard page {page} vs bare page", program="bench_wizard_pages", kind="ratio",
         ours=f"BM_PageShown/{page}", base=f"BM_BarePageShown/{page}")
    for page in ("start", "licence", "login", "database", "patch", "end")
]


def ms(value):
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    if value >= 1:
        return f"{value:.2f}"
    return f"{value:.3g}"


def shown(fig, unit=" ms"):
    if fig is None:
        return "not run"
    if not unit:
        return f"{fig.median:g} ({fig.low:g}–{fig.high:g})"
    if fig.median < 1 and unit == " ms":
        return f"{ms(fig.median * 1000)} µs ({ms(fig.low * 1000)}–{ms(fig.high * 1000)})"
    return f"{ms(fig.median)}{unit} ({ms(fig.low)}–{ms(fig.high)})"


def limit_text(value):
    return f"{value:g}"


def judge(row, results):
    """The row's cells: ours, baseline, ratio, goal, met."""
    program, limit = row["program"], row.get("limit")
    counter = row.get("counter")
    key = counter or "time"
    unit = "" if counter else " ms"
    ours = results.figure(program, row["ours"], key)
    baseline = row["base"]
    if isinstance(baseline, tuple):
        base = results.figure(program, baseline[0], baseline[1])
    else:
        base = results.figure(program, baseline, key)

    kind = row["kind"]
    if kind == "growth":
        goal = f"≤ {limit_text(limit)}x" if limit is not None else "—"
        if row.get("ours_under_ms") is not None:
            goal += f", 4x < {limit_text(row['ours_under_ms'])} ms"
    elif kind == "difference":
        goal = f"≤ {limit_text(limit)} ms beyond" if limit is not None else "—"
    elif kind == "count":
        goal = f"≤ {limit_text(limit)}" if limit is not None else "—"
    else:
        goal = f"≤ {limit_text(limit)}x" if limit is not None else "—"

    ours_text, base_text = shown(ours, unit), shown(base, unit)
    if ours is None:
        why = results.error(program, row["ours"])
        return f"not run{': ' + why if why else ''}", base_text, "—", goal, "not run"
    if kind == "count":
        met = "—" if limit is None else ("yes" if ours.median <= limit else "NO")
        return ours_text, base_text, "—", goal, met
    if base is None:
        return ours_text, "not run", "—", goal, "not run"
    if kind == "difference":
        diff = ours.median - base.median
        ratio_text = f"+{ms(diff)} ms" if diff >= 0 else f"−{ms(-diff)} ms"
        met = "—" if limit is None else ("yes" if diff <= limit else "NO")
        return ours_text, base_text, ratio_text, goal, met
    if base.median <= 0:
        return ours_text, base_text, "—", goal, "not run"
    ratio = ours.median / base.median
    met = "—"
    if limit is not None:
        ok = ratio <= limit
        if row.get("ours_under_ms") is not None:
            ok = ok and ours.median < row["ours_under_ms"]
        met = "yes" if ok else "NO"
    return ours_text, base_text, f"{ratio:.2f}x" if ratio >= 0.01 else f"{ratio:.2g}x", goal, met


def table(results):
    header = ("path", "ours", "baseline", "ratio", "goal", "met")
    lines = [header, tuple("---" for _ in header)]
    for row in ROWS:
        lines.append((row["path"],) + judge(row, results))
    return "\n".join("| " + " | ".join(cells) + " |" for cells in lines)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default=os.path.join(here, "..", "build-bench", "bench-results"))
    args = parser.parse_args(argv)
    if not os.path.isdir(args.folder):
        print(f"bench-table: no folder {args.folder}; run BENCH=1 ./test.sh or BENCH=only ./test.sh first",
              file=sys.stderr)
        return 2
    results = Results(args.folder)
    print(table(results))
    if results.loads:
        print(f"\nload average (1 min) when the programs started: "
              f"{min(results.loads):.2f}–{max(results.loads):.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
