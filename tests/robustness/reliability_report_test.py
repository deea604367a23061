"""The figures of scripts/reliability.sh from made-up program outputs: totals,
a crash told from a failure, a leak check over its tolerance, and the
recorded part of the document."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reliability_report  # noqa: E402

CLEAN = (
    "[==========] Running 3 tests from 1 test suite.\r\n"
    "FIGURE hostile_cases table=null_out_pointers cases=44\r\n"
    "FIGURE hostile_cases table=download_address_forms cases=38 platform_answers=0x0,0x5\r\n"
    "FIGURE menu_cycles cycles=10000 ms=1 private_before=4096 private_after=8192 private_growth=+4096 "
    "private_tolerance=65536 handles_before=23 handles_after=23 threads_before=1 threads_after=1 "
    "crt_blocks_before=162 crt_blocks_after=162 crt_bytes_growth=0\r\n"
    "FIGURE factory_race threads=8 operations=1000032 ms=419 factories=1 lock_count_after=0\r\n"
    "[==========] 3 tests from 1 test suite ran. (5 ms total)\r\n"
    "[  PASSED  ] 3 tests.\r\n")
LEAKING = CLEAN.replace("crt_blocks_after=162", "crt_blocks_after=1162")
CRASHED = "[==========] Running 2 tests from 1 test suite.\r\n[ RUN      ] A.B\r\n"
FUZZ = "copy_path: 12 seeds replayed, 1000 executions in 60 s, no failure\n" \
       "tool_directory: 15 seeds replayed, 2500 executions in 60 s, no failure\n"


class ReliabilityReport(unittest.TestCase):
    def results(self, outputs, codes):
        folder = tempfile.mkdtemp()
        for name, text in outputs.items():
            with open(os.path.join(folder, name + ".txt"), "w", newline="") as f:
                f.write(text)
        with open(os.path.join(folder, "exit_codes.tsv"), "w") as f:
            f.write("".join(f"{name}\t{code}\n" for name, code in codes.items()))
        with open(os.path.join(folder, "fuzz.txt"), "w") as f:
            f.write(FUZZ)
        with open(os.path.join(folder, "fuzz_status"), "w") as f:
            f.write("0\n")
        return folder

    def test_a_clean_run_adds_up(self):
        text, ok = reliability_report.report(self.results({"a_tests.exe": CLEAN}, {"a_tests.exe": 0}), "cmd")
        self.assertTrue(ok)
        self.assertIn("| Hostile cases tried (tables of the extension's entry points) | 82 |", text)
        self.assertIn("| Leak-checked cycles | 10,000 |", text)
        self.assertIn("| Racing operations on the exports and the factory | 1,000,032 |", text)
        self.assertIn("| Fuzz executions | 3,500 |", text)
        self.assertIn("| Leaks found | 0 |", text)
        self.assertIn("| Crashes found | 0 |", text)
        self.assertIn("0x0, 0x5", text)

    def test_a_program_without_its_summary_crashed(self):
        folder = self.results({"a_tests.exe": CLEAN, "b_tests.exe": CRASHED}, {"a_tests.exe": 0, "b_tests.exe": 1})
        text, ok = reliability_report.report(folder, "cmd")
        self.assertFalse(ok)
        self.assertIn("| Crashes found | 1 |", text)
        self.assertIn("| b_tests.exe | 0 | 0 | 0 | yes |", text)
        # An exit status other than gtest's own is a crash too.
        text, ok = reliability_report.report(self.results({"a_tests.exe": CLEAN}, {"a_tests.exe": 3}), "cmd")
        self.assertIn("| Crashes found | 1 |", text)

    def test_heap_blocks_over_the_tolerance_are_a_leak(self):
        text, ok = reliability_report.report(self.results({"a_tests.exe": LEAKING}, {"a_tests.exe": 0}), "cmd")
        self.assertFalse(ok)
        self.assertIn("| Leaks found | 1 |", text)

    def test_a_fuzz_pass_that_failed_or_gave_nothing_fails_the_run(self):
        for fuzz, status in (("", "0\n"), (FUZZ, "1\n"), (FUZZ, None)):
            folder = self.results({"a_tests.exe": CLEAN}, {"a_tests.exe": 0})
            with open(os.path.join(folder, "fuzz.txt"), "w") as f:
                f.write(fuzz)
            if status is None:
                os.remove(os.path.join(folder, "fuzz_status"))
            else:
                with open(os.path.join(folder, "fuzz_status"), "w") as f:
                    f.write(status)
            text, ok = reliability_report.report(folder, "cmd")
            self.assertFalse(ok, (fuzz, status))

    def test_record_replaces_only_the_marked_part(self):
        path = os.path.join(tempfile.mkdtemp(), "RELIABILITY.md")
        with open(path, "w") as f:
            f.write(f"head\n{reliability_report.BEGIN}\nold\n{reliability_report.END}\ntail\n")
        reliability_report.record(path, "new\n")
        with open(path) as f:
            self.assertEqual(f"head\n{reliability_report.BEGIN}\nnew\n{reliability_report.END}\ntail\n", f.read())


if __name__ == "__main__":
    unittest.main()
