"""What the program costs the machine under Wine, and whether it slows the
capture programs down.

    wine_cpu.py --program quelvani.exe --standins DIR --prefix DIR [--seconds 60]
                [--pass-cost pass_cost.exe]

Starts the three stand-ins (LPI, DSI, Envisage with tracking panels), each
repainting its video 30 times a second, and counts the frames they paint
without the program; then starts the program (untraced) and reads the CPU
time (utime + stime from /proc/<pid>/stat) its Wine process uses over the
measured window while counting the frames again; then closes the stand-ins
and measures the program alone. The figure with the stand-ins is read
against that idle figure and, with --pass-cost, against the share of a pass
spent in module snapshots, which the DSI and Envisage searches take afresh
on every tick; pass_cost times the pass, its finders and single calls with
and without the stand-ins. The wineserver's time over the same windows is
printed beside it: every window query the program makes is a request to
it. The stand-ins and pass_cost must be built for the program's
architecture. Prints figures; fails only when the
program dies or a stand-in never comes up, never on a time.
"""

import argparse
import os
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import layouts  # noqa: E402
from wine_session import (SessionError, WineSession, is_32_bit, proc_words, running,  # noqa: E402
                          stop_on_signals)

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")
REPAINTS_PER_SECOND = 30  # as a camera's live view


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
    return sum(map(cpu_seconds, running(lambda pid: os.getpgid(pid) == pgid)))


def wineservers(prefix):
    """The wineserver processes serving this prefix."""
    wanted = ("WINEPREFIX=%s" % prefix).encode()
    return running(lambda pid: b"wineserver" in proc_words(pid, "cmdline")[0] and
                   wanted in proc_words(pid, "environ"))


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


def report(label, read_against, elapsed, used_program, used_server):
    print("wine cpu, %s: program %.2f s CPU in %.0f s = %.3f%% of one core, %s; "
          "wineserver %.2f s = %.3f%%" % (label, used_program, elapsed, 100 * used_program /
                                          elapsed, read_against, used_server,
                                          100 * used_server / elapsed), flush=True)


def run_pass_cost(session, pass_cost):
    """Prints what pass_cost says, with the share of a pass it finds spent
    in module snapshots."""
    if pass_cost:
        code, lines = session.run(pass_cost, ["50"], timeout=120)
        print("\n".join(lines), flush=True)
        if code != 0:
            raise SessionError("pass_cost exited with %d" % code)


def frames(standin):
    """(frames painted, milliseconds) so far, as a stand-in counts them."""
    _, painted, ms = standin.ask("frames").split()
    return int(painted), int(ms)


def frame_rates(standins, during):
    """Frames a second each stand-in painted while `during` ran, and its result."""
    before = [frames(s) for s in standins]
    result = during()
    after = [frames(s) for s in standins]
    return [1000.0 * (a[0] - b[0]) / max(1, a[1] - b[1]) for b, a in zip(before, after)], result


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--pass-cost", help="pass_cost.exe, run with and without the stand-ins")
    options = parser.parse_args()
    stop_on_signals()
    standins = Path(options.standins)
    what = "release program (32-bit)" if is_32_bit(options.program) else "win64 twin"

    with tempfile.TemporaryDirectory(prefix="quelvani-cpu-") as work:
        # Started untraced: the figures are of the program as users run it.
        with WineSession(options.prefix, work) as session:
            prefix = str(session.prefix)
            # Every kind of cross: LPI behind "Help", DSI, Envisage with the
            # most tracking panels a pass draws; each repaints its video as a
            # capture program does, and none closes itself meanwhile.
            stay = ["--repaint", str(REPAINTS_PER_SECOND)]
            started, ready = layouts.start_standins(session, standins, [
                ("lpi", ["--help-window"] + stay), ("dsi", stay),
                ("envisage", ["--tracking", "5"] + stay)], int(4 * options.seconds + 180))
            stand_ins, ready = list(started.values()), list(ready.values())
            alone, _ = frame_rates(stand_ins, lambda: time.sleep(options.seconds / 2))

            # Measured from its window on, once it has started up.
            program = session.start(options.program)
            stand_ins[0].ask_until("find QUELVANI", None, lambda window: window != "0", 60)
            before = sum(group_cpu_seconds(s.popen.pid) for s in stand_ins)
            beside, busy = frame_rates(stand_ins, lambda: measure(program, prefix, options.seconds))
            used = sum(group_cpu_seconds(s.popen.pid) for s in stand_ins) - before
            print("capture frame rate beside the %s, stand-ins repainting %d times a second: %s"
                  % (what, REPAINTS_PER_SECOND, "; ".join(
                      "%s %.1f fps without it, %.1f with it (ratio %.3f)"
                      % (r.kind, a, b, b / a if a else 0.0)
                      for r, a, b in zip(ready, alone, beside))),
                  flush=True)
            # Each figure is printed once measured, whatever becomes of the next.
            report("%s, all three stand-ins (%d crosses a tick)" % (what, sum(
                len(r.draw) for r in ready)), "read against the idle figure and the share of "
                "module snapshots below", *busy)
            print("  (the stand-ins themselves used %.2f s CPU over that time)" % used, flush=True)
            run_pass_cost(session, options.pass_cost)

            for standin in stand_ins:
                standin.close()  # once it has exited, its windows are gone
            report("%s, no capture program" % what, "the idle figure",
                   *measure(program, prefix, options.seconds))
            run_pass_cost(session, options.pass_cost)
    return 0


if __name__ == "__main__":
    try:
        raise SystemExit(main())
    except SessionError as error:
        print("wine_cpu: %s" % error, file=sys.stderr)
        raise SystemExit(1)
