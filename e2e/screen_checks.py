"""What the screen shows of the crosses, read back from screenshots.

A stand-in asked for "points" answers with two lines for each window it
shows on screen, its role and the screen points where it is visible:

    ROLE <hex window> <program> <role>
    POINTS <hex window> plain=<rrggbb> cross=<x>,<y>|none <x>,<y>,<W|P> ...

(cross: where on screen the centre of the window's cross must be, if any.)

W points must be white in at least one of the shots (a repaint may catch a
line half-drawn); P points must show the window's plain colour in every shot.
"""

import collections
import re
import subprocess
import time

WHITE = (255, 255, 255)
SHOT_INTERVAL = 0.3  # seconds between the two shots


# One window a stand-in shows on screen, and what must be seen on it:
# cross is (x, y) or None, points are (x, y, white).
Shown = collections.namedtuple("Shown", "window role plain cross points")


def parse_points(lines):
    """The windows a stand-in's answer to "points" names."""
    shown, roles = [], {}
    for line in lines:
        fields = line.split()
        if fields[:1] == ["ROLE"]:
            roles[int(fields[1], 16)] = " ".join(fields[2:])
            continue
        if len(fields) < 4 or fields[0] != "POINTS" or not fields[2].startswith("plain=") \
                or not fields[3].startswith("cross="):
            raise ValueError("not a POINTS line: %r" % line[:80])
        window = int(fields[1], 16)
        plain = tuple(bytes.fromhex(fields[2][len("plain="):]))
        cross = fields[3][len("cross="):]
        cross = None if cross == "none" else tuple(int(v) for v in cross.split(","))
        points = []
        for field in fields[4:]:
            x, y, kind = field.split(",")
            points.append((int(x), int(y), kind == "W"))
        shown.append(Shown(window, roles.get(window, "window"), plain, cross, points))
    return shown


class Shot:
    """A screenshot as 8-bit RGB."""

    def __init__(self, ppm):
        # "P6 <width> <height> 255" and one whitespace byte, then the pixels,
        # which may begin with bytes that look like whitespace.
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            raise ValueError("not an 8-bit binary PPM")
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.pixels = ppm[header.end():header.end() + 3 * self.width * self.height]

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


def take_shot(display):
    return Shot(subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8",
                                "ppm:-"], capture_output=True, timeout=60, check=True).stdout)


def check_shown(shown, shots, examples=3):
    """Problems with one window's points: wrong colours, a few named."""
    missing, stray = [], []
    for x, y, white in shown.points:
        seen = [shot.at(x, y) for shot in shots]
        if white and WHITE not in seen:
            missing.append((x, y, seen[0]))
        elif not white and any(colour != shown.plain for colour in seen):
            stray.append((x, y, next(c for c in seen if c != shown.plain)))
    problems = []
    for wrong, what in [(missing, "not white on the cross"),
                        (stray, "not the window's own colour off the cross")]:
        if wrong:
            named = ", ".join("(%d,%d) is %s" % (x, y, "#%02x%02x%02x" % c if c else "off screen")
                              for x, y, c in wrong[:examples])
            problems.append("window %#x: %d of %d points %s: %s"
                            % (shown.window, len(wrong), len(shown.points), what, named))
    return problems


def check(display, standins):
    """Asks every stand-in what it shows, takes the shots, and judges each
    window: [(Shown, its problems)]."""
    shown = [window for standin in standins
             for window in parse_points(standin.ask("points", "END POINTS"))]
    shots = [take_shot(display)]
    time.sleep(SHOT_INTERVAL)
    shots.append(take_shot(display))
    return [(window, check_shown(window, shots)) for window in shown]


def describe(shown, problems):
    """One window's verdict in words: 'lpi video 0x1005e: cross seen, centred
    at (324, 263) on screen' or 'lpi help 0x1005a: no cross, as it must be'."""
    name = "%s %#x" % (shown.role, shown.window)
    if shown.cross:
        where = "centred at (%d, %d) on screen" % shown.cross
        return "%s: %s, %s" % (name, "NO CROSS SEEN where one must be" if problems
                               else "cross seen", where)
    return "%s: %s" % (name, "A CROSS where none may be" if problems else "no cross, as it must be")
