"""What every tick of the program must do, judged from its relay trace.

check_tick(tick, expected, exact=True) returns a list of problems (empty when
the tick is right). A tick must
  - search all three programs: FindWindowA("Meade LPI") and two EnumWindows;
  - get a device context for exactly the expected windows, in pass order
    (exact=False: only for some of them, in order, as while a stand-in is
    starting; expected=None: for any windows, as while a stand-in tears its
    window tree down and the finders may meet its windows half destroyed);
  - on each context select the stock white pen, draw one PolyPolyline of two
    polylines, select the previous pen back and release it on its window;
  - close every module snapshot it opened.
"""

WHITE_PEN = 6
# INVALID_HANDLE_VALUE, as a 64-bit and as a 32-bit program sees it.
INVALID_HANDLE_VALUES = ((1 << 64) - 1, (1 << 32) - 1)


def _hex(values):
    return "[" + ",".join("%x" % v for v in values) + "]"


def _is_subsequence(part, whole):
    remaining = iter(whole)
    return all(any(w == p for w in remaining) for p in part)


def check_searches(tick):
    finds = sum(1 for c in tick if c.name == "FindWindowA")
    enums = sum(1 for c in tick if c.name == "EnumWindows")
    if (finds, enums) != (1, 2):
        return ["searched %d times by title and enumerated %d times, expected 1 and 2"
                % (finds, enums)]
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
        where = "window %x" % window
        if released is None:
            problems.append("%s: device context %x never released" % (where, dc))
            continue
        if released.arg(0) != window:
            problems.append("%s: context released on window %x" % (where, released.arg(0)))
        shape = [c.name for c in on_dc]
        if shape != ["SelectObject", "PolyPolyline", "SelectObject"]:
            problems.append("%s: calls on the context were %s, expected SelectObject, "
                            "PolyPolyline, SelectObject" % (where, shape))
            continue
        select, draw, restore = on_dc
        if select.arg(1) not in pens:
            problems.append("%s: selected %x, not the stock white pen" % (where, select.arg(1)))
        if draw.arg(3) != 2:
            problems.append("%s: PolyPolyline of %d polylines, expected 2" % (where, draw.arg(3)))
        if restore.arg(1) != select.result:
            problems.append("%s: selected %x back, the previous pen was %x"
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
        if call.name == "CreateToolhelp32Snapshot" and call.result not in (None,) + INVALID_HANDLE_VALUES:
            open_snapshots.append(call.result)
        elif call.name == "CloseHandle":
            if call.arg(0) in open_snapshots:
                open_snapshots.remove(call.arg(0))
            else:
                problems.append("closed handle %x, which is no open snapshot" % call.arg(0))
    if open_snapshots:
        problems.append("snapshots left open: %s" % _hex(open_snapshots))
    return problems


def check_tick(tick, expected, exact=True):
    return check_searches(tick) + check_drawing(tick, expected, exact) + check_snapshots(tick)
