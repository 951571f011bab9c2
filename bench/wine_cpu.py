"""What the program costs the machine under Wine: CPU time over a minute.

    wine_cpu.py --program quelvani.exe --standins DIR --prefix DIR [--seconds 60]
                [--pass-cost pass_cost.exe]

Starts the program (untraced) in a Wine session, lets it settle, and reads
the CPU time (utime + stime from /proc/<pid>/stat) its Wine process uses
over the measured window, first with no capture program running, then with
the three stand-ins (LPI, DSI, Envisage with tracking panels) running. The
wineserver's time over the same windows is printed beside it: every window
query the program makes is a request to it. With --pass-cost, that program
then times the pass, its finders and single calls against the same
stand-ins. Prints figures; fails only when the program dies or a stand-in
never comes up, never on a time.
"""

import argparse
import os
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from wine_session import SessionError, WineSession, stop_on_signals  # noqa: E402

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """utime + stime of one process, in seconds; 0 once it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            # The command name may hold spaces; the fields after it are fixed.
            fields = stat.read().rsplit(")", 1)[1].split()
    except (FileNotFoundError, ProcessLookupError):
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


def group_cpu_seconds(pgid):
    """CPU time of every process in the group the session started the program in."""
    total = 0.0
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.getpgid(int(entry)) == pgid:
                total += cpu_seconds(int(entry))
        except ProcessLookupError:
            pass
    return total


def wineservers(prefix):
    """The wineserver processes serving this prefix."""
    found = []
    wanted = ("WINEPREFIX=%s" % prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if b"wineserver" not in f.read().split(b"\0")[0]:
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if wanted in f.read().split(b"\0"):
                    found.append(int(entry))
        except (FileNotFoundError, PermissionError, ProcessLookupError):
            pass
    return found


def measure(program, prefix, seconds):
    """CPU seconds of the program's process group and of the wineserver."""
    servers = wineservers(prefix)
    start_program = group_cpu_seconds(program.popen.pid)
    start_server = sum(cpu_seconds(p) for p in servers)
    began = time.monotonic()
    time.sleep(seconds)
    if not program.running():
        raise SessionError("the program exited during the measurement")
    elapsed = time.monotonic() - began
    used_program = group_cpu_seconds(program.popen.pid) - start_program
    used_server = sum(cpu_seconds(p) for p in servers) - start_server
    return elapsed, used_program, used_server


def report(label, elapsed, used_program, used_server, figures):
    line = ("wine cpu, %s: program %.2f s CPU in %.0f s = %.3f%% of one core "
            "(target below 1%%); wineserver %.2f s = %.3f%%"
            % (label, used_program, elapsed, 100.0 * used_program / elapsed,
               used_server, 100.0 * used_server / elapsed))
    print(line, flush=True)
    if figures:
        with open(figures, "a") as out:
            out.write(line + "\n")


def run_pass_cost(session, pass_cost, figures):
    code, lines = session.run(pass_cost, ["50"], timeout=120)
    for line in lines:
        print(line)
    if figures:
        with open(figures, "a") as out:
            out.write("".join(line + "\n" for line in lines))
    if code != 0:
        raise SessionError("pass_cost exited with %d" % code)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--pass-cost", help="pass_cost.exe, run with the stand-ins up")
    parser.add_argument("--settle", type=float, default=3.0,
                        help="seconds let pass before each measurement")
    options = parser.parse_args()
    stop_on_signals()
    figures = os.environ.get("QUELVANI_FIGURES")
    standins = Path(options.standins)

    with tempfile.TemporaryDirectory(prefix="quelvani-cpu-") as work:
        # Started untraced: the figures are of the program as users run it.
        with WineSession(options.prefix, work) as session:
            prefix = str(session.prefix)
            program = session.start(options.program)
            time.sleep(options.settle)
            report("no capture program", *measure(program, prefix, options.seconds), figures)
            if options.pass_cost:
                run_pass_cost(session, options.pass_cost, figures)

            # Every kind of cross: LPI behind "Help", DSI, Envisage with the
            # most tracking panels a pass draws; none closes itself meanwhile.
            stay = ["--timeout", str(int(2 * options.seconds + 120))]
            stand_ins = [
                session.start(standins / "lpi_standin.exe", ["--help-window"] + stay),
                session.start(standins / "DsiCam.exe", ["--at", "60,60"] + stay),
                session.start(standins / "EnvCam.exe", ["--tracking", "5", "--at", "100,100"] + stay)]
            ready = [s.wait_ready() for s in stand_ins]
            time.sleep(options.settle)
            before = sum(group_cpu_seconds(s.popen.pid) for s in stand_ins)
            elapsed, used_program, used_server = measure(program, prefix, options.seconds)
            report("all three stand-ins (%d crosses a tick)" % sum(len(r.draw) for r in ready),
                   elapsed, used_program, used_server, figures)
            idle = sum(group_cpu_seconds(s.popen.pid) for s in stand_ins) - before
            print("  (the stand-ins themselves used %.2f s CPU over that time)" % idle)
            if options.pass_cost:
                run_pass_cost(session, options.pass_cost, figures)
    return 0


if __name__ == "__main__":
    try:
        raise SystemExit(main())
    except SessionError as error:
        print("wine_cpu: %s" % error, file=sys.stderr)
        raise SystemExit(1)
