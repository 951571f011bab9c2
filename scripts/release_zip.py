#!/usr/bin/env python3
"""Packages the release program for download as
OUT_DIR/quelvani-<version>-win32.zip, holding quelvani.exe, README.txt,
LICENSE.txt and SHA256SUMS, the same bytes from every run of one commit.
The version is the About box's; README.txt is the About box's version line,
then the README's section for Windows users as plain text. Every member is
dated by the commit the source is at, or by SOURCE_DATE_EPOCH when set.
With --check, packages the program several ways and checks what a user gets.

usage: release_zip.py --source DIR program.exe OUT_DIR
       release_zip.py --check --source DIR program.exe
"""
import argparse
import calendar
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import time
import zipfile

# The release program's checks, beside this script's tree whatever --source is.
CHECK_PE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'pe',
                        'check_pe.py')
SECTION = 'Quelvani for Windows users'
WIDTH = 76
MEMBERS = ['quelvani.exe', 'README.txt', 'LICENSE.txt', 'SHA256SUMS']
# The times a zip's MS-DOS date can hold: 1980 to 2107.
FIRST, PAST_LAST = (calendar.timegm((year, 1, 1, 0, 0, 0)) for year in (1980, 2108))


def about(source):
    """The About box's version line, and the version in it."""
    with open(os.path.join(source, 'app', 'quelvani.rc')) as f:
        found = re.search(r'"(Quelvani Version ([0-9.]+))"', f.read())
    if not found:
        sys.exit('no "Quelvani Version" line in app/quelvani.rc')
    return found.groups()


def release_time(source):
    """The date every member carries: SOURCE_DATE_EPOCH when set, else the
    time of the commit the source is at. In UTC, so that one commit gives
    the same bytes whatever the packaging machine's time zone."""
    epoch = os.environ.get('SOURCE_DATE_EPOCH')
    if epoch is None:
        origin = 'the commit time'
        try:
            git = subprocess.run(['git', '-C', source, 'log', '-1', '--format=%ct'],
                                 capture_output=True, text=True)
            epoch, why = git.stdout.strip(), git.stderr.strip().partition('\n')[0]
        except OSError as e:
            epoch, why = '', str(e)
        if not epoch:
            sys.exit('no date for the zip: %s has no git commit (%s) and SOURCE_DATE_EPOCH '
                     'is not set; set SOURCE_DATE_EPOCH to the release time in seconds '
                     'since 1970 UTC' % (source, why))
        # The commit's date claims the commit's bytes.
        changed = subprocess.run(['git', '-C', source, 'diff', '--name-only', 'HEAD', '--'],
                                 capture_output=True, text=True).stdout.split()
        if changed:
            sys.exit('not packaging: tracked files differ from the commit the zip is dated by: '
                     '%s; commit them, or set SOURCE_DATE_EPOCH to package the tree as it '
                     'stands' % ', '.join(changed))
    else:
        origin = 'SOURCE_DATE_EPOCH'
        if not re.fullmatch('[0-9]+', epoch):
            sys.exit('SOURCE_DATE_EPOCH=%r is not a whole number of seconds since 1970 UTC'
                     % epoch)
    seconds = int(epoch)
    if not FIRST <= seconds < PAST_LAST:
        sys.exit('%s, %d seconds since 1970 UTC, is outside 1980 to 2107, the years a '
                 'zip can date its members by' % (origin, seconds))
    # MS-DOS times count in two-second steps: the even second at or before.
    return time.gmtime(seconds - seconds % 2)[:6]


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


def refuse_unchecked(program, source):
    """Stops unless the program passes the release program's checks
    (headers, imports present on XP, flags, resources)."""
    done = subprocess.run([sys.executable, CHECK_PE, '--release', '--source', source, program],
                          capture_output=True, text=True)
    if done.returncode != 0:
        failed = [line[6:] for line in done.stdout.splitlines() if line.startswith('FAIL')]
        sys.exit('not packaging %s: it fails the release checks: %s (see python3 %s --release '
                 '%s)' % (program, '; '.join(failed) or done.stderr.strip()[-200:],
                          os.path.normpath(CHECK_PE), program))


def package(program, source, out_dir):
    # The date and the program's checks first: without them, nothing is written.
    when = release_time(source)
    refuse_unchecked(program, source)
    line, number = about(source)
    with open(program, 'rb') as f:
        exe = f.read()
    readme = (line + '\r\n\r\n').encode('ascii') + plain_text(section(source))
    with open(os.path.join(source, 'LICENSE'), 'rb') as f:
        licence = f.read().replace(b'\n', b'\r\n')
    files = [exe, readme, licence]
    # CRLF, for Notepad like the other two; `sha256sum -c` reads it too.
    files.append(''.join('%s  %s\r\n' % (hashlib.sha256(data).hexdigest(), name)
                         for name, data in zip(MEMBERS, files)).encode('ascii'))
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.abspath(os.path.join(out_dir, 'quelvani-%s-win32.zip' % number))
    with zipfile.ZipFile(path, 'w') as z:
        for name, data in zip(MEMBERS, files):
            info = zipfile.ZipInfo(name, when)
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
    program, source = os.path.abspath(program), os.path.abspath(source)
    # What the zip should hold, read here apart from the packaging code, so
    # that a fault there shows.
    with open(os.path.join(source, 'app', 'quelvani.rc')) as f:
        about_line = re.search(r'CONTROL\s+"(Quelvani Version [^"]+)"', f.read()).group(1)
    zip_name = 'quelvani-%s-win32.zip' % about_line.split()[-1]
    with open(os.path.join(source, 'README.md')) as f:
        md = re.search(r'^## %s\n.*?(?=^##? |\Z)' % re.escape(SECTION), f.read(),
                       re.M | re.S).group()
    md_words = re.sub(r'(?m)^#+ ', '', md).replace('`', '').replace('**', '').split()
    with open(os.path.join(source, 'LICENSE'), 'rb') as f:
        licence = f.read()
    with open(program, 'rb') as f:
        exe = f.read()
    sys.dont_write_bytecode = True  # nothing written beside check_pe.py
    sys.path.insert(0, os.path.dirname(CHECK_PE))
    import check_pe
    # The packaged sources are committed afresh at this time, so that the
    # check holds in a tree with changes of its own.
    committed = '@1600000000 +0000'
    dated = (2020, 9, 13, 12, 26, 40)
    # Written out here, not taken from MEMBERS, so that a change there shows.
    order = ['quelvani.exe', 'README.txt', 'LICENSE.txt', 'SHA256SUMS']
    # A POSIX zone far from UTC, which needs no time zone data installed.
    east = 'QLV-13:45'

    with tempfile.TemporaryDirectory(prefix='quelvani-release-') as tmp:
        def run(out, src, prog, **changes):
            """Packages as release.sh does, in a process of its own so that TZ
            takes effect, from another folder, into tmp/out; the process and
            the zip's bytes (none if it wrote no zip)."""
            env = {k: v for k, v in dict(os.environ, **changes).items() if v is not None}
            done = subprocess.run(
                [sys.executable, os.path.abspath(__file__), '--source', src, prog, out],
                cwd=tmp, env=env, capture_output=True, text=True)
            path = os.path.join(tmp, out, zip_name)
            if not os.path.exists(path):
                return done, path, b''
            with open(path, 'rb') as f:
                return done, path, f.read()

        def post_xp(where):
            """A copy whose first import descriptor names USER32.dll too (with XP's
            functions), Windows 7's IsTouchWindow in the first or second of them."""
            pe = check_pe.pefile.PE(program)
            first = pe.DIRECTORY_ENTRY_IMPORT[0]
            user = next(d for d in pe.DIRECTORY_ENTRY_IMPORT if d.dll.lower() == b'user32.dll')
            first.struct.Name = user.struct.Name
            for imp, name in zip(first.imports, [b'GetDC', b'ReleaseDC', b'GetWindow']):
                pe.set_bytes_at_offset(imp.name_offset, name + b'\0')
            longest = max([first, user][where].imports, key=lambda i: len(i.name))
            pe.set_bytes_at_offset(longest.name_offset, b'IsTouchWindow\0')
            pe.write(os.path.join(tmp, 'post-xp-%d.exe' % where))
            return os.path.join(tmp, 'post-xp-%d.exe' % where)

        # A copy of the program with another time and mode, which must not
        # reach the zip; the source files packaging reads, without git, and
        # committed.
        copy = os.path.join(tmp, 'quelvani.exe')
        shutil.copyfile(program, copy)
        os.utime(copy, (1e9, 1e9))
        os.chmod(copy, 0o600)
        bare, repo = os.path.join(tmp, 'bare'), os.path.join(tmp, 'repo')
        os.makedirs(os.path.join(bare, 'app'))
        for name in ('app/quelvani.rc', 'README.md', 'LICENSE'):
            shutil.copyfile(os.path.join(source, name), os.path.join(bare, name))
        shutil.copytree(bare, repo)
        for args in (['init'], ['add', '.'], ['commit', '-m', 'release']):
            subprocess.run(['git', '-C', repo, '-c', 'user.name=q', '-c', 'user.email=q@q'] + args,
                           env=dict(os.environ, GIT_AUTHOR_DATE=committed,
                                    GIT_COMMITTER_DATE=committed), check=True, capture_output=True)

        clean = dict(SOURCE_DATE_EPOCH=None)
        utc, path, first = run('utc', repo, program, TZ='UTC0', **clean)
        sys.stderr.write(utc.stderr)
        second = run('east', repo, copy, TZ=east, **clean)[2]
        by_epoch = run('epoch', repo, program, TZ=east, SOURCE_DATE_EPOCH='1700000001')[2]
        # The tree changed since its commit: with SOURCE_DATE_EPOCH set, packaged.
        with open(os.path.join(repo, 'LICENSE'), 'a') as f:
            f.write('\n')
        epoch = dict(SOURCE_DATE_EPOCH='1700000001')
        refused = [(what, word, run(what, src, prog, TZ=east, **changes)[0],
                    os.path.exists(os.path.join(tmp, what)))
                   for what, src, prog, word, changes in [
            ('with neither git nor SOURCE_DATE_EPOCH', bare, program, 'SOURCE_DATE_EPOCH is not set',
             dict(clean, GIT_CEILING_DIRECTORIES=tmp)),
            ('a malformed SOURCE_DATE_EPOCH', repo, program, 'not a whole number',
             dict(SOURCE_DATE_EPOCH='1.7e9')),
            ('a SOURCE_DATE_EPOCH before 1980 UTC', repo, program, 'outside 1980',
             dict(SOURCE_DATE_EPOCH='315532799')),
            ('a tree whose LICENSE differs from the commit it is dated by', repo, program,
             'dated by: LICENSE;', clean),
        ] + [('a program importing IsTouchWindow in the %s of two USER32.dll descriptors' % nth,
              repo, post_xp(where), 'present on Windows XP', epoch)
             for where, nth in enumerate(['first', 'second'])]]
        as_it_stands = run('as it stands', repo, program, **epoch)[2]

    def unzip(data):
        """The members' infos and contents, and the zip's comment."""
        try:
            with zipfile.ZipFile(io.BytesIO(data)) as z:
                return z.infolist(), {i.filename: z.read(i) for i in z.infolist()}, z.comment
        except zipfile.BadZipFile:
            return [], {}, b''

    def crlf_only(text):
        body = text.replace(b'\r\n', b'')
        return text.endswith(b'\r\n') and b'\r' not in body and b'\n' not in body

    infos, data, comment = unzip(first)
    readme = data.get('README.txt', b'')
    lines = readme.decode('latin-1').split('\r\n')
    # Its words after the version line, less the lines underlining headings.
    txt_words = ' '.join(line for above, line in zip(lines[1:], lines[2:])
                         if not (set(line) in ({'='}, {'-'}) and len(line) == len(above))
                         ).split()
    sums = [(hashlib.sha256(data.get(n, b'')).hexdigest(), n) for n in order[:-1]]
    got_sums = [tuple(line.split('  ', 1))
                for line in data.get('SHA256SUMS', b'').decode('latin-1').split('\r\n')[:-1]]
    failures = 0
    for what, ok in [
        ('packaging prints the zip\'s absolute path, size and SHA-256',
         utc.stdout == '%s: %d bytes, SHA-256 %s\n' % (path, len(first),
                                                       hashlib.sha256(first).hexdigest())),
        ('packagings under TZ=UTC0 and TZ=%s, of copies with other times and modes, '
         'give the same bytes' % east, first != b'' and first == second),
        ('members, in order: ' + ', '.join(order), [i.filename for i in infos] == order),
        ('every member is dated by the commit, %s UTC' % (dated,),
         [i.date_time for i in infos] == [dated] * len(order)),
        ('SOURCE_DATE_EPOCH=1700000001 dates every member (2023, 11, 14, 22, 13, 20) UTC',
         [i.date_time for i in unzip(by_epoch)[0]] == [(2023, 11, 14, 22, 13, 20)] * 4),
        ('with SOURCE_DATE_EPOCH, a tree that differs from its commit is packaged as it stands',
         unzip(as_it_stands)[1].get('LICENSE.txt') == licence.replace(b'\n', b'\r\n') + b'\r\n'),
        ('no extra fields and no comment', not comment and not any(i.extra for i in infos)),
        ('quelvani.exe is the built program', data.get('quelvani.exe') == exe),
    ] + [('%s ends its lines with CRLF only' % n, crlf_only(data.get(n, b'')))
         for n in ('README.txt', 'LICENSE.txt', 'SHA256SUMS')] + [
        ('README.txt has no tab and no byte outside ASCII',
         all(32 <= c < 127 for c in readme.replace(b'\r\n', b''))),
        ('README.txt lines are at most %d columns' % WIDTH,
         all(len(line) <= WIDTH for line in lines)),
        ('README.txt begins with the About box\'s "%s" and a blank line' % about_line,
         lines[:2] == [about_line, '']),
        ('then the section "%s", word for word' % SECTION,
         lines[2:3] == [SECTION] and txt_words == md_words),
        ('LICENSE.txt is LICENSE with CRLF line ends', data.get('LICENSE.txt') ==
         licence.replace(b'\n', b'\r\n')),
        ('SHA256SUMS lists %s by their SHA-256' % ', '.join(order[:-1]), got_sums == sums),
    ] + [('refuses %s: non-zero exit, one line saying so, no zip' % what,
          done.returncode != 0 and done.stderr.count('\n') == 1 and word in done.stderr
          and not made)
         for what, word, done, made in refused]:
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
