"""Runs Windows programs under Wine on a private X display and stops them all.

    with WineSession(prefix, workdir) as session:
        ready = session.start(standins / "LpiCam.exe").wait_ready()
        program = session.start(exe, traced=True)
        program.wait_ticks(6)                # ticks seen in its relay trace
    # every process started here is stopped, the prefix's wineserver too,
    # and the private Xvfb is gone, on every path out of the block

A session
  - starts its own Xvfb, which picks a free display;
  - holds an exclusive lock on the prefix for its lifetime, so sessions that
    share one prefix take turns (creating the prefix once when it is missing);
  - adds its relay_calls to the prefix's relay filter
    (HKCU\\Software\\Wine\\Debug RelayInclude) when they are not all there;
  - gives WINEDEBUG=+pid,+relay,+loaddll only to processes started with
    traced=True; their stderr is the trace (ticks.py reads it).
Every wait is bounded; a timeout raises SessionError, as does every other
way a session fails to start, in one line that names the cause.
"""

import collections
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.dont_write_bytecode = True  # run as a script: nothing written in the tree
import layouts  # noqa: E402
import ticks  # noqa: E402

# The platform calls the system makes on each tick.
OVERLAY_CALLS = [
    "FindWindowA", "EnumWindows", "GetWindowTextA", "GetClientRect",
    "ChildWindowFromPoint", "GetWindow", "GetWindowThreadProcessId",
    "CreateToolhelp32Snapshot", "Module32First", "Module32Next", "CloseHandle",
    "GetDC", "ReleaseDC", "GetStockObject", "SelectObject", "PolyPolyline",
]

TRACE_CHANNELS = "+pid,+relay,+loaddll"
SCREEN_SIZE = "%dx%d" % layouts.screen_size()
READY_RE = re.compile(r"^READY (\S+) pid=(\d+) top=(0x[0-9a-f]+) draw=([0-9a-fx,]*)\s*$")


class SessionError(Exception):
    pass


# A stand-in's announcement: which windows a correct overlay draws on.
Ready = collections.namedtuple("Ready", "kind pid top draw")

# Debian's Wine; wine64 hands a 32-bit program to the 32-bit loader itself.
WINE, WINESERVER = "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver"


def is_32_bit(exe):
    """Whether a Windows program is a 32-bit (PE32) one."""
    data = Path(exe).read_bytes()[:0x400]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[pe + 24:pe + 26], "little") == 0x10B


def probe_32_bit_wine():
    """(runs, why): whether this machine runs 32-bit Windows programs under
    Wine. The 32-bit loader is a 32-bit Linux program: machines whose kernel
    cannot run those, and machines without Debian's wine32, fail here."""
    loader = "/usr/lib/wine/wine"
    if not os.path.exists(loader):
        return False, ("no 32-bit Wine (%s; scripts/install-deps.sh installs wine32:i386 where "
                       "32-bit programs run)" % loader)
    try:
        done = subprocess.run([loader, "--version"], capture_output=True, text=True, timeout=60)
    except OSError as error:
        return False, "%s cannot run: %s" % (loader, error.strerror)
    except subprocess.TimeoutExpired:
        return False, "%s --version did not answer" % loader
    if done.returncode != 0:
        return False, "%s --version failed: %s" % (loader, (done.stderr or done.stdout).strip())
    return True, "32-bit Wine runs here (%s)" % done.stdout.strip()


SKIPPED = 77  # the exit code ctest takes for a skip (SKIP_RETURN_CODE)


def skipped(program):
    """SKIPPED, after saying why, when the end-to-end checks skip this
    program; None when they run it. They run the release program (32-bit)
    wherever 32-bit Wine runs, the win64 build's twin only where it cannot."""
    runs, why = probe_32_bit_wine()
    if is_32_bit(program) == runs:
        return None
    print("SKIP %s: %s: %s" % (Path(program).name, "the release program is checked end to end "
                               "instead" if runs else "the release program cannot run", why))
    return SKIPPED


def running(match):
    """The pids of the processes for which match(pid) holds; one that goes,
    or cannot be read, meanwhile is left out."""
    found = []
    for pid in map(int, filter(str.isdigit, os.listdir("/proc"))):
        try:
            if match(pid):
                found.append(pid)
        except OSError:
            pass
    return found


def proc_words(pid, name):
    """/proc/PID/NAME (cmdline, environ) split at its NULs."""
    with open("/proc/%d/%s" % (pid, name), "rb") as f:
        return f.read().split(b"\0")


def _kill_group(popen, grace=2.0):
    """Stops a process we started (and its group) by its id; bounded."""
    if popen.poll() is not None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(popen.pid, sig)
        except ProcessLookupError:
            return
        try:
            popen.wait(timeout=grace)
            return
        except subprocess.TimeoutExpired:
            pass


class WineProcess:
    """One Windows program started by a session."""

    def __init__(self, session, name, popen, stdout_path, trace_path):
        self.session, self.name, self.popen = session, name, popen
        self.stdout_path, self.trace_path = stdout_path, trace_path
        self.lines = []
        self._lines_changed = threading.Condition()
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()

    def _read_stdout(self):
        with open(self.stdout_path, "w") as copy:
            for raw in self.popen.stdout:
                line = raw.decode("latin-1").rstrip("\r\n")
                copy.write(line + "\n")
                copy.flush()
                with self._lines_changed:
                    self.lines.append(line)
                    self._lines_changed.notify_all()
        with self._lines_changed:
            self._lines_changed.notify_all()

    def wait_line(self, predicate, timeout, start=0):
        """The first line from `start` on that fits the predicate."""
        deadline, exited = time.monotonic() + timeout, None
        with self._lines_changed:
            while True:
                for line in self.lines[start:]:
                    if predicate(line):
                        return line
                now = time.monotonic()
                if exited is None and self.popen.poll() is not None:
                    exited = now
                # Once it has exited, what it wrote is read within a moment,
                # though Wine's own processes may keep its output open.
                if now > deadline or exited and (not self._reader.is_alive() or now > exited + 1):
                    raise SessionError("%s: no such line within %.0f s (exit %s); output: %s"
                                       % (self.name, timeout, self.popen.poll(), self.lines))
                self._lines_changed.wait(min(deadline - now, 0.2))

    def wait_ready(self, timeout=30.0):
        """Waits for the stand-in's READY line and returns what it names."""
        line = self.wait_line(lambda l: READY_RE.match(l) is not None, timeout)
        kind, pid, top, draw = READY_RE.match(line).groups()
        return Ready(kind, int(pid), int(top, 16), [int(w, 16) for w in draw.split(",") if w])

    def trace_size(self):
        """Bytes of trace written so far: a mark to split the trace at."""
        return os.path.getsize(self.trace_path) if self.trace_path else 0

    def tick_count(self):
        """How many ticks have started so far, counted in the trace."""
        return ticks.count_ticks(self.trace_path)

    def wait_ticks(self, count, timeout=30.0):
        deadline = time.monotonic() + timeout
        while self.tick_count() < count:
            if self.popen.poll() is not None:
                raise SessionError("%s exited with %s after %d ticks"
                                   % (self.name, self.popen.returncode, self.tick_count()))
            if time.monotonic() > deadline:
                raise SessionError("%s: %d ticks within %.0f s, %d wanted"
                                   % (self.name, self.tick_count(), timeout, count))
            time.sleep(0.05)

    def ask(self, command, end=None, timeout=60.0):
        """Writes a command line to a stand-in's stdin; the lines it answers
        with, up to the line `end` (not included), or with no end the one
        line it answers."""
        first = len(self.lines)
        try:
            if self.popen.poll() is not None:
                raise BrokenPipeError()  # Wine's own processes may hold the pipe open
            self.popen.stdin.write(command.encode() + b"\n")
            self.popen.stdin.flush()
        except (OSError, ValueError):  # it has gone, or its input is closed
            code = self.popen.poll()
            raise SessionError("%s cannot be asked %r: %s" % (self.name, command.split()[0], (
                "it has exited (exit %d)" % code) if code is not None else "its input is closed"))
        line = self.wait_line(lambda l: end is None or l == end, timeout, start=first)
        answer = self.lines[first:]
        return answer[:answer.index(end)] if end else line

    def ask_until(self, command, end, done, timeout=10.0):
        """Asks this stand-in again until done(answer), bounded; the answer."""
        deadline = time.monotonic() + timeout
        while not done(answer := self.ask(command, end)):
            if time.monotonic() > deadline:
                raise SessionError("%s: %r still answered %s after %.0f s"
                                   % (self.name, command, answer, timeout))
            time.sleep(0.05)
        return answer

    def wait_windows_gone(self, windows):
        """Asks this stand-in until none of the windows, another's, exists."""
        self.ask_until("exists " + " ".join("%#x" % w for w in windows), "END EXISTS",
                       lambda still: not still)

    def running(self):
        return self.popen.poll() is None

    def wait_exit(self, timeout=15.0):
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise SessionError("%s still running after %.0f s" % (self.name, timeout))

    def close(self, timeout=15.0):
        """Asks a stand-in to close (a "close" line on its stdin); its exit code."""
        if self.running():
            try:
                self.popen.stdin.write(b"close\n")
                self.popen.stdin.flush()
                self.popen.stdin.close()
            except (BrokenPipeError, OSError):
                pass
        return self.wait_exit(timeout)

    def stop(self):
        if self.popen.stdin and not self.popen.stdin.closed:
            try:
                self.popen.stdin.close()
            except OSError:
                pass
        _kill_group(self.popen)
        self._reader.join(timeout=2.0)


class WineSession:
    def __init__(self, prefix, workdir, relay_calls=OVERLAY_CALLS, log=None,
                 lock_timeout=900.0, boot_timeout=300.0):
        self.prefix = Path(prefix).resolve()
        self.lock_timeout, self.boot_timeout = lock_timeout, boot_timeout
        self.workdir = Path(workdir).resolve()
        self.relay_calls = list(relay_calls)
        self.log = log or (lambda text: None)
        self.display = None
        self.processes = []
        self._xvfb = None
        self._lock = None

    # -- the session's life -------------------------------------------------

    def __enter__(self):
        try:
            self.workdir.mkdir(parents=True, exist_ok=True)
            self._take_prefix_lock()
            self._start_display()
            if not (self.prefix / "system.reg").exists():
                self._create_prefix()
            self._write_settings()
            return self
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Stops everything this session started; safe to call more than once."""
        # Whatever still runs is stopped at once: a graceful close would only
        # add Wine's seconds of process teardown to every session.
        for process in reversed(self.processes):
            process.stop()
        self.processes = []
        # Only a prefix this session holds: another's wineserver serves others.
        if self._lock is not None and self.prefix.exists():
            self._wineserver("-k", timeout=15)
        if self._xvfb is not None:
            _kill_group(self._xvfb)
            self._xvfb = None
        if self._lock is not None:
            self._lock.close()
            self._lock = None

    # -- starting programs --------------------------------------------------

    def env(self, traced=False):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), WINEARCH="win64", WINEDLLOVERRIDES="mscoree,mshtml=",
                   WINEDEBUG=TRACE_CHANNELS if traced else "-all")
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def start(self, exe, args=(), traced=False, name=None, cwd=None):
        """Starts a Windows program; traced=True writes its relay trace."""
        exe = Path(exe).resolve()
        if not exe.exists():
            raise SessionError("no such program: %s" % exe)
        name = name or exe.stem
        index = len(self.processes)
        stdout_path = self.workdir / ("%02d-%s.out" % (index, name))
        err_path = self.workdir / ("%02d-%s.%s" % (index, name, "trace" if traced else "err"))
        with open(err_path, "wb") as err:
            popen = subprocess.Popen([WINE, str(exe)] + [str(a) for a in args],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err,
                                     env=self.env(traced), cwd=cwd or exe.parent,
                                     start_new_session=True)
        process = WineProcess(self, name, popen, stdout_path, err_path if traced else None)
        self.processes.append(process)
        self.log("started %s (unix pid %d)" % (name, popen.pid))
        return process

    def run(self, exe, args=(), timeout=30.0):
        """Runs a short Windows program to its end; its exit code and output."""
        process = self.start(exe, args)
        code = process.wait_exit(timeout)
        process._reader.join(timeout=2.0)
        return code, process.lines

    # -- the display, the prefix and its wineserver -------------------------

    def _start_display(self):
        """Xvfb picks a free display itself and writes its number once it
        takes clients (-displayfd)."""
        read, write = os.pipe()
        log_path = self.workdir / "xvfb.log"
        try:
            with open(log_path, "wb") as log:
                xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                         SCREEN_SIZE + "x24", "-nolisten", "tcp", "-noreset"],
                                        stdout=log, stderr=log, pass_fds=(write,),
                                        start_new_session=True)
        except OSError as error:
            os.close(read)
            raise SessionError("cannot start Xvfb: %s" % error)
        finally:
            os.close(write)
        with os.fdopen(read) as ready:
            # One line, written at once; nothing but the end if Xvfb dies first.
            answered = select.select([ready], [], [], 30)[0]
            number = ready.readline().strip() if answered else ""
        if not number.isdigit():
            code = xvfb.poll()
            _kill_group(xvfb)
            said = log_path.read_text(errors="replace").strip().splitlines()
            raise SessionError("Xvfb named no display (%s)%s" % (
                "no answer in 30 s" if not answered else "it closed the pipe" if code is None
                else "it exited with %d" % code, ": " + said[-1] if said else ""))
        self._xvfb, self.display = xvfb, ":" + number
        self.log("Xvfb on %s (pid %d)" % (self.display, xvfb.pid))

    def _take_prefix_lock(self):
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        lock = open(str(self.prefix) + ".lock", "w")
        deadline = time.monotonic() + self.lock_timeout
        while True:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                self._lock = lock
                return
            except BlockingIOError:
                if time.monotonic() > deadline:
                    lock.close()
                    raise SessionError("the Wine prefix %s stayed held by another session for "
                                       "%.0f s" % (self.prefix, self.lock_timeout))
                time.sleep(0.2)

    def _create_prefix(self):
        self.log("creating Wine prefix %s" % self.prefix)
        partial = self.prefix.with_name(self.prefix.name + ".partial")
        shutil.rmtree(partial, ignore_errors=True)
        env = dict(self.env(), WINEPREFIX=str(partial))
        try:
            subprocess.run([WINE, "wineboot", "-i"], env=env, timeout=self.boot_timeout,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            subprocess.run([WINESERVER, "-w"], env=env, timeout=120, check=False)
        except (subprocess.SubprocessError, OSError) as error:
            # Whatever Wine started for the half-made prefix goes with its server.
            subprocess.run([WINESERVER, "-k"], env=env, timeout=30, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            if isinstance(error, subprocess.TimeoutExpired):
                error = "%s did not finish within %.0f s" % (" ".join(
                    [Path(error.cmd[0]).name] + error.cmd[1:]), error.timeout)
            raise SessionError("could not make the Wine prefix %s: %s" % (self.prefix, error))
        os.rename(partial, self.prefix)

    def _wineserver(self, *args, timeout):
        try:
            subprocess.run([WINESERVER] + list(args), env=self.env(), timeout=timeout,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            self.log("wineserver %s timed out" % " ".join(args))

    def _write_settings(self):
        """The relay filter and, with no window manager on the display,
        unmanaged windows (a managed one waits out a timeout on every
        DestroyWindow). The filter only grows: more calls in a trace harm no
        reader, and sessions that want different calls do not rewrite it by
        turns."""
        mark = self.prefix / "quelvani-relay-include.txt"
        present = mark.read_text().split(";") if mark.exists() else []
        wanted = present + [c for c in self.relay_calls if c not in present]
        if wanted == present:
            return
        value = ";".join(wanted)
        for key, name, data in [(r"HKCU\Software\Wine\Debug", "RelayInclude", value),
                                (r"HKCU\Software\Wine\X11 Driver", "Managed", "N")]:
            subprocess.run([WINE, "reg", "add", key, "/v", name, "/t", "REG_SZ",
                            "/d", data, "/f"], env=self.env(), timeout=120, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Written to disk before anything else reads the prefix.
        self._wineserver("-k", timeout=15)
        mark.write_text(value)


def stop_on_signals():
    """Turns SIGTERM and SIGHUP into SystemExit, so sessions still clean up."""
    def leave(signum, frame):
        raise SystemExit(128 + signum)
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, leave)


def main():
    """`wine_session.py prefix DIR` creates a prefix where there is none;
    `probe` says whether 32-bit Wine runs here (exit code 0 when it does)."""
    import argparse
    import tempfile
    parser = argparse.ArgumentParser(description=main.__doc__)
    parser.add_argument("action", choices=["prefix", "probe"])
    parser.add_argument("dir", nargs="?")
    parser.add_argument("--lock-timeout", type=float, default=900.0)
    parser.add_argument("--boot-timeout", type=float, default=300.0)
    options = parser.parse_args()
    if options.action == "probe":
        runs, why = probe_32_bit_wine()
        print(why)
        return 0 if runs else 1
    stop_on_signals()
    with tempfile.TemporaryDirectory(prefix="quelvani-e2e-") as work:
        started = time.monotonic()
        try:
            with WineSession(options.dir, work, log=print, lock_timeout=options.lock_timeout,
                             boot_timeout=options.boot_timeout):
                pass
        except SessionError as error:
            print("wine_session: %s" % error, file=sys.stderr)
            return 1
        print("prefix ready in %.1f s: %s" % (time.monotonic() - started, options.dir))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
