#!/usr/bin/env python3
"""The session leaves nothing running, however its block is left: normally,
by an exception, or by SIGTERM. Also how it reads a stand-in's READY line.

    test_wine_session.py STANDINS_DIR PREFIX PROGRAM

The stand-ins are those built beside PROGRAM; it is skipped with them.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import layouts  # noqa: E402
import wine_session  # noqa: E402
from wine_session import WineSession  # noqa: E402

STANDINS = PREFIX = None


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def session_pids(session):
    return [p.popen.pid for p in session.processes] + [session._xvfb.pid]


# Run as a child for the SIGTERM case: prints its pids, then waits to be stopped.
CHILD = """
import sys, time
sys.path.insert(0, %r)
from wine_session import WineSession, stop_on_signals
stop_on_signals()
with WineSession(%r, %r) as session:
    session.start(%r, ["--timeout", "60"]).wait_ready()
    print(" ".join(str(p.popen.pid) for p in session.processes), session._xvfb.pid, flush=True)
    time.sleep(60)
"""


class Stopping(unittest.TestCase):
    def run_session(self, leave):
        with tempfile.TemporaryDirectory() as work:
            pids = []
            try:
                with WineSession(PREFIX, work) as session:
                    for program in layouts.programs()[:2]:
                        session.start(Path(STANDINS) / program.executable,
                                      ["--timeout", "60"]).wait_ready()
                    pids = session_pids(session)
                    leave()
            except RuntimeError:
                pass
            return pids

    def test_nothing_left_running(self):
        def fail():
            raise RuntimeError("a check failed halfway")
        for name, leave in [("normal end", lambda: None), ("exception", fail)]:
            with self.subTest(name):
                pids = self.run_session(leave)
                self.assertEqual(len(pids), 3)
                self.assertEqual([p for p in pids if alive(p)], [], "still running after the session")

    def test_sigterm_stops_everything(self):
        with tempfile.TemporaryDirectory() as work:
            code = CHILD % (str(Path(__file__).resolve().parent), PREFIX, work,
                            str(Path(STANDINS) / layouts.programs()[0].executable))
            child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, text=True)
            try:
                pids = [int(p) for p in child.stdout.readline().split()]
                self.assertEqual(len(pids), 2, "the child did not report its pids")
                child.send_signal(signal.SIGTERM)
                child.wait(timeout=30)
                deadline = time.monotonic() + 10
                while any(alive(p) for p in pids) and time.monotonic() < deadline:
                    time.sleep(0.1)
                self.assertEqual([p for p in pids if alive(p)], [], "left running after SIGTERM")
            finally:
                if child.poll() is None:
                    child.kill()
                    child.wait()


class ReadyLine(unittest.TestCase):
    def test_lines(self):
        cases = [
            ("READY lpi pid=32 top=20044 draw=1005a", ("lpi", 32, 0x20044, [0x1005A])),
            ("READY envisage pid=40 top=2004c draw=10066,1006a", ("envisage", 40, 0x2004C, [0x10066, 0x1006A])),
            ("READY dsi pid=7 top=10 draw=", ("dsi", 7, 0x10, [])),
            ("READY dsi pid=7 top=10 draw=\r", ("dsi", 7, 0x10, [])),
            ("READY dsi pid=7", None),
            ("CLOSED", None),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                match = wine_session.READY_RE.match(line.rstrip("\r\n"))
                if expected is None:
                    self.assertIsNone(match)
                    continue
                kind, pid, top, draw = match.groups()
                got = (kind, int(pid), int(top, 16), [int(w, 16) for w in draw.split(",") if w])
                self.assertEqual(got, expected)


if __name__ == "__main__":
    STANDINS, PREFIX, PROGRAM = sys.argv[1:4]
    if wine_session.skipped(PROGRAM) is not None:
        raise SystemExit(wine_session.SKIPPED)
    unittest.main(argv=sys.argv[:1], verbosity=1)
