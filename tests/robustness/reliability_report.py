"""The figures of scripts/reliability.sh: what every test program of the x64
build reported at full size (its gtest summary and FIGURE lines) and what the
fuzzers did, as markdown.

    reliability_report.py --results DIR --command TEXT [--record FILE]

DIR holds <program>.txt (each program's output), exit_codes.tsv (program,
exit status), fuzz.txt (the output of scripts/fuzz.sh) and fuzz_status (its
exit status). --record rewrites
the part of FILE between the two figure markers. Exit status 1 when a
program failed or crashed, a leak check was over its tolerance, or the
fuzzers failed."""

import argparse
import datetime
import os
import re
import subprocess
import sys

BEGIN = "<!-- reliability figures: begin -->"
END = "<!-- reliability figures: end -->"

# Leak checks: FIGURE names with before/after figures.
LEAK_CHECKS = [
    ("menu_cycles", "Create, Initialize, QueryContextMenu, release"),
    ("invoke_unload_cycles", "Load, click, unload during a slow transfer (real library)"),
    ("fault_factory_alloc", "Fault: class factory allocation"),
    ("fault_handler_alloc", "Fault: handler allocation"),
    ("fault_aggregated_handler_alloc", "Fault: aggregated handler allocation"),
    ("fault_job_alloc", "Fault: job block allocation"),
    ("fault_thread_start", "Fault: worker thread start"),
    ("fault_registrar_create", "Fault: registrar creation"),
    ("library_fault_factory_alloc", "Fault in the real library: class factory"),
    ("library_fault_handler_alloc", "Fault in the real library: handler"),
    ("library_fault_job_alloc", "Fault in the real library: job block"),
    ("library_fault_thread_start", "Fault in the real library: worker thread start"),
]

GTEST_RAN = re.compile(r"^\[=+\] (\d+) tests? from \d+ test suites? ran")
GTEST_PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?")
GTEST_FAILED = re.compile(r"^\[  FAILED  \] (\d+) tests?, listed below")
FUZZ_LINE = re.compile(r"^(\w+): (\d+) seeds replayed, (\d+) executions in (\d+) s, no failure")


def read_lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return [line.rstrip("\r\n") for line in f]


def parse_figures(lines):
    """FIGURE lines as (name, {key: value}) in order."""
    figures = []
    for line in lines:
        if not line.startswith("FIGURE "):
            continue
        parts = line.split()
        values = dict(part.split("=", 1) for part in parts[2:] if "=" in part)
        figures.append((parts[1], values))
    return figures


def parse_program(lines, exit_code):
    ran = passed = failed = None
    for line in lines:
        if GTEST_RAN.match(line):
            ran = int(GTEST_RAN.match(line).group(1))
        elif GTEST_PASSED.match(line):
            passed = int(GTEST_PASSED.match(line).group(1))
        elif GTEST_FAILED.match(line):
            failed = int(GTEST_FAILED.match(line).group(1))
    # gtest ends with 0 or 1; anything else, or no summary, is a crash.
    crashed = ran is None or exit_code not in (0, 1)
    return {"ran": ran or 0, "passed": passed or 0, "failed": failed or 0, "crashed": crashed}


def kib(n):
    return f"{int(n) / 1024:,.0f} KiB"


def signed_kib(n):
    n = int(n)
    return ("+" if n > 0 else "") + f"{n / 1024:,.0f} KiB"


def leak_over(values):
    """Whether a leak check's own figures are over its tolerances."""
    return (int(values["private_growth"]) > int(values["private_tolerance"])
            or int(values["crt_blocks_after"]) - int(values["crt_blocks_before"]) > 4
            or int(values["threads_after"]) > int(values["threads_before"]))


def wine_version():
    try:
        return subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True,
                              timeout=10).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return "unknown"


def report(results, command):
    codes = {}
    for line in read_lines(os.path.join(results, "exit_codes.tsv")):
        name, code = line.split("\t")
        codes[name] = int(code)

    programs = {}
    figures = []
    for name in sorted(codes):
        lines = read_lines(os.path.join(results, name + ".txt"))
        programs[name] = parse_program(lines, codes[name])
        figures += parse_figures(lines)
    by_name = {}
    for name, values in figures:
        by_name.setdefault(name, []).append(values)

    # A run without a single fuzz result failed to fuzz, whatever the reason:
    # fuzz.sh that never ran, could not build, or ended with a failure.
    fuzz = []
    fuzz_failed = False
    fuzz_path = os.path.join(results, "fuzz.txt")
    if os.path.exists(fuzz_path):
        for line in read_lines(fuzz_path):
            match = FUZZ_LINE.match(line)
            if match:
                fuzz.append(match.groups())
            elif "FAILED" in line:
                fuzz_failed = True
    status_path = os.path.join(results, "fuzz_status")
    if not fuzz or not os.path.exists(status_path) or read_lines(status_path)[:1] != ["0"]:
        fuzz_failed = True

    out = []
    out.append(f"Run on {datetime.date.today().isoformat()} with `{command}` "
               f"(x64 test build under {wine_version()}, full sizes: `KESTRUN_FULL=1`).")
    out.append("")

    cases = sum(int(v["cases"]) for v in by_name.get("hostile_cases", []))
    tests = sum(p["ran"] for p in programs.values())
    cycles = sum(int(v["cycles"]) for name, _ in LEAK_CHECKS for v in by_name.get(name, []))
    operations = sum(int(v["operations"]) for v in by_name.get("factory_race", []))
    executions = sum(int(f[2]) for f in fuzz)
    leaks = sum(1 for name, _ in LEAK_CHECKS for v in by_name.get(name, []) if leak_over(v))
    crashes = sum(1 for p in programs.values() if p["crashed"])
    failures = sum(p["failed"] for p in programs.values())

    out.append("| Total | Figure |")
    out.append("|---|---|")
    out.append(f"| Tests run (every test program of the x64 build) | {tests:,} ({failures} failed) |")
    out.append(f"| Hostile cases tried (tables of the extension's entry points) | {cases:,} |")
    out.append(f"| Leak-checked cycles | {cycles:,} |")
    out.append(f"| Racing operations on the exports and the factory | {operations:,} |")
    out.append(f"| Fuzz executions | {executions:,} |")
    out.append(f"| Leaks found | {leaks} |")
    out.append(f"| Crashes found | {crashes} |")
    out.append("")

    out.append("| Test program | Tests | Passed | Failed | Crashed |")
    out.append("|---|---:|---:|---:|---|")
    for name, p in sorted(programs.items()):
        out.append(f"| {name} | {p['ran']} | {p['passed']} | {p['failed']} | {'yes' if p['crashed'] else 'no'} |")
    out.append("")

    out.append("Hostile cases by table: " + ", ".join(
        f"{v['table']} {v['cases']}" for v in by_name.get("hostile_cases", [])) + ".")
    platform = [v for v in by_name.get("hostile_cases", []) if "platform_answers" in v]
    if platform:
        out.append("")
        out.append("The profile reader's answers for the forms it defines (in the order of "
                   "`settings_file_test.cpp`): " + platform[0]["platform_answers"].replace(",", ", ") + ".")
    out.append("")

    out.append("| Leak check | Cycles | Private bytes before → after (growth; tolerance) | Handles before → after "
               "| Threads before → after | Heap blocks before → after |")
    out.append("|---|---:|---|---|---|---|")
    for name, title in LEAK_CHECKS:
        for v in by_name.get(name, []):
            out.append(f"| {title} | {int(v['cycles']):,} | {kib(v['private_before'])} → {kib(v['private_after'])} "
                       f"({signed_kib(v['private_growth'])}; {kib(v['private_tolerance'])}) "
                       f"| {v['handles_before']} → {v['handles_after']} "
                       f"| {v['threads_before']} → {v['threads_after']} "
                       f"| {v['crt_blocks_before']} → {v['crt_blocks_after']} |")
    out.append("")

    for v in by_name.get("invoke_unload_linger", []):
        out.append(f"Invoke-and-unload: {int(v['cycles']):,} cycles, the host unloaded the library during the "
                   f"transfer in {int(v['unloaded_during_transfer']):,}; the longest a library or worker stayed "
                   f"after its transfer was {v['longest_linger_ms']} ms (bound {v['bound_ms']} ms).")
    for v in by_name.get("factory_race", []):
        out.append(f"Factory race: {v['threads']} threads, {int(v['operations']):,} operations in {v['ms']} ms; "
                   f"{v['factories']} factory, module lock count {v['lock_count_after']} afterwards.")
    for v in by_name.get("concurrent_clicks", []):
        if "host_threads" in v:
            out.append(f"Concurrent clicks: {v['host_threads']} host threads clicking at once gave "
                       f"{v['transfers']} transfers, each path and address intact.")
        else:
            out.append(f"Concurrent clicks: {v['distinct_addresses']} clicks with {v['distinct_addresses']} "
                       f"different addresses gave {v['transfers']} transfers, each with its own.")
    out.append("")

    if fuzz:
        out.append("| Fuzz target | Seeds replayed | Executions | Seconds |")
        out.append("|---|---:|---:|---:|")
        for target, seeds, execs, seconds in fuzz:
            out.append(f"| {target} | {seeds} | {int(execs):,} | {seconds} |")
    else:
        out.append("No fuzz pass in this run: that is a failure.")

    ok = failures == 0 and crashes == 0 and leaks == 0 and not fuzz_failed
    return "\n".join(out) + "\n", ok


def record(path, text):
    with open(path, encoding="utf-8") as f:
        document = f.read()
    start = document.index(BEGIN) + len(BEGIN)
    end = document.index(END)
    with open(path, "w", encoding="utf-8") as f:
        f.write(document[:start] + "\n" + text + document[end:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--results", required=True)
    parser.add_argument("--command", required=True)
    parser.add_argument("--record")
    args = parser.parse_args()
    text, ok = report(args.results, args.command)
    sys.stdout.write(text)
    if args.record and ok:
        record(args.record, text)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
