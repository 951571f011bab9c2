"""The program's ticks, read from a Wine relay trace (WINEDEBUG=+pid,+relay,
+loaddll) and judged.

    calls = program_calls(trace_path, "quelvani.exe")
    for tick in split_ticks(calls):
        problems = check_tick(tick, expected_windows)

Only calls the program's own code makes are kept: the process is the one
that loaded the named executable, and each call's return address lies inside
that executable's image. Calls the platform makes internally, and calls of
other processes that inherited the trace settings, are left out. A tick
starts at the LPI search, FindWindowA("Meade LPI"), its first call.

check_tick(tick, expected, exact=True) returns a list of problems (empty when
the tick is right). A tick must
  - search every capture program once: one FindWindowA or EnumWindows each;
  - get a device context for exactly the expected windows, in pass order
    (exact=False: only for some of them, in order, as while a stand-in is
    starting; expected=None: for any windows, as while a stand-in tears its
    window tree down and the finders may meet its windows half destroyed);
  - on each context select the stock white pen, draw one PolyPolyline of two
    polylines, select the previous pen back and release it on its window;
  - close every module snapshot it opened.
"""

import re
from pathlib import Path

import layouts

# The call a tick starts with, and the same as it stands in the raw trace.
TICK_START = ("FindWindowA", "Meade LPI")
TICK_START_RE = re.compile(rb'Call user32\.%s\([0-9a-fA-F]+,[0-9a-fA-F]+ "%s"\)'
                           % (TICK_START[0].encode(), TICK_START[1].encode()))
SEARCHES = ("FindWindowA", "EnumWindows")

LOADED_RE = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(.*)" at ([0-9A-Fa-f]+): ')
CALL_RE = re.compile(r"^([0-9a-f]+):([0-9a-f]+):Call ([\w]+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$")
RET_RE = re.compile(r"^([0-9a-f]+):([0-9a-f]+):Ret  ([\w]+)\.(\w+)\(\) retval=([0-9a-f]+) ret=([0-9a-f]+)$")
STRING_ARG_RE = re.compile(r'^([0-9a-f]+) "(.*)"$')


class Call:
    """One platform call: its name, arguments, result and place in the trace."""

    def __init__(self, name, args, offset, line):
        self.name, self.args, self.offset, self.line = name, args, offset, line
        self.result = None
        self.strings = {}

    def arg(self, index):
        return self.args[index]


def _split_args(text):
    """Relay prints integers in hex, strings as `address "text"`."""
    args, strings = [], {}
    for index, part in enumerate(re.findall(r'[0-9a-f]+ "(?:[^"\\]|\\.)*"|[^,]+', text)):
        part = part.strip()
        quoted = STRING_ARG_RE.match(part)
        if quoted:
            strings[index] = quoted.group(2)
            part = quoted.group(1)
        args.append(int(part, 16) if part else 0)
    return args, strings


def image_size(exe):
    """SizeOfImage from the executable's PE optional header."""
    data = Path(exe).read_bytes()
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[pe + 24 + 56:pe + 24 + 60], "little")


def program_calls(trace_path, exe_path):
    """The program's own calls, in the order they were made."""
    exe_name = Path(exe_path).name.lower()
    size = image_size(exe_path)
    pid, base = None, None
    calls, open_calls = [], {}
    offset = 0
    with open(trace_path, "rb") as trace:
        for raw in trace:
            line = raw.decode("latin-1").rstrip("\r\n")
            here = offset
            offset += len(raw)
            if pid is None:
                loaded = LOADED_RE.match(line)
                if loaded and loaded.group(2).replace("\\\\", "\\").lower().endswith("\\" + exe_name):
                    pid, base = loaded.group(1), int(loaded.group(3), 16)
                continue
            if not line.startswith(pid + ":"):
                continue
            called = CALL_RE.match(line)
            if called:
                caller = int(called.group(6), 16)
                if not base <= caller < base + size:
                    continue
                args, strings = _split_args(called.group(5))
                call = Call(called.group(4), args, here, line)
                call.strings = strings
                calls.append(call)
                open_calls.setdefault((called.group(2), call.name, caller), []).append(call)
                continue
            returned = RET_RE.match(line)
            if returned:
                key = (returned.group(2), returned.group(4), int(returned.group(6), 16))
                pending = open_calls.get(key)
                if pending:
                    pending.pop().result = int(returned.group(5), 16)
    return calls


def is_tick_start(call):
    return call.name == TICK_START[0] and call.strings.get(1) == TICK_START[1]


def count_ticks(trace_path):
    """How many ticks have started so far, counted in the raw trace."""
    with open(trace_path, "rb") as trace:
        return len(TICK_START_RE.findall(trace.read()))


def split_ticks(calls):
    """The calls grouped by tick; calls before the first tick are dropped."""
    ticks = []
    for call in calls:
        if is_tick_start(call):
            ticks.append([])
        if ticks:
            ticks[-1].append(call)
    return ticks


WHITE_PEN = 6
# INVALID_HANDLE_VALUE, as a 64-bit and as a 32-bit program sees it.
INVALID_HANDLE_VALUES = ((1 << 64) - 1, (1 << 32) - 1)


def _hex(values):
    return "[" + ",".join("%#x" % v for v in values) + "]"


def _is_subsequence(part, whole):
    remaining = iter(whole)
    return all(any(w == p for w in remaining) for p in part)


def check_searches(tick):
    searches = sum(1 for c in tick if c.name in SEARCHES)
    programs = len(layouts.programs())
    if searches != programs:
        return ["searched %d times by title or enumeration, expected once for each of the %d "
                "capture programs" % (searches, programs)]
    return []


def check_drawing(tick, expected, exact=True):
    problems = []
    drawn = [c.arg(0) for c in tick if c.name == "GetDC"]
    if expected is None:
        pass  # any windows: only how they are drawn on is judged
    elif exact and drawn != list(expected):
        problems.append("drew on %s, expected %s" % (_hex(drawn), _hex(expected)))
    elif not exact and not _is_subsequence(drawn, expected):
        problems.append("drew on %s, expected some of %s" % (_hex(drawn), _hex(expected)))

    pens = {c.result for c in tick if c.name == "GetStockObject" and c.arg(0) == WHITE_PEN}
    for index, get in enumerate(tick):
        if get.name != "GetDC" or not get.result:
            continue
        window, dc = get.arg(0), get.result
        on_dc = []
        released = None
        for call in tick[index + 1:]:
            if call.name == "ReleaseDC" and call.arg(1) == dc:
                released = call
                break
            if call.name in ("SelectObject", "PolyPolyline") and call.arg(0) == dc:
                on_dc.append(call)
        where = "window %#x" % window
        if released is None:
            problems.append("%s: device context %#x never released" % (where, dc))
            continue
        if released.arg(0) != window:
            problems.append("%s: context released on window %#x" % (where, released.arg(0)))
        shape = [c.name for c in on_dc]
        if shape != ["SelectObject", "PolyPolyline", "SelectObject"]:
            problems.append("%s: calls on the context were %s, expected SelectObject, "
                            "PolyPolyline, SelectObject" % (where, shape))
            continue
        select, draw, restore = on_dc
        if select.arg(1) not in pens:
            problems.append("%s: selected %#x, not the stock white pen" % (where, select.arg(1)))
        if draw.arg(3) != 2:
            problems.append("%s: PolyPolyline of %d polylines, expected 2" % (where, draw.arg(3)))
        if restore.arg(1) != select.result:
            problems.append("%s: selected %#x back, the previous pen was %#x"
                            % (where, restore.arg(1), select.result))
    gets = sum(1 for c in tick if c.name == "GetDC" and c.result)
    releases = sum(1 for c in tick if c.name == "ReleaseDC")
    if gets != releases:
        problems.append("%d device contexts got, %d released" % (gets, releases))
    return problems


def check_snapshots(tick):
    problems = []
    open_snapshots = []
    for call in tick:
        failed = call.result in (None,) + INVALID_HANDLE_VALUES
        if call.name == "CreateToolhelp32Snapshot" and not failed:
            open_snapshots.append(call.result)
        elif call.name == "CloseHandle":
            if call.arg(0) in open_snapshots:
                open_snapshots.remove(call.arg(0))
            else:
                problems.append("closed handle %#x, which is no open snapshot" % call.arg(0))
    if open_snapshots:
        problems.append("snapshots left open: %s" % _hex(open_snapshots))
    return problems


def check_tick(tick, expected, exact=True):
    return check_searches(tick) + check_drawing(tick, expected, exact) + check_snapshots(tick)
