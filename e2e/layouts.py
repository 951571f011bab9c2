"""The capture programs the stand-ins stand in for, as their descriptions in
layouts/*.cpp register them: name, executable, place in a tick's order, and
named scenes (the stand-in's options).

    python3 e2e/layouts.py standins   # "lpi;LpiCam;envisage;EnvCam;..." for CMake
"""

import collections
import re
import sys
from pathlib import Path

LAYOUTS = Path(__file__).resolve().parent.parent / "layouts"
REGISTER_RE = re.compile(r'RegisterCaptureProgram\(\{\s*"([\w-]+)",\s*"([\w.]+)",\s*(\d+),')
SCENE_RE = re.compile(r'\{"([\w-]+)", "([^"]*)"\}')


# scenes: [(name, [option words])], the program's usual look first.
Program = collections.namedtuple("Program", "name executable order scenes")


# Where each stand-in's window goes and the room it has, (x, y, width,
# height), by its program's place in a tick's order; the private display is
# just large enough for them all. The screen checks fail a scene whose
# windows leave the screen or cover another stand-in's.
PLACES = [(0, 0, 760, 600), (760, 0, 1340, 1040), (0, 600, 760, 600)]


def screen_size():
    """(width, height) of the private display: every place in full."""
    return max(x + w for x, _, w, _ in PLACES), max(y + h for _, y, _, h in PLACES)


def start_standins(session, folder, scenes, timeout):
    """Starts a stand-in for each (program, options) and waits until each is
    ready; ({program: process}, {program: its Ready})."""
    known = {p.name: p for p in programs()}
    order = list(known)
    started = {name: session.start(Path(folder) / known[name].executable, options + [
                   "--at", "%d,%d" % PLACES[order.index(name) % len(PLACES)][:2],
                   "--timeout", str(timeout)])
               for name, options in scenes}
    return started, {name: process.wait_ready() for name, process in started.items()}


def programs():
    """Every registered program, in the order a tick searches them."""
    found = []
    for source in sorted(LAYOUTS.glob("*.cpp")):
        text = source.read_text()
        registered = REGISTER_RE.search(text)
        if registered:
            scenes = [(name, options.split())
                      for name, options in SCENE_RE.findall(text[registered.end():])]
            found.append(Program(registered.group(1), registered.group(2),
                                 int(registered.group(3)), scenes))
    return sorted(found, key=lambda p: p.order)


if __name__ == "__main__":
    if sys.argv[1:] != ["standins"]:
        raise SystemExit(__doc__)
    print(";".join("%s;%s" % (p.name, Path(p.executable).stem) for p in programs()))
