#!/usr/bin/env python3
"""The demo: the program under Wine beside stand-ins for all three capture
programs. Prints tick by tick which windows it found and drew on, then for
each window where on screen its cross is and whether it was seen there;
saves a screenshot of the desktop (and a small copy), closes the program
through File > Exit and reports its exit code. Run through scripts/demo.sh.
"""

import argparse
import re
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import layouts  # noqa: E402
import ticks  # noqa: E402
import screen_checks  # noqa: E402
from wine_session import SessionError, WineSession, stop_on_signals  # noqa: E402

# Every program in its usual look, LPI behind its "Help" window.
STANDINS = [(p.name, ["--help-window"] if p.name == "lpi" else p.scenes[0][1])
            for p in layouts.programs()]
SMALL_COPY = ["-crop", "2070x1160+0+0", "+repage", "-resize", "50%"]

def resource_id(name):
    """A command or resource id as app/resource.h defines it."""
    header = (Path(__file__).resolve().parent.parent / "app" / "resource.h").read_text()
    return int(re.search(r"#define %s (\d+)" % name, header).group(1))


CMD_EXIT = resource_id("CMD_EXIT")


def describe(tick, names):
    """'lpi 1005a, envisage 10078, ...' for the windows a tick drew on."""
    drawn = [c.arg(0) for c in tick if c.name == "GetDC"]
    return ", ".join(names.get(w, "unknown window") + " %x" % w for w in drawn) or "nothing"


def report_ticks(calls_so_far, shown, expected, names):
    """Prints the ticks completed since the last call; returns how many are shown."""
    done = ticks.split_ticks(calls_so_far)[:-1]
    for number, tick in enumerate(done[shown:], shown + 1):
        problems = ticks.check_tick(tick, expected)
        verdict = "as expected" if not problems else "WRONG: " + "; ".join(problems)
        print("tick %2d: drew on %s (%s)" % (number, describe(tick, names), verdict), flush=True)
    return len(done)


def report_screen(session, standins, names):
    """Where each window's cross is on screen and whether it was seen there;
    True when the screen shows what it must."""
    right = True
    for window, problems in screen_checks.check(session.display, standins):
        right = right and not problems
        if window.cross:
            print("%s %x: cross centred at (%d, %d) on screen: %s (%s)"
                  % (window.role, window.window, window.cross[0], window.cross[1],
                     "NOT SEEN" if problems else "seen", screen_checks.summary(window)))
        else:
            print("%s %x: no cross belongs here: %s" % (window.role, window.window,
                                                        "but one was seen" if problems else "none seen"))
        for problem in problems:
            print("  " + problem)
    return right


def close_program(session, program, standins_dir, driver):
    """File > Exit as a user would pick it, or the menu's command posted."""
    if driver:
        code, lines = session.run(driver[0], driver[1:], timeout=60)
        for line in lines:
            print("  %s: %s" % (Path(driver[0]).name, line))
        how = "picked File > Exit like a user with %s (its exit code %d)" % (Path(driver[0]).name, code)
    else:
        code, _ = session.run(Path(standins_dir) / "post_command.exe", ["QUELVANI", str(CMD_EXIT)])
        how = "posted File > Exit's command %d to the QUELVANI window" % CMD_EXIT
    print(how)
    return program.wait_exit(15)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--out", required=True, help="folder for the prefix, traces and screenshot")
    parser.add_argument("--ticks", type=int, default=10)
    parser.add_argument("--driver", nargs="+", help="program and arguments that pick File > Exit")
    options = parser.parse_args()
    stop_on_signals()
    out = Path(options.out).resolve()
    out.mkdir(parents=True, exist_ok=True)
    screenshot = out / "desktop.png"
    try:
        with WineSession(out / "wineprefix", out / "session", log=print) as session:
            started, ready = layouts.start_standins(session, options.standins, STANDINS, 120)
            standins = list(started.values())
            names = {w: name for name, r in ready.items() for w in r.draw}
            for name, r in ready.items():
                print("%s stand-in ready: draw on %s" % (name, ", ".join("%x" % w for w in r.draw)))
            expected = [w for name, _ in STANDINS for w in ready[name].draw]  # the pass's order
            program = session.start(options.program, traced=True, name="quelvani")
            print("quelvani.exe started; each tick searches %s and draws:"
                  % ", ".join(name for name, _ in STANDINS))
            shown = 0
            deadline = time.monotonic() + 60
            while shown < options.ticks and time.monotonic() < deadline and program.running():
                time.sleep(0.2)
                calls = ticks.program_calls(program.trace_path, options.program)
                shown = report_ticks(calls, shown, expected, names)
            seen = report_screen(session, standins, names)
            subprocess.run(["import", "-display", session.display, "-window", "root", str(screenshot)],
                           timeout=30, check=True)
            small = screenshot.with_name("desktop-small.png")
            subprocess.run(["convert", str(screenshot)] + SMALL_COPY + [str(small)], timeout=30, check=True)
            print("desktop saved to %s, a small copy to %s" % (screenshot, small))
            code = close_program(session, program, options.standins, options.driver)
            calls = ticks.program_calls(program.trace_path, options.program)
            report_ticks(calls + [_end_marker()], shown, expected, names)
            print("quelvani.exe exit code: %d" % code)
            return 0 if code == 0 and seen else 1
    except SessionError as error:
        print("demo failed: %s" % error)
        return 1


def _end_marker():
    """A tick start after the last call, so the last full tick is shown too."""
    marker = ticks.Call("FindWindowA", [0, 0], 0, "")
    marker.strings = {1: "Meade LPI"}
    return marker


if __name__ == "__main__":
    raise SystemExit(main())
