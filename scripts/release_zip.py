#!/usr/bin/env python3
"""Packages the release program for download as
OUT_DIR/quelvani-<version>-win32.zip, holding quelvani.exe, README.txt and
SHA256SUMS, the same bytes from every run. The version is the About box's;
README.txt is the README's section for Windows users as plain text.

usage: release_zip.py --source DIR program.exe OUT_DIR
"""
import argparse
import hashlib
import os
import re
import sys
import textwrap
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--source', required=True)
    parser.add_argument('program')
    parser.add_argument('out_dir')
    args = parser.parse_args()
    path = package(args.program, args.source, args.out_dir)
    with open(path, 'rb') as f:
        data = f.read()
    print('%s: %d bytes, SHA-256 %s' % (path, len(data), hashlib.sha256(data).hexdigest()))
    return 0


if __name__ == '__main__':
    sys.exit(main())
