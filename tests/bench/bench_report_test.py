"""The table of scripts/bench.sh: goals judged from the benchmarks' lines, the
footprint check on small made-up PE files, and the marked rows of figures
that nothing measures yet."""

import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_report  # noqa: E402


def figure_line(figure, ratio, goal, subject_ms=20.0, baseline_ms=19.0):
    return "FIGURE\t%s\twhat %s\tsubject\t%.3f\tbaseline\t%.3f\t%.4f\t%.4f\t%.4f\t%.2f\r\n" % (
        figure, figure, subject_ms, baseline_ms, ratio, ratio - 0.1, ratio + 0.1, goal)


def write_pe(path, dlls, size, symbols=0, functions=None):
    """A 32-bit PE file importing one function from each DLL (named by
    functions, a dict by DLL, else "Function"), padded to size bytes;
    symbols > 0 leaves a symbol table pointer, as unstripped files do."""
    section_rva, section_raw = 0x1000, 0x200
    body = bytearray(20 * (len(dlls) + 1))
    descriptors = []
    for dll in dlls:
        hint_name = len(body)
        body += b"\0\0" + (functions or {}).get(dll, "Function").encode() + b"\0\0"
        thunk = len(body)
        body += struct.pack("<II", section_rva + hint_name, 0)
        name = len(body)
        body += dll.encode() + b"\0"
        descriptors.append((section_rva + thunk, section_rva + name))
    for i, (thunk, name) in enumerate(descriptors):
        struct.pack_into("<IIIII", body, 20 * i, thunk, 0, 0, name, thunk)
    header = bytearray(section_raw)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x44, 0x14C, 1, 0, 0x400 if symbols else 0, symbols, 224, 0x102)
    optional = 0x58
    struct.pack_into("<H", header, optional, 0x10B)
    struct.pack_into("<H", header, optional + 68, 2)
    struct.pack_into("<I", header, optional + 92, 16)
    struct.pack_into("<II", header, optional + 96 + 8, section_rva, 20 * (len(dlls) + 1))
    struct.pack_into("<8sIIII", header, optional + 224, b".idata", len(body), section_rva, len(body), section_raw)
    data = bytes(header) + bytes(body)
    with open(path, "wb") as f:
        f.write(data + b"\0" * (size - len(data)))


class ParseFigures(unittest.TestCase):
    def test_judges_each_goal_by_the_ratio(self):
        rows = bench_report.parse_figures([
            "launcher_bench: 100 rounds\r\n",
            figure_line("4a", 1.10, 1.10),
            figure_line("4b", 1.1001, 1.10),
            figure_line("4c", 1.96, 0),
        ])
        self.assertEqual(["4a", "4b", "4c"], [r.figure for r in rows])
        self.assertEqual(["met", "NOT MET", "information"], [r.result for r in rows])
        self.assertEqual("subject: 20.00 ms", rows[0].subject)
        self.assertEqual("baseline: 19.00 ms", rows[0].baseline)
        self.assertEqual("1.100 (1.00 to 1.20)", rows[0].ratio)
        self.assertEqual(["at most 1.10", "at most 1.10", "none"], [r.goal for r in rows])

    def test_ratios_far_below_one_keep_three_significant_digits(self):
        rows = bench_report.parse_figures([
            "FIGURE\t3a\tclick\tInvokeCommand\t0.612\ttransfer\t2005.1\t0.000305\t0.000291\t0.000452\t0.01\n",
            figure_line("5a", 0.1, 1.2),
        ])
        self.assertEqual("0.000305 (0.000291 to 0.000452)", rows[0].ratio)
        self.assertEqual("met", rows[0].result)
        self.assertEqual("0.100 (0.00 to 0.20)", rows[1].ratio)

    def test_a_malformed_line_is_an_error(self):
        with self.assertRaises(ValueError):
            bench_report.parse_figures(["FIGURE\t4a\tonly three\n"])


class Footprint(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def rows(self):
        return {r.measured: r for r in bench_report.footprint_rows(self.dir.name)}

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_size_limits_and_imports(self):
        write_pe(self.path("Kestrun.exe"), ["KERNEL32.dll", "USER32.dll", "Lorvane.dll"], 16384)
        write_pe(self.path("Kestrun_Tool.dll"), ["KERNEL32.dll", "libstdc++-6.dll"], 32769)
        rows = self.rows()
        self.assertEqual("met", rows["Kestrun.exe, i686, stripped"].result)
        self.assertEqual("16384 bytes (16.0 KiB)", rows["Kestrun.exe, i686, stripped"].subject)
        self.assertEqual("met", rows["Kestrun.exe imports"].result)
        self.assertEqual("KERNEL32.dll, Lorvane.dll, USER32.dll", rows["Kestrun.exe imports"].subject)
        self.assertEqual("NOT MET", rows["Kestrun_Tool.dll, i686, stripped"].result)
        self.assertEqual("NOT MET (libstdc++-6.dll)", rows["Kestrun_Tool.dll imports"].result)

    def test_an_unstripped_file_misses_the_goal_whatever_its_size(self):
        write_pe(self.path("Kestrun.exe"), ["KERNEL32.dll"], 8192, symbols=12)
        row = self.rows()["Kestrun.exe, i686, stripped"]
        self.assertEqual("NOT MET", row.result)
        self.assertIn("NOT STRIPPED", row.subject)

    def test_a_deliverable_not_built_yet_keeps_a_marked_row(self):
        write_pe(self.path("Kestrun.exe"), ["KERNEL32.dll"], 4096)
        row = self.rows()["Kestrun_Tool.dll, i686, stripped"]
        self.assertEqual(("not built yet", "later"), (row.subject, row.result))


class BaselineChecks(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def write(self, name, dlls, functions=None):
        write_pe(os.path.join(self.dir.name, name), dlls, 4096, functions=functions)

    def results(self):
        return {r.figure: r.result for r in bench_report.baseline_check_rows(self.dir.name)}

    def test_each_baseline_must_bind_what_its_subject_binds(self):
        self.write("Kestrun_Tool.dll", ["KERNEL32.dll", "Lorvane.dll"])
        self.write("do_nothing_handler.dll", ["kernel32.dll", "Lorvane.dll"])
        self.write("Kestrun.exe", ["KERNEL32.dll", "USER32.dll", "Lorvane.dll"])
        self.write("baseline_same_imports.exe", ["KERNEL32.dll", "Lorvane.dll"])
        self.assertEqual({"1": "met", "4": "NOT MET"}, self.results())

    def test_the_handler_baseline_must_bind_the_same_functions_too(self):
        self.write("Kestrun_Tool.dll", ["KERNEL32.dll", "SHELL32.dll"], {"SHELL32.dll": "DragQueryFileA"})
        self.write("do_nothing_handler.dll", ["KERNEL32.dll", "SHELL32.dll"], {"SHELL32.dll": "DragQueryFileW"})
        self.write("Kestrun.exe", ["KERNEL32.dll"], {"KERNEL32.dll": "ExitProcess"})
        self.write("baseline_same_imports.exe", ["KERNEL32.dll"])
        self.assertEqual({"1": "NOT MET (functions of shell32.dll differ)", "4": "met"}, self.results())

    def test_a_pair_not_built_gives_no_row(self):
        self.write("Kestrun_Tool.dll", ["KERNEL32.dll"])
        self.assertEqual({}, self.results())


class Assemble(unittest.TestCase):
    def test_unmeasured_figures_keep_marked_rows_in_order(self):
        figures = bench_report.parse_figures([figure_line("4b", 1.0, 1.1), figure_line("2", 0.5, 1.0)])
        footprint = [bench_report.Row("6", "size", "", "", "", "", "met")]
        rows = bench_report.assemble(figures, footprint, [])
        self.assertEqual(["1", "2", "3", "4b", "5", "6"], [r.figure for r in rows])
        self.assertEqual(["later", "met", "later", "met", "later", "met"], [r.result for r in rows])

    def test_a_baseline_check_joins_its_figure_once_measured(self):
        figures = bench_report.parse_figures([figure_line("4a", 1.0, 1.1)])
        checks = [bench_report.Row("1", "handler baseline binds", "", "", "", "", "met"),
                  bench_report.Row("4", "baseline binds", "", "", "", "", "NOT MET")]
        rows = bench_report.assemble(figures, [], checks)
        self.assertEqual(["4a", "4"], [r.figure for r in rows if r.figure.startswith("4")])
        self.assertEqual(["later"], [r.result for r in rows if r.figure == "1"])


class Record(unittest.TestCase):
    def test_replaces_only_the_marked_block(self):
        with tempfile.NamedTemporaryFile("w", suffix=".md", delete=False) as f:
            f.write("# Title\n\n%s\nold table\n%s\n\nNotes.\n" % (bench_report.BEGIN_MARK, bench_report.END_MARK))
        self.addCleanup(os.remove, f.name)
        bench_report.record(f.name, "new table\n")
        with open(f.name) as f2:
            text = f2.read()
        self.assertEqual("# Title\n\n%s\nnew table\n%s\n\nNotes.\n" % (bench_report.BEGIN_MARK, bench_report.END_MARK),
                         text)

    def test_a_file_without_markers_is_left_alone(self):
        with tempfile.NamedTemporaryFile("w", suffix=".md", delete=False) as f:
            f.write("# Title\n")
        self.addCleanup(os.remove, f.name)
        with self.assertRaises(ValueError):
            bench_report.record(f.name, "new table\n")
        with open(f.name) as f2:
            self.assertEqual("# Title\n", f2.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
