"""The table of scripts/bench.sh: the figures the benchmark programs printed
(their FIGURE lines), the footprint of the i686 deliverables, and the machine
they ran on. Figures that no benchmark measures yet keep a marked row.

    bench_report.py --figures FILE --i686-bin DIR --x64-bin DIR --command TEXT
                    [--record docs/PERFORMANCE.md]

--record rewrites the part of that file between the two bench markers."""

import argparse
import datetime
import os
import platform
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "static"))
from pe_image import PeImage  # noqa: E402
from deliverable_checks import SYSTEM_DLLS  # noqa: E402

# Figures of the performance goals, in order; a benchmark's FIGURE id starts
# with one of these numbers ("4a" belongs to 4).
FIGURES = [
    ("1", "Right-click on a non-image"),
    ("2", "Selection size"),
    ("3", "Click latency"),
    ("4", "Launcher start"),
    ("5", "Factory fast path"),
    ("6", "Footprint of the i686 deliverables"),
]

# Stripped deliverables of the 32-bit build, their size limits, machines and
# whether they bind the boot library.
# Kestrun.exe's 16 KiB left 12 bytes of code: the expansion of an expandable
# registration took it into the next 512-byte unit. Kestrun_Tool64.dll holds
# a second class, the packaged verb.
DELIVERABLES = [
    ("Kestrun.exe", 17 * 1024, "i386", True),
    ("KestrunBoot.exe", 24 * 1024, "i386", False),
    ("Kestrun_Tool.dll", 32 * 1024, "i386", True),
    ("Kestrun_Tool64.dll", 36 * 1024, "amd64", False),
]

BEGIN_MARK = "<!-- bench:begin -->"
END_MARK = "<!-- bench:end -->"


class Row:
    def __init__(self, figure, measured, subject, baseline, ratio, goal, result):
        self.figure, self.measured, self.subject, self.baseline = figure, measured, subject, baseline
        self.ratio, self.goal, self.result = ratio, goal, result


def format_ratio(ratio, low, high):
    """The median ratio with its quartiles; ratios far below 1 (a click
    against a whole transfer) keep three significant digits."""
    if ratio < 0.1:
        return "%.3g (%.3g to %.3g)" % (ratio, low, high)
    return "%.3f (%.2f to %.2f)" % (ratio, low, high)


def parse_figures(lines):
    """Rows from the FIGURE lines of the benchmarks' output; other lines are
    ignored. A line with the wrong number of fields raises ValueError."""
    rows = []
    for line in lines:
        line = line.rstrip("\r\n")
        if not line.startswith("FIGURE\t"):
            continue
        fields = line.split("\t")
        if len(fields) != 11:
            raise ValueError("malformed figure line: %r" % line)
        _, figure, what, subject, subject_ms, baseline, baseline_ms, ratio, low, high, goal = fields
        ratio, goal = float(ratio), float(goal)
        met = None if goal <= 0 else ratio <= goal
        rows.append(Row(
            figure, what,
            "%s: %.2f ms" % (subject, float(subject_ms)),
            "%s: %.2f ms" % (baseline, float(baseline_ms)),
            format_ratio(ratio, float(low), float(high)),
            "at most %.2f" % goal if met is not None else "none",
            "information" if met is None else ("met" if met else "NOT MET")))
    return rows


def is_stripped(image):
    pe = struct.unpack_from("<I", image.data, 0x3C)[0]
    symbol_table, symbols = struct.unpack_from("<II", image.data, pe + 4 + 8)
    return symbol_table == 0 and symbols == 0


def footprint_rows(i686_bin):
    """Size and imports of each i686 deliverable; a marked row for one that is
    not built."""
    rows = []
    for name, limit, machine, binds_boot_library in DELIVERABLES:
        kind = "i686" if machine == "i386" else "x86-64"
        path = os.path.join(i686_bin, name)
        if not os.path.exists(path):
            rows.append(Row("6", "%s, %s, stripped" % (name, kind), "not built yet", "", "", "", "later"))
            continue
        image = PeImage(path)
        size = os.path.getsize(path)
        ok = size <= limit and is_stripped(image) and image.machine == machine
        rows.append(Row(
            "6", "%s, %s, stripped" % (name, kind),
            "%d bytes (%.1f KiB)%s" % (size, size / 1024.0, "" if is_stripped(image) else ", NOT STRIPPED"),
            "limit %d bytes (%d KiB)" % (limit, limit // 1024),
            "%.3f" % (size / float(limit)), "at most 1.00", "met" if ok else "NOT MET"))
        dlls = sorted(image.imports(), key=str.lower)
        allowed = SYSTEM_DLLS | ({"lorvane.dll"} if binds_boot_library else set())
        foreign = [d for d in dlls if d.lower() not in allowed]
        rows.append(Row(
            "6", "%s imports" % name, ", ".join(dlls),
            "system DLLs and Lorvane.dll" if binds_boot_library else "system DLLs only", "",
            "nothing else", "met" if not foreign else "NOT MET (%s)" % ", ".join(foreign)))
    return rows


# Baselines that must bind what their subject binds: figure, subject,
# baseline, and whether the imported functions must match too (the launcher's
# baseline binds the same DLLs through fewer functions).
SAME_IMPORT_BASELINES = [
    ("1", "Kestrun_Tool.dll", "do_nothing_handler.dll", True),
    ("1b", "Kestrun_Tool64.dll", "do_nothing_hand_off.dll", True),
    ("4", "Kestrun.exe", "baseline_same_imports.exe", False),
]


def baseline_check_rows(x64_bin):
    """Whether each same-import baseline still binds exactly the DLLs (and,
    where asked, the functions) of the deliverable it stands for; a row for
    each pair that is built."""
    rows = []
    for figure, subject, baseline, functions in SAME_IMPORT_BASELINES:
        subject_path, baseline_path = os.path.join(x64_bin, subject), os.path.join(x64_bin, baseline)
        if not (os.path.exists(subject_path) and os.path.exists(baseline_path)):
            continue
        want = {d.lower(): sorted(f) for d, f in PeImage(subject_path).imports().items()}
        have = {d.lower(): sorted(f) for d, f in PeImage(baseline_path).imports().items()}
        result = "met"
        if sorted(want) != sorted(have):
            result = "NOT MET"
        elif functions and want != have:
            differ = sorted(d for d in want if want[d] != have[d])
            result = "NOT MET (functions of %s differ)" % ", ".join(differ)
        rows.append(Row(figure, "%s baseline binds the %s of %s (x64)"
                        % (baseline, "DLLs and functions" if functions else "DLLs", subject),
                        ", ".join(sorted(have)), ", ".join(sorted(want)), "", "the same", result))
    return rows


def figure_group(figure_id):
    number = ""
    for c in figure_id:
        if not c.isdigit():
            break
        number += c
    return number


def assemble(figure_rows, footprint, baseline_checks):
    """Every row in figure order, with a marked row for each figure nothing
    measured yet; each baseline check joins its figure when that was
    measured."""
    rows = []
    for number, title in FIGURES:
        group = [r for r in figure_rows if figure_group(r.figure) == number]
        if group:
            group += [c for c in baseline_checks if c.figure == number]
        if number == "6":
            group = footprint
        if not group:
            group = [Row(number, title, "not measured yet", "", "", "", "later")]
        rows.extend(group)
    return rows


def machine_lines():
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            models = [l.split(":", 1)[1].strip() for l in f if l.startswith("model name")]
        if models:
            cpu = "%s, %d logical CPUs" % (models[0], len(models))
    except OSError:
        pass
    try:
        wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True,
                              timeout=30).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        wine = "unknown"
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return ["- Machine: %s; %s %s" % (cpu, platform.system(), platform.release()),
            "- Wine: %s (64-bit, `/usr/lib/wine/wine64`)" % wine,
            "- Date: %s" % now]


def render(rows, command, machine):
    out = ["Command: `%s`" % command, ""]
    out += machine
    out += ["", "| Figure | Measured | Subject | Baseline | Ratio (p25 to p75) | Goal | Result |",
            "|---|---|---|---|---|---|---|"]
    for r in rows:
        out.append("| %s |" % " | ".join([r.figure, r.measured, r.subject, r.baseline, r.ratio, r.goal, r.result]))
    return "\n".join(out) + "\n"


def record(path, report):
    with open(path) as f:
        text = f.read()
    begin, end = text.find(BEGIN_MARK), text.find(END_MARK)
    if begin < 0 or end < begin:
        raise ValueError("%s has no %s ... %s block" % (path, BEGIN_MARK, END_MARK))
    text = text[:begin + len(BEGIN_MARK)] + "\n" + report + text[end:]
    with open(path, "w") as f:
        f.write(text)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--figures", required=True)
    parser.add_argument("--i686-bin", required=True)
    parser.add_argument("--x64-bin", required=True)
    parser.add_argument("--command", required=True)
    parser.add_argument("--record")
    args = parser.parse_args(argv)
    with open(args.figures) as f:
        figure_rows = parse_figures(f)
    rows = assemble(figure_rows, footprint_rows(args.i686_bin), baseline_check_rows(args.x64_bin))
    report = render(rows, args.command, machine_lines())
    sys.stdout.write(report)
    if args.record:
        record(args.record, report)
    return 1 if any(r.result.startswith("NOT MET") for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
