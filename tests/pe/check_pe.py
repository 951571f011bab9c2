#!/usr/bin/env python3
"""Checks the built program: every resource, field by field, and nothing
else; with --release also what a user relies on in the file itself (i386,
GUI, runs on XP, only the system's DLLs, small, no build path inside), and
with --toolchain too the same bytes from a second clean build.

usage: check_pe.py [--release [--source DIR [--toolchain FILE]]] program.exe
"""
import argparse
import hashlib
import os
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xp_imports import XP_IMPORTS  # noqa: E402
try:
    import pefile
except ImportError:  # a python3 of its own (pyenv) ahead of Debian's, which has python3-pefile
    sys.path.append('/usr/lib/python3/dist-packages')
    import pefile

RT_ICON, RT_MENU, RT_DIALOG, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON = 3, 4, 5, 6, 9, 14
LANG_EN_US = 1033

MF_POPUP, MF_END = 0x10, 0x80
FVIRTKEY, FALT = 0x01, 0x10
WS_CHILD, WS_VISIBLE, WS_GROUP, WS_TABSTOP = 0x40000000, 0x10000000, 0x20000, 0x10000
WS_CAPTION, WS_SYSMENU = 0xC00000, 0x80000
DS_SETFONT, DS_MODALFRAME = 0x40, 0x80
SS_LEFT, SS_ICON, SS_NOPREFIX, BS_DEFPUSHBUTTON = 0x0, 0x3, 0x80, 0x1
STATIC, BUTTON = 0x82, 0x80
CREDIT = object()  # our own wording: checked for shape, not text

STRINGS = {103: 'quelvani', 109: 'QUELVANI'}

# (flags, text, command or children)
MENU = [
    (MF_POPUP, '&File', [(MF_END, 'E&xit', 105)]),
    (MF_POPUP | MF_END, '&Help', [(MF_END, '&About ...', 104)]),
]

# (flags, key, command)
ACCELERATORS = [(FALT, ord('?'), 104), (FALT | 0x80, ord('/'), 104)]

DIALOG = dict(help=0, ex_style=0, style=DS_SETFONT | DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
              x=22, y=17, cx=230, cy=75, menu=None, cls=None, title='About',
              font=(8, 0, 0, 0, 'System'))
# (id, class, style, x, y, cx, cy, text or icon ordinal)
CONTROLS = [
    (2, STATIC, SS_ICON | WS_CHILD | WS_VISIBLE, 14, 9, 20, 20, 107),
    (-1, STATIC, SS_NOPREFIX | WS_GROUP | WS_CHILD | WS_VISIBLE, 49, 10, 119, 8,
     'Quelvani Version 1.01'),
    (-1, STATIC, SS_LEFT | WS_GROUP | WS_CHILD | WS_VISIBLE, 49, 20, 119, 8, CREDIT),
    (1, BUTTON, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP | WS_CHILD | WS_VISIBLE, 195, 6, 30, 11,
     'OK'),
]
CLASS_NAMES = {STATIC: 'static', BUTTON: 'button'}

# (width, height, colour count, planes, bits per pixel), in group order.
ICON_ENTRIES = [(32, 32, 16, 1, 4), (16, 16, 16, 1, 4), (48, 48, 0, 1, 8), (32, 32, 0, 1, 8),
                (16, 16, 0, 1, 8), (48, 48, 0, 1, 32), (32, 32, 0, 1, 32), (16, 16, 0, 1, 32)]
ICON_GROUPS = (107, 108)

VGA = [(0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
       (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
       (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
       (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF)]

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
SUBSYSTEM_GUI = 2
ALLOWED_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'msvcrt.dll'}
MAX_SIZE = 96 * 1024


class Report:
    def __init__(self):
        self.failures = 0

    def check(self, what, expected, actual):
        if expected == actual:
            print('ok    %s' % what)
        else:
            self.failures += 1
            print('FAIL  %s\n      expected %r\n      actual   %r' % (what, expected, actual))

    def require(self, what, condition, detail=''):
        self.check(what + (' (%s)' % detail if detail and not condition else ''), True,
                   bool(condition))


def utf16z(data, off):
    end = off
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[off:end].decode('utf-16-le'), end + 2


def sz_or_ord(data, off):
    first = struct.unpack_from('<H', data, off)[0]
    if first == 0:
        return None, off + 2
    if first == 0xFFFF:
        return struct.unpack_from('<H', data, off + 2)[0], off + 4
    return utf16z(data, off)


def string_block(data):
    strings, off = [], 0
    for _ in range(16):
        n = struct.unpack_from('<H', data, off)[0]
        strings.append(data[off + 2:off + 2 + 2 * n].decode('utf-16-le'))
        off += 2 + 2 * n
    return strings


def menu_items(data, off):
    items = []
    while True:
        flags = struct.unpack_from('<H', data, off)[0]
        if flags & MF_POPUP:
            text, off = utf16z(data, off + 2)
            children, off = menu_items(data, off)
            items.append((flags, text, children))
        else:
            command = struct.unpack_from('<H', data, off + 2)[0]
            text, off = utf16z(data, off + 4)
            items.append((flags, text, command))
        if flags & MF_END:
            return items, off


def dialog(data):
    ver, sig, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        '<HHIIIHhhhh', data, 0)
    if (ver, sig) != (1, 0xFFFF):
        raise ValueError('not an extended dialog template (%d, 0x%x)' % (ver, sig))
    menu, off = sz_or_ord(data, 26)
    cls, off = sz_or_ord(data, off)
    title, off = utf16z(data, off)
    font = None
    if style & DS_SETFONT:
        size, weight, italic, charset = struct.unpack_from('<HHBB', data, off)
        face, off = utf16z(data, off + 6)
        font = (size, weight, italic, charset, face)
    head = dict(help=help_id, ex_style=ex_style, style=style, x=x, y=y, cx=cx, cy=cy, menu=menu,
                cls=cls, title=title, font=font)
    controls = []
    for _ in range(count):
        off = (off + 3) & ~3
        c_help, c_ex, c_style, cx_, cy_, cw, ch, c_id = struct.unpack_from('<IIIhhhhi', data, off)
        c_cls, off = sz_or_ord(data, off + 24)
        c_text, off = sz_or_ord(data, off)
        extra = struct.unpack_from('<H', data, off)[0]
        off += 2 + extra
        controls.append(dict(help=c_help, ex_style=c_ex, style=c_style, x=cx_, y=cy_, cx=cw,
                             cy=ch, id=c_id, cls=c_cls, text=c_text, extra=extra))
    return head, controls


def check_icon_image(report, what, data, width, height, bpp):
    (size, w, h, planes, bits, compression, _, _, _, used, _) = struct.unpack_from(
        '<IiiHHIIiiII', data, 0)
    report.check(what + ' header (size, width, height, planes, bits, compression)',
                 (40, width, 2 * height, 1, bpp, 0), (size, w, h, planes, bits, compression))
    colours = (used or 1 << bpp) if bpp <= 8 else 0
    xor_stride = ((width * bpp + 31) // 32) * 4
    and_stride = ((width + 31) // 32) * 4
    expected_len = 40 + 4 * colours + (xor_stride + and_stride) * height
    report.check(what + ' length', expected_len, len(data))
    if len(data) != expected_len:
        return
    palette = [tuple(data[40 + 4 * i:43 + 4 * i][::-1]) for i in range(colours)]
    if bpp == 4:
        report.check(what + ' palette is the standard 16 VGA colours', VGA, palette)
    mask_at = 40 + 4 * colours + xor_stride * height

    def masked(x, y):  # y from the top
        row = mask_at + (height - 1 - y) * and_stride
        return (data[row + x // 8] >> (7 - x % 8)) & 1

    corners = [(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)]
    report.require(what + ' corners are transparent in the mask',
                   all(masked(x, y) for x, y in corners))
    report.require(what + ' centre is opaque in the mask', not masked(width // 2, height // 2))
    if bpp == 32:
        def alpha(x, y):
            return data[40 + (height - 1 - y) * xor_stride + 4 * x + 3]
        consistent = all((alpha(x, y) >= 128) == (not masked(x, y))
                         for y in range(height) for x in range(width))
        report.require(what + ' alpha and mask agree', consistent)
        report.require(what + ' corners have alpha 0', all(alpha(x, y) == 0 for x, y in corners))


def resources(pe):
    """{(type, name, language): bytes}; string identifiers stay strings."""
    result = {}

    def walk(directory, path):
        for entry in directory.entries:
            key = path + (entry.id if entry.name is None else str(entry.name),)
            if hasattr(entry, 'directory'):
                walk(entry.directory, key)
            else:  # a leaf anywhere but the language level shows up as a wrong key
                result[key] = pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size)

    if hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE'):
        walk(pe.DIRECTORY_ENTRY_RESOURCE, ())
    return result


def check_resources(report, pe):
    res = resources(pe)
    expected_keys = ({(RT_STRING, 103 // 16 + 1, LANG_EN_US), (RT_MENU, 109, LANG_EN_US),
                      (RT_ACCELERATOR, 109, LANG_EN_US), (RT_DIALOG, 103, LANG_EN_US)} |
                     {(RT_GROUP_ICON, g, LANG_EN_US) for g in ICON_GROUPS} |
                     {(RT_ICON, n, LANG_EN_US) for n in range(1, len(ICON_ENTRIES) + 1)})
    report.check('resources present, all in language 1033, nothing else',
                 sorted(expected_keys, key=str), sorted(res, key=str))

    block = res.get((RT_STRING, 7, LANG_EN_US))
    if block is not None:
        strings = string_block(block)
        for ident, text in STRINGS.items():
            report.check('string %d' % ident, text, strings[ident % 16])
        report.check('no other string in the block',
                     [''] * 14, [s for i, s in enumerate(strings) if 0x60 + i not in STRINGS])

    menu = res.get((RT_MENU, 109, LANG_EN_US))
    if menu is not None:
        report.check('menu 109 header (plain template)', (0, 0), struct.unpack_from('<HH', menu, 0))
        items, end = menu_items(menu, 4)
        report.check('menu 109 items, flags and commands', MENU, items)
        report.check('menu 109 ends with its last item', len(menu), end)

    accel = res.get((RT_ACCELERATOR, 109, LANG_EN_US))
    if accel is not None:
        entries = [struct.unpack_from('<HHHH', accel, i)[:3] for i in range(0, len(accel), 8)]
        report.check('accelerators 109 (FALT without FVIRTKEY, end flag on the last)',
                     ACCELERATORS, entries)
        report.require('no accelerator is a virtual key', all(not e[0] & FVIRTKEY for e in entries))

    dlg = res.get((RT_DIALOG, 103, LANG_EN_US))
    if dlg is not None:
        head, controls = dialog(dlg)
        report.check('dialog 103 template', DIALOG, head)
        report.check('dialog 103 control count', len(CONTROLS), len(controls))
        for n, (want, got) in enumerate(zip(CONTROLS, controls), 1):
            ident, cls, style, x, y, cx, cy, text = want
            got_cls = got['cls']
            if isinstance(got_cls, str):  # a class by name counts as its ordinal
                got_cls = {v: k for k, v in CLASS_NAMES.items()}.get(got_cls.lower(), got_cls)
            report.check('dialog control %d (id, class, style, x, y, cx, cy, help, ex style, '
                         'extra)' % n, (ident, cls, style, x, y, cx, cy, 0, 0, 0),
                         (got['id'], got_cls, got['style'], got['x'], got['y'], got['cx'],
                          got['cy'], got['help'], got['ex_style'], got['extra']))
            if text is CREDIT:
                t = got['text']
                report.require('dialog control %d: one line of credit text' % n,
                               isinstance(t, str) and 0 < len(t) <= 40 and t.isprintable(),
                               repr(t))
            else:
                report.check('dialog control %d text or icon' % n, text, got['text'])

    icons = {}
    for group in ICON_GROUPS:
        data = res.get((RT_GROUP_ICON, group, LANG_EN_US))
        if data is None:
            continue
        reserved, kind, count = struct.unpack_from('<HHH', data, 0)
        report.check('icon group %d header' % group, (0, 1, len(ICON_ENTRIES)),
                     (reserved, kind, count))
        entries = [struct.unpack_from('<BBBBHHIH', data, 6 + 14 * i) for i in range(count)]
        report.check('icon group %d entries (size, colours, planes, bits)' % group, ICON_ENTRIES,
                     [(e[0] or 256, e[1] or 256, e[2], e[4], e[5]) for e in entries])
        report.check('icon group %d length' % group, 6 + 14 * count, len(data))
        for e in entries:
            icons[e[7]] = (e[0], e[1], e[5], e[6])
    for ident, (width, height, bpp, length) in sorted(icons.items()):
        data = res.get((RT_ICON, ident, LANG_EN_US))
        what = 'icon image %d (%dx%d, %d bits)' % (ident, width, height, bpp)
        if data is None:
            report.require(what + ' exists', False)
            continue
        report.check(what + ' length matches its group entry', length, len(data))
        check_icon_image(report, what, data, width, height, bpp)


def check_program(report, pe, data, release):
    head, opt = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    report.check('subsystem is GUI', SUBSYSTEM_GUI, opt.Subsystem)
    xp = (5, 1) if head.Machine == MACHINE_I386 else (5, 2)
    subsystem = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    report.require('subsystem version at most %d.%d' % xp, subsystem <= xp, '%d.%d' % subsystem)
    os_version = (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion)
    report.require('OS version at most %d.%d' % xp, os_version <= xp, '%d.%d' % os_version)
    # (DLL, function) for every import of every descriptor: a DLL may be
    # named by more than one.
    descriptors = [(imp.dll.decode('latin-1'), [f.name.decode('latin-1') if f.name else
                                                '#%d' % f.ordinal for f in imp.imports])
                   for imp in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])]
    imports = [(dll, f) for dll, fs in descriptors for f in fs]
    dlls = {dll.lower() for dll, _ in imports}
    report.require('imported DLLs within KERNEL32, USER32, GDI32, msvcrt', dlls <= ALLOWED_DLLS,
                   ', '.join(sorted(dlls - ALLOWED_DLLS)))
    dirs = opt.DATA_DIRECTORY  # only as many as the header declares
    delay = (dirs[13].VirtualAddress, dirs[13].Size) if len(dirs) > 13 else (0, 0)
    report.check('no delay-loaded DLLs', (0, 0), delay)
    for dll, fs in descriptors:
        print('      imports %s: %s' % (dll, ' '.join(fs)))
    if not release:
        return
    missing = sorted('%s!%s' % (dll, f) for dll, f in imports
                     if f not in XP_IMPORTS.get(dll.lower(), ()))
    report.check('every imported function is present on Windows XP', [], missing)
    report.check('machine is i386', MACHINE_I386, head.Machine)
    report.check('32-bit image (PE32)', False, pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)
    report.check('no link timestamp', 0, head.TimeDateStamp)
    report.check('no symbol table', (0, 0), (head.PointerToSymbolTable, head.NumberOfSymbols))
    report.require('size at most 96 KiB', len(data) <= MAX_SIZE, '%d bytes' % len(data))


def build_again(source, toolchain):
    """SHA-256 of the program from a clean build in a temporary directory."""
    with tempfile.TemporaryDirectory(prefix='quelvani-rebuild-') as tmp:
        subprocess.run(['cmake', '-S', source, '-B', tmp, '-DCMAKE_BUILD_TYPE=Release',
                        '-DCMAKE_TOOLCHAIN_FILE=' + toolchain],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(['cmake', '--build', tmp, '--target', 'quelvani', '-j', '2'],
                       check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(tmp, 'quelvani.exe'), 'rb') as f:
            data = f.read()
    return hashlib.sha256(data).hexdigest(), data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('program')
    parser.add_argument('--release', action='store_true')
    parser.add_argument('--source')
    parser.add_argument('--toolchain')
    args = parser.parse_args()
    with open(args.program, 'rb') as f:
        data = f.read()
    sha = hashlib.sha256(data).hexdigest()
    report = Report()
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as e:
        pe = None
        report.require('the file reads as a PE image', False, str(e))
    if pe:
        # pefile reads on past a damaged file; ours must give no warning.
        report.check('pefile reads it without a warning', [], pe.get_warnings())
        for check in (lambda: check_resources(report, pe),
                      lambda: check_program(report, pe, data, args.release)):
            try:
                check()
            except (pefile.PEFormatError, struct.error, ValueError, IndexError) as e:
                report.require('the file reads as a PE image', False, str(e))
    if args.release and args.source:
        build_dir = os.path.dirname(os.path.abspath(args.program))
        for path in (os.path.abspath(args.source), build_dir):
            report.require('no build path inside (%s)' % path, path.encode() not in data)
    if args.release and args.toolchain:
        again, _ = build_again(args.source, args.toolchain)
        report.check('a second clean build gives the same SHA-256', sha, again)
    print('%s: %d bytes (%.1f KiB), SHA-256 %s' % (args.program, len(data), len(data) / 1024, sha))
    print('%d failed' % report.failures)
    return 1 if report.failures else 0


if __name__ == '__main__':
    sys.exit(main())
