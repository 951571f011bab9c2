#!/usr/bin/env python3
"""Packages the release program for download as
OUT_DIR/quelvani-<version>-win32.zip, holding quelvani.exe, README.txt and
SHA256SUMS, the same bytes from every run. The version is the About box's;
README.txt is the README's section for Windows users as plain text.
With --check, packages the program twice and checks what a user gets.

usage: release_zip.py --source DIR program.exe OUT_DIR
       release_zip.py --check --source DIR program.exe
"""
import argparse
import hashlib
import os
import re
import shutil
import sys
import tempfile
import textwrap
import time
import zipfile

SECTION = 'Quelvani for Windows users'
WIDTH = 76
MEMBERS = ['quelvani.exe', 'README.txt', 'SHA256SUMS']
# The earliest time a zip can hold; the same for every member and run.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def version(source):
    with open(os.path.join(source, 'app', 'quelvani.rc')) as f:
        found = re.search(r'"Quelvani Version ([0-9.]+)"', f.read())
    if not found:
        sys.exit('no "Quelvani Version" line in app/quelvani.rc')
    return found.group(1)


def section(source):
    """The section's lines, its heading first, up to the next heading of
    its level or above."""
    with open(os.path.join(source, 'README.md')) as f:
        lines = f.read().splitlines()
    start = lines.index('## ' + SECTION)
    end = next((i for i in range(start + 1, len(lines)) if re.match(r'##? ', lines[i])),
               len(lines))
    return lines[start:end]


def plain_text(lines):
    """Headings underlined, '- ' lists and paragraphs wrapped, backticks and
    bold marks dropped: the Markdown that section uses. CRLF for Notepad."""
    def inline(text):
        return text.replace('`', '').replace('**', '')

    # Each block a heading, a paragraph or a list, one string per item.
    blocks, block = [], []
    for line in lines + ['']:
        if line.startswith('#') or not line.strip():
            blocks += [block] if block else []
            blocks += [[line]] if line.startswith('#') else []
            block = []
        elif line.startswith('- ') or not block:
            block.append(line)
        else:
            block[-1] += ' ' + line.strip()
    out = []
    for block in blocks:
        heading = re.match(r'(##|###) (.*)', block[0])
        if heading:
            title = inline(heading.group(2))
            out += ['', title, ('=' if heading.group(1) == '##' else '-') * len(title)]
            continue
        out.append('')
        for item in block:
            bullet = '- ' if item.startswith('- ') else ''
            out += textwrap.wrap(inline(item[len(bullet):]), WIDTH, initial_indent=bullet,
                                 subsequent_indent=' ' * len(bullet), break_long_words=False,
                                 break_on_hyphens=False)
    return ('\r\n'.join(out[1:]) + '\r\n').encode('ascii')


def package(program, source, out_dir):
    with open(program, 'rb') as f:
        exe = f.read()
    readme = plain_text(section(source))
    # LF, as sha256sum writes it, so that `sha256sum -c SHA256SUMS` reads
    # it with any version; README.txt is the file meant for Notepad.
    sums = ''.join('%s  %s\n' % (hashlib.sha256(data).hexdigest(), name)
                   for name, data in zip(MEMBERS, (exe, readme))).encode('ascii')
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, 'quelvani-%s-win32.zip' % version(source))
    with zipfile.ZipFile(path, 'w') as z:
        for name, data in zip(MEMBERS, (exe, readme, sums)):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            # MS-DOS attributes, no Unix mode: the archive bit alone, as
            # Windows' own zip folders write it (0 would be replaced by
            # zipfile with a Unix mode).
            info.create_system = 0
            info.external_attr = 0x20
            # Stored: the download is small, and its bytes then do not
            # depend on which zlib the packaging machine has.
            info.compress_type = zipfile.ZIP_STORED
            z.writestr(info, data)
    return path


def check(program, source):
    failures = 0
    with tempfile.TemporaryDirectory(prefix='quelvani-release-') as tmp:
        first = package(program, source, os.path.join(tmp, 'a'))
        # The second from a copy with another time and mode, which must not
        # reach the zip.
        copy = os.path.join(tmp, 'quelvani.exe')
        shutil.copyfile(program, copy)
        os.utime(copy, (1e9, 1e9))
        os.chmod(copy, 0o600)
        second = package(copy, source, os.path.join(tmp, 'b'))
        with open(first, 'rb') as f, open(second, 'rb') as g:
            same = f.read() == g.read()
        with zipfile.ZipFile(first) as z:
            infos = z.infolist()
            data = {i.filename: z.read(i) for i in infos}
            comment = z.comment
    with open(program, 'rb') as f:
        exe = f.read()
    readme = data.get('README.txt', b'')
    body = readme.replace(b'\r\n', b'')
    lines = readme.decode('latin-1').split('\r\n')
    # The section found here apart from section(), so that a fault there shows.
    with open(os.path.join(source, 'README.md')) as f:
        md = next(p for p in f.read().split('\n## ') if p.startswith(SECTION + '\n'))
    md_words = [w.replace('`', '').replace('**', '') for w in md.split() if w.strip('#-')]
    txt_words = [w for w in readme.decode('latin-1').split() if w.strip('=-')]
    sums = [(hashlib.sha256(data.get(n, b'')).hexdigest(), n) for n in MEMBERS[:2]]
    got_sums = [tuple(line.split('  ', 1))
                for line in data.get('SHA256SUMS', b'').decode('latin-1').split('\n')[:-1]]
    today = time.localtime()[:3]
    for what, ok in [
        ('two packagings give the same bytes', same),
        ('members, in order: ' + ', '.join(MEMBERS), [i.filename for i in infos] == MEMBERS),
        ('every member has one fixed time, not the time of packaging',
         len({i.date_time for i in infos}) == 1 and infos[0].date_time[:3] != today),
        ('no extra fields and no comment', not comment and not any(i.extra for i in infos)),
        ('quelvani.exe is the built program', data.get('quelvani.exe') == exe),
        ('README.txt ends its lines with CRLF only',
         readme.endswith(b'\r\n') and b'\r' not in body and b'\n' not in body),
        ('README.txt has no tab and no byte outside ASCII', all(32 <= c < 127 for c in body)),
        ('README.txt lines are at most %d columns' % WIDTH,
         all(len(line) <= WIDTH for line in lines)),
        ('README.txt is the section "%s", word for word' % SECTION,
         lines[0] == SECTION and txt_words == md_words),
        ('SHA256SUMS lists quelvani.exe and README.txt by their SHA-256', got_sums == sums),
    ]:
        print('%s  %s' % ('ok  ' if ok else 'FAIL', what))
        failures += not ok
    print('%d failed' % failures)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--check', action='store_true')
    parser.add_argument('--source', required=True)
    parser.add_argument('program')
    parser.add_argument('out_dir', nargs='?')
    args = parser.parse_args()
    if args.check:
        return check(args.program, args.source)
    if not args.out_dir:
        parser.error('the folder to write the zip to is missing')
    path = package(args.program, args.source, args.out_dir)
    with open(path, 'rb') as f:
        data = f.read()
    print('%s: %d bytes, SHA-256 %s' % (path, len(data), hashlib.sha256(data).hexdigest()))
    return 0


if __name__ == '__main__':
    sys.exit(main())
