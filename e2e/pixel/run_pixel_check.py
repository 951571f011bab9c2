#!/usr/bin/env python3
"""Runs the pixel check under Wine on a private display and passes on its
report and its exit code.

    run_pixel_check.py build/win64/e2e/pixel/pixel_check.exe build/win64/e2e/wineprefix
"""

import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

from wine_session import SessionError, WineSession, stop_on_signals  # noqa: E402


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    exe, prefix = sys.argv[1:]
    stop_on_signals()
    with tempfile.TemporaryDirectory(prefix="quelvani-pixel-") as work:
        try:
            with WineSession(prefix, work) as session:
                code, lines = session.run(exe, timeout=120)
        except SessionError as error:
            print("the pixel check did not run: %s" % error)
            return 1
    print("\n".join(lines))
    if code != 0:
        print("pixel check exited with %d" % code)
    return 0 if code == 0 else 1


if __name__ == "__main__":
    raise SystemExit(main())
