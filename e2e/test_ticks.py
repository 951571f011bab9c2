#!/usr/bin/env python3
"""The trace reader and the tick checks against hand-written relay traces:
a right tick passes, and each kind of fault is reported."""

import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

import ticks  # noqa: E402
import screen_checks  # noqa: E402

BASE = 0x140000000
IMAGE_SIZE = 0x22000
PID, TID = "0110", "0114"
INSIDE = "%x" % (BASE + 0x1b4f)
OUTSIDE = "2169d1234"  # a return address in some system module
PEN, OLD_PEN = 0x1B00026, 0x1B00027


def fake_exe(folder):
    """Just enough of a PE file for image_size()."""
    data = bytearray(0x200)
    data[0:2] = b"MZ"
    data[0x3C:0x40] = (0x80).to_bytes(4, "little")
    data[0x80:0x84] = b"PE\0\0"
    data[0x80 + 24 + 56:0x80 + 24 + 60] = IMAGE_SIZE.to_bytes(4, "little")
    path = Path(folder) / "quelvani.exe"
    path.write_bytes(bytes(data))
    return path


class Trace:
    """Writes relay lines the way Wine 8 prints them."""

    def __init__(self):
        self.lines = ['%s:%s:trace:loaddll:build_module Loaded L"Z:\\\\b\\\\quelvani.exe" at %016X: native'
                      % (PID, TID, BASE)]

    def call(self, dll, name, args, result, ret=INSIDE, pid=PID):
        self.lines.append("%s:%s:Call %s.%s(%s) ret=%s" % (pid, TID, dll, name, args, ret))
        self.lines.append("%s:%s:Ret  %s.%s() retval=%08x ret=%s" % (pid, TID, dll, name, result, ret))

    def searches(self, enums=2, snapshots=((0x78, True),)):
        self.call("user32", "FindWindowA", '00000000,140005060 "Meade LPI"', 0)
        for _ in range(enums):
            self.lines.append("%s:%s:Call user32.EnumWindows(1400018e0,0021f7d8) ret=%s" % (PID, TID, INSIDE))
            for handle, closed in snapshots:
                self.call("KERNEL32", "CreateToolhelp32Snapshot", "00000008,00000020", handle)
                if closed:
                    self.call("KERNEL32", "CloseHandle", "%08x" % handle, 1)
            self.lines.append("%s:%s:Ret  user32.EnumWindows() retval=00000001 ret=%s" % (PID, TID, INSIDE))

    def draw(self, window, dc, pen=PEN, polylines=2, restore=OLD_PEN, release_on=None, release=True):
        self.call("user32", "GetDC", "%08x" % window, dc)
        self.call("gdi32", "GetStockObject", "00000006", PEN)
        self.call("gdi32", "SelectObject", "%08x,%08x" % (dc, pen), OLD_PEN)
        self.call("gdi32", "PolyPolyline", "%08x,0021f800,0021f7e8,%08x" % (dc, polylines), 1)
        self.call("gdi32", "SelectObject", "%08x,%08x" % (dc, restore), pen)
        if release:
            self.call("user32", "ReleaseDC", "%08x,%08x" % (release_on or window, dc), 1)

    def ticks(self):
        with tempfile.TemporaryDirectory() as folder:
            exe = fake_exe(folder)
            trace = Path(folder) / "trace"
            trace.write_text("\n".join(self.lines) + "\n")
            return ticks.split_ticks(ticks.program_calls(trace, exe))


def one_tick(build):
    trace = Trace()
    build(trace)
    ticks = trace.ticks()
    assert len(ticks) == 1, "expected one tick, got %d" % len(ticks)
    return ticks[0]


class TickChecks(unittest.TestCase):
    CASES = [
        # name, how the tick is written, windows expected (or (windows, exact)),
        # words of the expected problem
        ("right tick", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043)), [0x1005A], None),
        ("nothing to draw", lambda t: t.searches(), [], None),
        ("drew on another window", lambda t: (t.searches(), t.draw(0x10058, 0x1010043)),
         [0x1005A], "drew on [0x10058], expected [0x1005a]"),
        ("missed a window", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043)),
         [0x1005A, 0x20056], "drew on [0x1005a], expected [0x1005a,0x20056]"),
        ("drew twice", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043), t.draw(0x1005A, 0x1010044)),
         [0x1005A], "drew on [0x1005a,0x1005a]"),
        ("wrong order", lambda t: (t.searches(), t.draw(0x20056, 0x1010043), t.draw(0x1005A, 0x1010044)),
         [0x1005A, 0x20056], "drew on [0x20056,0x1005a]"),
        ("context never released", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043, release=False)),
         [0x1005A], "never released"),
        ("released on another window", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043, release_on=0x10058)),
         [0x1005A], "released on window 0x10058"),
        ("one polyline", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043, polylines=1)),
         [0x1005A], "PolyPolyline of 1 polylines"),
        ("pen not put back", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043, restore=PEN)),
         [0x1005A], "selected 0x1b00026 back"),
        ("not the white pen", lambda t: (t.searches(), t.draw(0x1005A, 0x1010043, pen=0x1B00030)),
         [0x1005A], "not the stock white pen"),
        ("snapshot left open", lambda t: t.searches(snapshots=((0x78, True), (0x7C, False))),
         [], "snapshots left open: [0x7c,0x7c]"),
        ("failed snapshot needs no closing",
         lambda t: t.searches(snapshots=((0xFFFFFFFFFFFFFFFF, False),)), [], None),
        ("a 32-bit program's failed snapshot",
         lambda t: t.searches(snapshots=((0xFFFFFFFF, False),)), [], None),
        ("one search skipped", lambda t: t.searches(enums=1), [], "searched 2 times"),

        # exact=False: some of the expected windows, in order; None: any windows.
        ("partial: one of two", lambda t: (t.searches(), t.draw(0x20056, 0x1010043)),
         ([0x1005A, 0x20056], False), None),
        ("partial: none of two", lambda t: t.searches(), ([0x1005A, 0x20056], False), None),
        ("partial: out of order",
         lambda t: (t.searches(), t.draw(0x20056, 0x1010043), t.draw(0x1005A, 0x1010044)),
         ([0x1005A, 0x20056], False), "expected some of"),
        ("partial: another window", lambda t: (t.searches(), t.draw(0x30000, 0x1010043)),
         ([0x1005A, 0x20056], False), "expected some of"),
        ("any window", lambda t: (t.searches(), t.draw(0x30000, 0x1010043)), (None, True), None),
        ("any window, never released",
         lambda t: (t.searches(), t.draw(0x30000, 0x1010043, release=False)), (None, True),
         "never released"),
        ("any window, three polylines",
         lambda t: (t.searches(), t.draw(0x30000, 0x1010043, polylines=3)), (None, True),
         "PolyPolyline of 3 polylines"),
    ]

    def test_cases(self):
        for name, build, expected, problem in self.CASES:
            with self.subTest(name):
                windows, exact = expected if isinstance(expected, tuple) else (expected, True)
                found = ticks.check_tick(one_tick(build), windows, exact)
                if problem is None:
                    self.assertEqual(found, [], "expected no problem, got %s" % found)
                else:
                    self.assertTrue(any(problem in p for p in found),
                                    "expected a problem with %r, got %s" % (problem, found))


class TraceReading(unittest.TestCase):
    def test_only_the_programs_own_calls_are_kept(self):
        trace = Trace()
        trace.searches()
        trace.call("user32", "GetDC", "00010001", 0x1010050, ret=OUTSIDE)      # inside the platform
        trace.call("user32", "GetDC", "00010002", 0x1010051, pid="0120")      # another process
        trace.draw(0x1005A, 0x1010043)
        drawn = [c.arg(0) for c in trace.ticks()[0] if c.name == "GetDC"]
        self.assertEqual(drawn, [0x1005A])

    def test_ticks_start_at_the_search_by_title(self):
        trace = Trace()
        trace.call("user32", "GetDC", "00010001", 0x1010050)  # before the first tick: dropped
        for window in (0x10001, 0x10002, 0x10003):
            trace.searches()
            trace.draw(window, 0x1010043)
        ticks = trace.ticks()
        self.assertEqual([[c.arg(0) for c in t if c.name == "GetDC"] for t in ticks],
                         [[0x10001], [0x10002], [0x10003]])

    def test_results_pair_with_nested_calls(self):
        trace = Trace()
        trace.searches(snapshots=((0x78, True), (0x7C, True)))
        tick = trace.ticks()[0]
        enum = [c for c in tick if c.name == "EnumWindows"][0]
        snapshots = [c.result for c in tick if c.name == "CreateToolhelp32Snapshot"]
        self.assertEqual((enum.result, snapshots), (1, [0x78, 0x7C, 0x78, 0x7C]))

    def test_string_arguments(self):
        trace = Trace()
        trace.call("user32", "FindWindowA", '00000000,140005060 "Meade, LPI"', 0)
        calls = trace.ticks()
        self.assertEqual(calls, [])  # "Meade, LPI" is no tick start
        args, strings = ticks._split_args('00000000,140005060 "Meade, LPI"')
        self.assertEqual((args, strings), ([0, 0x140005060], {1: "Meade, LPI"}))


class ScreenChecks(unittest.TestCase):
    PLAIN, WHITE = (40, 60, 90), (255, 255, 255)

    def shot(self, colours):
        """A 3 x 1 screenshot of the given colours."""
        ppm = b"P6\n3 1\n255\n" + b"".join(bytes(c) for c in colours)
        return screen_checks.Shot(ppm)

    def test_white_in_one_shot_and_plain_in_every_shot(self):
        lines = ["ROLE 1005a 0,0,3,1 lpi video",
                 "POINTS 1005a plain=283c5a cross=1,0 0,0,P 1,0,W 2,0,P"]
        P, W, GREY = self.PLAIN, self.WHITE, (64, 64, 64)
        cases = [  # the shots' colours, words of the expected problem and verdict
            ([[P, W, P]], None, "cross seen,"),
            ([[P, P, P], [P, W, P]], None, "cross seen,"),  # a repaint caught once
            ([[P, P, P], [P, P, P]], "1 of 3 points not white", "NO CROSS SEEN"),
            ([[P, W, W]], "1 of 3 points not the window's own colour", "BUT STRAY"),  # one pixel off
            ([[P, W, P], [P, W, GREY]], "(2,0) is #404040", "BUT STRAY"),
            ([[(32, 10, 9), W, P]], "(0,0) is #200a09", "BUT STRAY"),  # bytes that look like blanks
        ]
        [shown], placed = screen_checks.parse_points(lines)
        self.assertEqual((shown.window, shown.role, shown.plain, shown.cross, placed),
                         (0x1005A, "lpi video", self.PLAIN, (1, 0),
                          [(0x1005A, "lpi video", (0, 0, 3, 1))]))
        for shots, problem, verdict in cases:
            with self.subTest(shots=shots):
                found = screen_checks.check_shown(shown, [self.shot(c) for c in shots])
                self.assertIn(verdict, screen_checks.describe(shown, found))
                if problem is None:
                    self.assertEqual(found, [])
                else:
                    self.assertTrue(any(problem in p for p in found), found)

    def test_every_window_on_the_screen_and_clear_of_other_standins(self):
        lpi = ["ROLE 10 0,0,700,540 lpi top", "ROLE 11 4,23,696,536 lpi video"]
        dsi = ["ROLE 20 0,600,700,1140 dsi top"]
        cases = [  # the second stand-in's windows, how many problems, words of each
            (dsi, 0, []),
            (["ROLE 20 0,540,700,1080 dsi top"], 0, []),  # touching is not covering
            (["ROLE 20 0,1100,700,1640 dsi top"], 1, [
                "dsi top 0x20 at (0,1100)-(700,1640) lies partly off the 2100x1200 screen"]),
            (["ROLE 20 -8,600,692,1140 dsi top"], 1, ["partly off"]),
            (["ROLE 20 600,500,1300,1040 dsi top"], 3, [  # and the lpi video over it
                "lpi top 0x10 at (0,0)-(700,540) lies over dsi top 0x20",
                "dsi top 0x20 at (600,500)-(1300,1040) lies over lpi top 0x10, lpi video 0x11"]),
        ]
        for other, count, words in cases:
            with self.subTest(other=other):
                found = screen_checks.check_placement((2100, 1200), [
                    screen_checks.parse_points(lines)[1] for lines in (lpi, other)])
                self.assertEqual(len(found), count, found)
                for word in words:
                    self.assertTrue(any(word in p for p in found), (word, found))


if __name__ == "__main__":
    unittest.main(verbosity=1)
