#!/usr/bin/env python3
"""The session leaves nothing running, however its block is left: normally,
by an exception, or by SIGTERM.

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


if __name__ == "__main__":
    STANDINS, PREFIX, PROGRAM = sys.argv[1:4]
    if wine_session.skipped(PROGRAM) is not None:
        raise SystemExit(wine_session.SKIPPED)
    unittest.main(argv=sys.argv[:1], verbosity=1)
