#!/usr/bin/env python3
"""Runs the program under Wine against stand-ins for the capture programs,
checks every tick in its relay trace against the windows the stand-ins name,
and reads the crosses back off the screen at the points the stand-ins pick.

    overlay_checks.py --scene lpi-help --program build/win32/quelvani.exe \
        --standins build/win32/e2e/standins --prefix build/wineprefix

Exit code 0 when every tick is right, 1 with a list of problems otherwise.

With --demo OUT (scripts/demo.sh) it runs the demo's scene instead, every
program at once, sums the ticks up and says of each window whether its
cross, or its lack of one, was seen on screen, ends the program through
File > Exit with the shell checks' driver (its exit code must be 0), and
saves OUT/desktop.png and a small copy.
"""

import argparse
import collections
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written in the tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

import layouts  # noqa: E402
import ticks  # noqa: E402
import screen_checks  # noqa: E402
from wine_session import SessionError, WineSession, skipped, stop_on_signals  # noqa: E402

TICKS = 5            # ticks checked in each steady phase
STANDIN_TIMEOUT = 90  # seconds a stand-in lives at most, whatever happens here


# standins: [(program, options)]; late: they start after the program;
# close: the one that closes while the program runs.
Scene = collections.namedtuple("Scene", "standins late close", defaults=(False, None))


# Every program's own scenes, one stand-in each, then every program at once
# in its usual look: all along, started after the program, or one closing.
SCENES = {name: Scene([(program.name, options)])
          for program in layouts.programs() for name, options in program.scenes}
EVERY_PROGRAM = [(program.name, program.scenes[0][1]) for program in layouts.programs()]
SCENES["all-programs"] = Scene(EVERY_PROGRAM)
SCENES["started-after-program"] = Scene(EVERY_PROGRAM, late=True)
SCENES["closes-while-running"] = Scene(EVERY_PROGRAM, close=EVERY_PROGRAM[1][0])
# The demo's: every program at once, the LPI video around its "Help" window.
DEMO = Scene([(name, ["--help-window"] if name == "lpi" else options)
              for name, options in EVERY_PROGRAM])


def expected_draws(ready_by_kind, kinds):
    """The windows one tick draws on; a scene lists its programs in the
    pass's order."""
    return [w for kind in kinds if kind in ready_by_kind for w in ready_by_kind[kind].draw]


def end_through_the_menu(session, program, driver, out):
    """The demo's ending: the desktop saved, then File > Exit picked as a
    user would; the program's exit code."""
    out.mkdir(parents=True, exist_ok=True)
    shot = out / "desktop.png"
    subprocess.run(["import", "-display", session.display, "-window", "root", str(shot)],
                   timeout=30, check=True)
    subprocess.run(["convert", str(shot), "-resize", "50%", str(out / "desktop-small.png")],
                   timeout=30, check=True)
    code, lines = session.run(driver, ["pick-exit"], timeout=60)
    if code != 0:
        raise SessionError("the driver could not pick File > Exit: %s" % " ".join(lines))
    return program.wait_exit(15)


def describe_ready(ready):
    return "; ".join("%s %#x draws on %s" % (kind, r.top, ", ".join("%#x" % w for w in r.draw)
                                               or "nothing") for kind, r in ready.items())


def run_scene(scene, program_exe, standins_dir, prefix, workdir, log, ending=None):
    """Runs the scene; returns (ticks as (tick, expected, exact), facts).
    `ending(session, program)`, if given, ends the program; its exit code."""
    facts = {}
    with WineSession(prefix, workdir, log=log) as session:
        started, ready = {}, {}
        if not scene.late:
            started, ready = layouts.start_standins(session, standins_dir, scene.standins,
                                                    STANDIN_TIMEOUT)
            log("ready: " + describe_ready(ready))
        program = session.start(program_exe, traced=True, name="program")
        program.wait_ticks(2)
        marks = {}
        if scene.late:
            marks["starting"] = program.trace_size()
            started, ready = layouts.start_standins(session, standins_dir, scene.standins,
                                                    STANDIN_TIMEOUT)
            log("ready: " + describe_ready(ready))
            marks["ready"] = program.trace_size()
        program.wait_ticks(program.tick_count() + TICKS + 1)
        if scene.close:
            marks["closing"] = program.trace_size()
            code = started[scene.close].close()
            # Ticks are held to the stand-in's absence from the moment the
            # window system says its windows are gone.
            gone = ready[scene.close]
            witness = next(p for name, p in started.items() if name != scene.close)
            witness.wait_windows_gone([gone.top] + gone.draw)
            marks["closed"] = program.trace_size()
            log("%s stand-in closed with exit code %s" % (scene.close, code))
            program.wait_ticks(program.tick_count() + TICKS + 1)
            facts["running after close"] = program.running()
        # The second shot after another whole tick, which may mend a line
        # a repaint caught half drawn in the first.
        facts["screen"], facts["placement"] = screen_checks.check(
            session.display, [p for p in started.values() if p.running()],
            lambda: program.wait_ticks(program.tick_count() + 2))
        if ending:
            facts["exit code"] = ending(session, program)
        # Stopped at once: how it exits is the shell checks' business, and the
        # tick it may cut short is left out below.
        program.stop()
    calls = ticks.program_calls(program.trace_path, program_exe)
    whole = ticks.split_ticks(calls)[:-1]  # the last one may be cut short
    everyone = [kind for kind, _ in scene.standins]
    full = expected_draws(ready, everyone)
    judged = []
    after_ready = 0
    # A tick is held to the windows of a phase only if it lies wholly in it:
    # one under way when the stand-ins come or go may meet either tree.
    for tick in whole:
        start, end = tick[0].offset, tick[-1].offset
        if scene.late and end < marks["starting"]:
            judged.append((tick, [], True))
        elif scene.late and start < marks["ready"]:
            # Trees half built may fit a layout for a tick, as when torn down.
            judged.append((tick, None, False))
        elif scene.late:
            # Found within two ticks of the stand-ins being ready.
            after_ready += 1
            judged.append((tick, full, after_ready >= 2))
        elif scene.close and start >= marks["closed"]:
            rest = [k for k in everyone if k != scene.close]
            judged.append((tick, expected_draws(ready, rest), True))
        elif scene.close and end >= marks["closing"]:
            # While the stand-in's tree is half destroyed, other windows of it
            # may fit a layout for a tick; they must still be drawn on properly.
            judged.append((tick, None, False))
        else:
            judged.append((tick, full, True))
    facts["ticks after close"] = sum(1 for t in whole if scene.close and
                                     t[0].offset >= marks["closed"])
    facts["ticks after ready"] = after_ready
    facts["names"] = {s.window: s.role for s, _ in facts["screen"]}
    return judged, facts


def judge(scene, judged, facts, show_ticks=False):
    """The problems found; with show_ticks, the ticks summed up in a line,
    and those that went wrong, each in a line of its own."""
    problems = facts["placement"] + [p for _, found in facts["screen"] for p in found]
    wrong = []
    for number, (tick, expected, exact) in enumerate(judged, 1):
        found = ticks.check_tick(tick, expected, exact)
        problems += ["tick %d: %s" % (number, p) for p in found]
        if found:
            drawn = ", ".join("%s %#x" % (facts["names"].get(w, "window"), w)
                              for w in (c.arg(0) for c in tick if c.name == "GetDC"))
            wrong.append("  tick %d drew on %s: %s" % (number, drawn or "nothing", found[0]))
    if show_ticks:
        expected = next((e for _, e, exact in judged if exact), [])
        print("%d of %d ticks drew on the %d expected windows, in order:\n  %s"
              % (len(judged) - len(wrong), len(judged), len(expected), ", ".join(
                  "%s %#x" % (facts["names"].get(w, "window"), w) for w in expected)))
        for line in wrong[:10] + (["  ... and %d more" % (len(wrong) - 10)] if wrong[10:] else []):
            print(line)
    if facts.get("exit code", 0) != 0:
        problems.append("exit code %d after File > Exit, expected 0" % facts["exit code"])
    exact_ticks = sum(1 for _, _, exact in judged if exact)
    if exact_ticks < TICKS:
        problems.append("only %d ticks could be checked, expected at least %d"
                        % (exact_ticks, TICKS))
    if scene.close:
        if not facts["running after close"]:
            problems.append("the program stopped after the %s stand-in closed" % scene.close)
        if facts["ticks after close"] < TICKS:
            problems.append("%d ticks after the %s stand-in closed, expected at least %d"
                            % (facts["ticks after close"], scene.close, TICKS))
    if scene.late and facts["ticks after ready"] < TICKS:
        problems.append("%d ticks after the stand-ins were ready, expected at least %d"
                        % (facts["ticks after ready"], TICKS))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="print the scenes' names and stop")
    parser.add_argument("--scene", choices=list(SCENES))
    parser.add_argument("--demo", metavar="OUT", help="run the demo, keeping its files in OUT")
    parser.add_argument("--driver", help="the shell checks' driver, which picks File > Exit")
    parser.add_argument("--program", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--prefix")
    parser.add_argument("--keep", help="keep the session's files (traces) in this folder")
    if "--list" in sys.argv:
        print(";".join(SCENES))
        return 0
    options = parser.parse_args()
    if options.demo and options.driver and options.prefix:
        out = Path(options.demo).resolve()
        scene, name, ending = DEMO, "demo", (lambda session, program: end_through_the_menu(
            session, program, options.driver, out))
        options.keep = out / "session"
    elif options.scene and options.prefix:
        scene, name, ending = SCENES[options.scene], options.scene, None
        if (skip := skipped(options.program)) is not None:
            return skip
    else:
        parser.error("--scene, or --demo with --driver, and --prefix are needed")
    stop_on_signals()
    started = time.monotonic()

    def log(text):
        if not options.demo:
            print("[%5.1f s] %s" % (time.monotonic() - started, text), flush=True)

    with tempfile.TemporaryDirectory(prefix="quelvani-e2e-") as scratch:
        workdir = Path(options.keep) if options.keep else Path(scratch)
        try:
            judged, facts = run_scene(scene, options.program, options.standins,
                                      options.prefix, workdir, log, ending)
        except SessionError as error:
            print("FAIL %s: %s" % (name, error))
            return 1
        problems = judge(scene, judged, facts, show_ticks=bool(options.demo))
    draws = sorted({len([c for c in t if c.name == "GetDC"]) for t, _, exact in judged if exact})
    if options.demo:
        print("on screen:")
    else:
        print("%s %s: %d ticks, crosses per tick %s, %.1f s"
              % ("PASS" if not problems else "FAIL", name, len(judged), draws,
                 time.monotonic() - started))
    for shown, found in facts["screen"]:
        print("  " + screen_checks.describe(shown, found))
    if "exit code" in facts:
        print("File > Exit picked: the program ended with exit code %d" % facts["exit code"])
    # The demo has said which ticks went wrong.
    shown = [p for p in problems if not (options.demo and p.startswith("tick "))]
    for problem in shown[:40]:
        print("  " + problem)
    if len(shown) > 40:
        print("  ... and %d more" % (len(shown) - 40))
    if options.demo:
        print("%s: %s" % ("PASS" if not problems else "FAIL", "everything as expected"
                          if not problems else "%d problems; the session's files are in %s"
                          % (len(problems), options.keep)))
        print("picture of the screen: %s (a small copy: %s)"
              % (out / "desktop.png", out / "desktop-small.png"))
    return 1 if problems else 0


if __name__ == "__main__":
    raise SystemExit(main())
