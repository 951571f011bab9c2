"""Reads a program's calls out of a Wine relay trace (WINEDEBUG=+pid,+relay,+loaddll).

    calls = program_calls(trace_path, "quelvani.exe")
    for tick in split_ticks(calls): ...

Only calls the program's own code makes are kept: the process is the one
that loaded the named executable, and each call's return address lies inside
that executable's image. Calls the platform makes internally, and calls of
other processes that inherited the trace settings, are left out.
"""

import re
from pathlib import Path

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

    def __repr__(self):
        result = "?" if self.result is None else "%x" % self.result
        return "%s(%s)=%s" % (self.name, ",".join("%x" % a for a in self.args), result)


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
    return call.name == "FindWindowA" and call.strings.get(1) == "Meade LPI"


def split_ticks(calls):
    """The calls grouped by tick; a tick starts at FindWindowA("Meade LPI").
    Calls before the first tick are dropped."""
    ticks = []
    for call in calls:
        if is_tick_start(call):
            ticks.append([])
        if ticks:
            ticks[-1].append(call)
    return ticks
