"""What the screen shows of the crosses, read back from screenshots.

A stand-in asked for "points" answers with a line for its top-level window
and two for each window it shows on screen: the window's place on screen and
role, and the screen points where it is visible:

    ROLE <hex window> <left>,<top>,<right>,<bottom> <program> <role>
    POINTS <hex window> plain=<rrggbb> cross=<x>,<y>|none <x>,<y>,<W|P> ...

(cross: where on screen the centre of the window's cross must be, if any.)

W points must be white in at least one of the shots, taken a tick apart (a
repaint may catch a line half-drawn); P points must show the window's plain
colour in every shot. Every window must lie wholly on the screen and clear
of every other stand-in's, or some of its points could not be judged.
"""

import collections
import re
import subprocess

WHITE = (255, 255, 255)


# One window a stand-in shows on screen, and what must be seen on it:
# cross is (x, y) or None, points are (x, y, white).
Shown = collections.namedtuple("Shown", "window role plain cross points")
# One window a stand-in has on screen: rect is (left, top, right, bottom).
Placed = collections.namedtuple("Placed", "window role rect")


def parse_points(lines):
    """The windows a stand-in's answer to "points" names: ([Shown], [Placed])."""
    shown, placed = [], []
    for line in lines:
        fields = line.split()
        if fields[:1] == ["ROLE"]:
            placed.append(Placed(int(fields[1], 16), " ".join(fields[3:]),
                                 tuple(int(v) for v in fields[2].split(","))))
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
        role = next((p.role for p in placed if p.window == window), "window")
        shown.append(Shown(window, role, plain, cross, points))
    return shown, placed


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


def check_placement(screen, placed_by_standin):
    """Problems with where the stand-ins' windows lie: partly off the
    screen (width, height), or over a window of another stand-in."""
    problems = []
    for index, placed in enumerate(placed_by_standin):
        others = [o for i, p in enumerate(placed_by_standin) if i != index for o in p]
        for window, role, (left, top, right, bottom) in placed:
            name = "%s %#x at (%d,%d)-(%d,%d)" % (role, window, left, top, right, bottom)
            if left < 0 or top < 0 or right > screen[0] or bottom > screen[1]:
                problems.append("%s lies partly off the %dx%d screen" % ((name,) + screen))
            over = [o for o in others if left < o.rect[2] and o.rect[0] < right and
                    top < o.rect[3] and o.rect[1] < bottom]
            if over:
                problems.append("%s lies over %s" % (name, ", ".join(
                    "%s %#x" % (o.role, o.window) for o in over)))
    return problems


def check(display, standins, between):
    """Asks every stand-in what it shows, takes a shot, calls between() (a
    wait for the program's next tick), takes another, and judges each
    window: ([(Shown, its problems)], problems of placement)."""
    answers = [parse_points(standin.ask("points", "END POINTS")) for standin in standins]
    shots = [take_shot(display)]
    between()
    shots.append(take_shot(display))
    judged = [(window, check_shown(window, shots)) for shown, _ in answers for window in shown]
    return judged, check_placement((shots[0].width, shots[0].height), [p for _, p in answers])


def describe(shown, problems):
    """One window's verdict in words: 'lpi video 0x1005e: cross seen, centred
    at (324, 263) on screen' or 'lpi help 0x1005a: no cross, as it must be'."""
    name = "%s %#x" % (shown.role, shown.window)
    if shown.cross:
        seen = ("NO CROSS SEEN where one must be" if any("not white" in p for p in problems)
                else "cross seen, BUT STRAY COLOURS beside it" if problems else "cross seen")
        return "%s: %s, centred at (%d, %d) on screen" % ((name, seen) + shown.cross)
    return "%s: %s" % (name, "A CROSS where none may be" if problems else "no cross, as it must be")
