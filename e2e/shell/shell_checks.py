#!/usr/bin/env python3
"""The program's shell checked from outside under Wine: the driver starts
the program and acts as a user would; the program's relay trace shows what
the About box returned and that the overlay went on while it was open.

    shell_checks.py --check about-alt-question-enter --program build/win64/quelvani.exe \
        --driver build/win64/e2e/shell/shell_driver.exe \
        --standins build/win64/e2e/standins --prefix build/wineprefix

Exit code 0 when the check passes, 1 with its problems otherwise.
"""

import argparse
import collections
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

import layouts  # noqa: E402
import ticks  # noqa: E402
from wine_session import (OVERLAY_CALLS, SessionError, WineSession, skipped,  # noqa: E402
                          stop_on_signals)

RELAY_CALLS = OVERLAY_CALLS + ["DialogBoxParamA", "EndDialog"]
IDOK, IDCANCEL = 1, 2
MIN_TICKS_OPEN = 5    # ticks that must draw while the About box is held open
STANDIN_TIMEOUT = 90


# driver_args: the driver's words ({exe}: the program); about_result: what
# DialogBoxParamA must return; standin: a program drawn on while About is open.
Check = collections.namedtuple("Check", "driver_args about_result standin",
                               defaults=(None, None))


CHECKS = {
    "started-normal": Check(["window", "{exe}", "normal"]),
    "started-maximised": Check(["window", "{exe}", "maximised"]),
    "arguments-change-nothing": Check(["window", "{exe}", "maximised", "/s", "--help",
                                       "C:\\no\\such\\file.txt", "-x", "99"]),
    "about-alt-question-enter": Check(["about", "{exe}", "alt-question", "enter"], IDOK),
    "about-alt-slash-escape": Check(["about", "{exe}", "alt-slash", "escape"], IDCANCEL),
    "about-menu-ok-button": Check(["about", "{exe}", "menu", "ok"], IDOK),
    "overlay-draws-while-about-open": Check(
        ["about", "{exe}", "alt-slash", "enter", "hold"], IDOK, standin="lpi"),
    "exit-from-file-menu": Check(["exit", "{exe}", "menu"]),
    "exit-by-close-button": Check(["exit", "{exe}", "close-button"]),
    "exit-by-alt-f4": Check(["exit", "{exe}", "alt-f4"]),
}


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def about_problems(check, calls, ready):
    """What DialogBoxParamA returned, and the ticks while the box was open."""
    problems = []
    opened = [c for c in calls if c.name == "DialogBoxParamA"]
    ended = [c for c in calls if c.name == "EndDialog"]
    if len(opened) != 1 or len(ended) != 1:
        return ["the About box was opened %d and ended %d times, expected once each"
                % (len(opened), len(ended))]
    print("About box: EndDialog(%d), DialogBoxParamA returned %s"
          % (ended[0].arg(1), opened[0].result))
    if ended[0].arg(1) != check.about_result or opened[0].result != check.about_result:
        problems.append("the About box closed with EndDialog(%d) and returned %s, expected %d"
                        % (ended[0].arg(1), opened[0].result, check.about_result))
    if ready is not None:
        start, stop = opened[0].offset, ended[0].offset
        open_ticks = [t for t in ticks.split_ticks(calls) if start < t[0].offset < stop]
        # The last tick may be cut short by the box closing.
        whole = open_ticks[:-1]
        print("ticks while the About box was open: %d" % len(open_ticks))
        if len(whole) < MIN_TICKS_OPEN:
            problems.append("%d whole ticks while the About box was open, expected at least %d"
                            % (len(whole), MIN_TICKS_OPEN))
        for number, tick in enumerate(whole, 1):
            problems += ["tick %d with the About box open: %s" % (number, p)
                         for p in ticks.check_tick(tick, ready.draw)]
    return problems


def run(check, program, driver, standins, prefix, workdir):
    args = [a.replace("{exe}", windows_path(program)) for a in check.driver_args]
    with WineSession(prefix, workdir, relay_calls=RELAY_CALLS) as session:
        ready = None
        if check.standin:
            _, ready = layouts.start_standins(session, standins, [(check.standin, [])],
                                              STANDIN_TIMEOUT)
            ready = ready[check.standin]
        traced = check.about_result is not None
        process = session.start(driver, args, traced=traced, name="driver")
        if "hold" in check.driver_args:
            # The box is held open until enough ticks have begun after it opened.
            process.wait_line(lambda line: line.startswith("about box: open"), 60)
            process.wait_ticks(process.tick_count() + MIN_TICKS_OPEN + 2)
            process.popen.stdin.write(b"go on\n")
            process.popen.stdin.flush()
        code = process.wait_exit(120)
        process._reader.join(timeout=2.0)
        print("\n".join(process.lines))
    problems = [] if code == 0 else ["the driver reported failures (exit code %d)" % code]
    if traced:
        calls = ticks.program_calls(process.trace_path, program)
        problems += about_problems(check, calls, ready)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", required=True, choices=sorted(CHECKS))
    parser.add_argument("--program", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--prefix", required=True)
    options = parser.parse_args()
    if (skip := skipped(options.program)) is not None:
        return skip
    stop_on_signals()
    with tempfile.TemporaryDirectory(prefix="quelvani-shell-") as work:
        try:
            problems = run(CHECKS[options.check], options.program, options.driver,
                           options.standins, options.prefix, work)
        except SessionError as error:
            problems = ["the check did not run: %s" % error]
    for problem in problems:
        print("FAIL: %s" % problem)
    print("%s: %s" % (options.check, "passed" if not problems else "failed"))
    return 1 if problems else 0


if __name__ == "__main__":
    raise SystemExit(main())
