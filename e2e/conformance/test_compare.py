#!/usr/bin/env python3
"""The comparison must report every answer that differs and stop at the
first question the two sides do not share."""

import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from compare import UNWRITTEN, compare  # noqa: E402

SIM = ["s | GetWindow next A | B", "s | FindWindowA x | T",
       "s | GetWindowTextA V capacity 15 | 0 \"\""]


class CompareTest(unittest.TestCase):
    def test_cases(self):
        text = "s | GetWindowTextA V capacity 15 | "
        cases = [
            ("same answers", SIM, []),
            ("one answer differs", SIM[:2] + [text + '0 "x"'], ["says"]),
            ("two answers differ", ["s | GetWindow next A | none", SIM[1], text + "4"],
             ["says", "says"]),
            ("Wine stopped early", SIM[:2], ["different questions"]),
            ("a different question", ["s | GetWindow next B | B"] + SIM[1:],
             ["different questions"]),
            ("a caption holding the separator", SIM[:2] + [text + '3 "a | b"'], ["says"]),
        ]
        known = "vanished | GetWindowTextA V capacity 15 | "
        cases += [
            ("a known difference", [known + '0 ""'], [], [known + UNWRITTEN]),
            ("a known difference changed on Wine's side", [known + '0 "x"'], ["says"],
             [known + UNWRITTEN]),
            ("a known difference changed on the simulation's side", [known + '0 ""'], ["says"],
             [known + '0 "old"']),
        ]
        for name, wine, expected, *sim in cases:
            with self.subTest(name):
                problems = compare(sim[0] if sim else SIM, wine)
                self.assertEqual(len(problems), len(expected), problems)
                for problem, kind in zip(problems, expected):
                    self.assertIn(kind, problem)


if __name__ == "__main__":
    unittest.main()
