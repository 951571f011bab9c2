#!/usr/bin/env python3
"""Runs the program under Wine against stand-ins for the capture programs,
checks every tick in its relay trace against the windows the stand-ins name,
and reads the crosses back off the screen at the points the stand-ins pick.

    overlay_checks.py --scene lpi-help --program build/win64/quelvani.exe \
        --standins build/win64/e2e/standins --prefix build/win64/e2e/wineprefix

Exit code 0 when every tick is right, 1 with a list of problems otherwise.
"""

import argparse
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import layouts  # noqa: E402
import ticks  # noqa: E402
import screen_checks  # noqa: E402
from wine_session import SessionError, WineSession, skipped, stop_on_signals  # noqa: E402

PASS_ORDER = [p.name for p in layouts.programs()]
TICKS = 5            # ticks checked in each steady phase
STANDIN_TIMEOUT = 90  # seconds a stand-in lives at most, whatever happens here


class Scene:
    def __init__(self, standins, late=False, close=None):
        self.standins = standins  # [(kind, options)]
        self.late = late          # stand-ins start after the program
        self.close = close        # the stand-in that closes while the program runs


# Every program's own scenes, one stand-in each, then every program at once
# in its usual look: all along, started after the program, or one closing.
SCENES = {name: Scene([(program.name, options)])
          for program in layouts.programs() for name, options in program.scenes}
EVERY_PROGRAM = [(program.name, program.scenes[0][1]) for program in layouts.programs()]
SCENES["all-programs"] = Scene(EVERY_PROGRAM)
SCENES["started-after-program"] = Scene(EVERY_PROGRAM, late=True)
SCENES["closes-while-running"] = Scene(EVERY_PROGRAM, close=EVERY_PROGRAM[1][0])


def expected_draws(ready_by_kind, kinds):
    """The windows one tick draws on, in the pass's order."""
    return [w for kind in PASS_ORDER if kind in kinds and kind in ready_by_kind
            for w in ready_by_kind[kind].draw]


def start_standins(session, standins_dir, standins):
    return layouts.start_standins(session, standins_dir, standins, STANDIN_TIMEOUT)


def check_screen(session, standins):
    """The crosses on screen: (what was checked, problems)."""
    judged = screen_checks.check(session.display, standins)
    return (["%s %x: %s" % (s.role, s.window, screen_checks.summary(s)) for s, _ in judged],
            [p for _, problems in judged for p in problems])


def run_scene(scene, program_exe, standins_dir, prefix, workdir, log):
    """Runs the scene; returns (ticks as (tick, expected, exact), facts)."""
    facts = {}
    with WineSession(prefix, workdir, log=log) as session:
        started, ready = {}, {}
        if not scene.late:
            started, ready = start_standins(session, standins_dir, scene.standins)
            log("ready: %s" % list(ready.values()))
        program = session.start(program_exe, traced=True, name="program")
        program.wait_ticks(2)
        marks = {}
        if scene.late:
            marks["starting"] = program.trace_size()
            started, ready = start_standins(session, standins_dir, scene.standins)
            log("ready: %s" % list(ready.values()))
            marks["ready"] = program.trace_size()
        program.wait_ticks(program.tick_count() + TICKS + 1)
        if scene.close:
            marks["closing"] = program.trace_size()
            code = started[scene.close].close()
            marks["closed"] = program.trace_size()
            log("%s stand-in closed with exit code %s" % (scene.close, code))
            program.wait_ticks(program.tick_count() + TICKS + 1)
            facts["running after close"] = program.running()
        facts["screen"] = check_screen(session, [p for p in started.values() if p.running()])
        # Stopped at once: how it exits is the shell checks' business, and the
        # tick it may cut short is left out below.
        program.stop()
    calls = ticks.program_calls(program.trace_path, program_exe)
    whole = ticks.split_ticks(calls)[:-1]  # the last one may be cut short
    everyone = [kind for kind, _ in scene.standins]
    full = expected_draws(ready, everyone)
    judged = []
    after_ready = 0
    for tick in whole:
        start = tick[0].offset
        if scene.late and start < marks["starting"]:
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
        elif scene.close and start >= marks["closing"]:
            # While the stand-in's tree is half destroyed, other windows of it
            # may fit a layout for a tick; they must still be drawn on properly.
            judged.append((tick, None, False))
        else:
            judged.append((tick, full, True))
    facts["ticks after close"] = sum(1 for t in whole if scene.close and
                                     t[0].offset >= marks["closed"])
    facts["ticks after ready"] = after_ready
    return judged, facts


def judge(scene, judged, facts):
    problems = list(facts["screen"][1])
    for number, (tick, expected, exact) in enumerate(judged, 1):
        problems += ["tick %d: %s" % (number, p)
                     for p in ticks.check_tick(tick, expected, exact)]
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
    parser.add_argument("--program")
    parser.add_argument("--standins")
    parser.add_argument("--prefix")
    parser.add_argument("--keep", help="keep the session's files (traces) in this folder")
    options = parser.parse_args()
    if options.list:
        print(";".join(SCENES))
        return 0
    if not (options.scene and options.program and options.standins and options.prefix):
        parser.error("--scene, --program, --standins and --prefix are needed")
    if (skip := skipped(options.program)) is not None:
        return skip
    stop_on_signals()
    scene = SCENES[options.scene]
    started = time.monotonic()

    def log(text):
        print("[%5.1f s] %s" % (time.monotonic() - started, text), flush=True)

    with tempfile.TemporaryDirectory(prefix="quelvani-e2e-") as scratch:
        workdir = Path(options.keep) if options.keep else Path(scratch)
        try:
            judged, facts = run_scene(scene, options.program, options.standins,
                                      options.prefix, workdir, log)
        except SessionError as error:
            print("FAIL %s: %s" % (options.scene, error))
            return 1
        problems = judge(scene, judged, facts)
    draws = sorted({len([c for c in t if c.name == "GetDC"]) for t, _, exact in judged if exact})
    print("%s %s: %d ticks, crosses per tick %s, %.1f s"
          % ("PASS" if not problems else "FAIL", options.scene, len(judged), draws,
             time.monotonic() - started))
    for line in facts["screen"][0]:
        print("  screen: " + line)
    for problem in problems[:40]:
        print("  " + problem)
    if len(problems) > 40:
        print("  ... and %d more" % (len(problems) - 40))
    return 1 if problems else 0


if __name__ == "__main__":
    raise SystemExit(main())
