#!/usr/bin/env python3
"""The session leaves nothing running, however its block is left: normally,
by an exception, or by SIGTERM; and each way it can fail to start, or to
ask a stand-in, gives one line that names the cause.

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

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

import layouts  # noqa: E402
import wine_session  # noqa: E402
from wine_session import SessionError, WineSession  # noqa: E402

STANDINS = PREFIX = None


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def marked(mark):
    """The running processes whose environment carries the mark."""
    return wine_session.running(lambda pid: mark.encode() in wine_session.proc_words(
        pid, "environ") and alive(pid))


def settled(find, timeout=10.0):
    """What find() gives once it gives nothing, or after the timeout."""
    deadline = time.monotonic() + timeout
    while (found := find()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return found


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
                self.assertEqual(settled(lambda: [p for p in pids if alive(p)]), [],
                                 "left running after SIGTERM")
            finally:
                if child.poll() is None:
                    child.kill()
                    child.wait()


# Takes "-displayfd N" first, closes N without naming a display, and stays.
FAKE_XVFB = '#!/bin/sh\neval "exec $2>&-"\nexec sleep 60\n'


class FailingToStart(unittest.TestCase):
    def fails(self, args, words, **env):
        """`wine_session.py prefix ARGS` exits non-zero with one line that
        holds the words, and leaves no process it started running."""
        run = str(time.monotonic())
        done = subprocess.run([sys.executable, wine_session.__file__, "prefix"] + args,
                              env=dict(os.environ, QUELVANI_SESSION_TEST=run, **env),
                              capture_output=True, text=True, timeout=120)
        mark = "QUELVANI_SESSION_TEST=" + run
        self.assertNotEqual(done.returncode, 0)
        self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
        self.assertIn(words, done.stderr)
        self.assertEqual(settled(lambda: marked(mark)), [], "left running")

    def test_cannot_start(self):
        with tempfile.TemporaryDirectory() as tmp:
            Path(tmp, "Xvfb").write_text(FAKE_XVFB)
            Path(tmp, "Xvfb").chmod(0o755)
            for name, args, words, env in [
                ("no Xvfb on PATH", [PREFIX], "cannot start Xvfb", dict(PATH=tmp + "/none")),
                ("Xvfb naming no display", [PREFIX], "Xvfb named no display",
                 dict(PATH=tmp + ":" + os.environ["PATH"])),
                ("wineboot timing out", [tmp + "/new", "--boot-timeout", "2"],
                 "wine64 wineboot -i did not finish within 2 s", {}),
            ]:
                with self.subTest(name):
                    self.fails(args, words, **env)

    def test_prefix_held_and_standin_gone(self):
        with tempfile.TemporaryDirectory() as work, WineSession(PREFIX, work) as session:
            standin = session.start(Path(STANDINS) / layouts.programs()[0].executable,
                                    ["--timeout", "60"])
            top = standin.wait_ready().top
            self.fails([PREFIX, "--lock-timeout", "1"], "stayed held by another session")
            # The wineserver this session holds still serves its stand-in.
            self.assertEqual(standin.ask("exists %#x" % top, "END EXISTS"), ["%#x" % top])
            standin.popen.kill()
            standin.popen.wait()
            with self.assertRaises(SessionError) as raised:
                standin.wait_windows_gone([top])
            self.assertEqual(str(raised.exception).splitlines(),
                             ["%s cannot be asked 'exists': it has exited (exit -9)" % standin.name])


if __name__ == "__main__":
    STANDINS, PREFIX, PROGRAM = sys.argv[1:4]
    if wine_session.skipped(PROGRAM) is not None:
        raise SystemExit(wine_session.SKIPPED)
    unittest.main(argv=sys.argv[:1], verbosity=1)
