#!/usr/bin/env python3
"""The gate's resolution: the device shifted by a megabyte, and which failures lie within the
rules' own spread."""
import contextlib
import importlib.machinery
import io
import importlib.util
import sys
import unittest

loader = importlib.machinery.SourceFileLoader("gate", sys.argv.pop(1))
module = importlib.util.spec_from_loader("gate", loader)
gate = importlib.util.module_from_spec(module)
loader.exec_module(gate)


def row(restarts, low):
    return {"restarts_10min_count": restarts, "minutes_low": low}


class Shifted(unittest.TestCase):
    def test_base_moves_and_the_rest_stays(self):
        self.assertEqual(gate.shifted("total=3072,base=1024,floor=150", 1), "total=3072,base=1025,floor=150")
        self.assertEqual(gate.shifted("base=768,total=2048", -1), "base=767,total=2048")

    def test_a_device_without_base_or_with_a_bad_one_is_refused(self):
        for description in ("total=2048", "total=2048,base=lots"):
            said = io.StringIO()
            with self.assertRaises(SystemExit) as exit, contextlib.redirect_stderr(said):
                gate.shifted(description, 1)
            self.assertEqual(exit.exception.code, 2)
            self.assertIn(description, said.getvalue())


class Resolution(unittest.TestCase):
    def test_marks_only_failures_within_the_rules_own_spread(self):
        rows = {("parts", 200): row(100, 1000.0), ("learn-from-use", 200): row(110, 1100.0),
                ("parts", 250): row(100, 1000.0), ("learn-from-use", 250): row(110, 1100.0)}
        # A megabyte apart the rules restart 106 and spend 1080 minutes low at 200 MB; at 250 MB
        # they hardly move.
        shifts = [{("parts", 200): row(106, 1080.0), ("parts", 250): row(100, 1001.0)},
                  {("parts", 200): row(99, 990.0), ("parts", 250): row(101, 1000.0)}]
        failures = gate.judge(rows, [200, 250])
        self.assertEqual(len(failures), 4)
        within, own_restarts, own_low, comparisons = gate.resolution(rows, shifts, [200, 250], failures)
        marked = [(part, t) for part, t, text in failures if "within the rules' own" in text]
        self.assertEqual(marked, [("restarts", 200), ("minutes_low", 200)])
        self.assertEqual(within, 2)
        # 106 against 100 and 1080 against 1000 are beyond the tolerance, in the same one of the four
        # comparisons: each measure is counted on its own.
        self.assertEqual((own_restarts, own_low, comparisons), (1, 1, 4))

    def test_the_summed_failure_is_left_alone(self):
        rows = {("parts", 200): row(100, 1000.0), ("learn-from-use", 200): row(100, 1000.0)}
        failures = [("summed", None, "summed: 0 % fewer")]
        within, _, _, _ = gate.resolution(rows, [{("parts", 200): row(100, 1000.0)}], [200], failures)
        self.assertEqual((within, failures[0][2]), (0, "summed: 0 % fewer"))


if __name__ == "__main__":
    unittest.main()
