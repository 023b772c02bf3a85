#!/usr/bin/python3
# Waits, at most a minute, for Thunar to show FOLDER with FILE selected, as its
# accessibility tree tells: a window named after the folder whose status bar
# names that one file in quotes, which Thunar does for a single selected item.
# Prints what it saw; the exit status says whether it was shown.
#
#   thunar-selection.py FOLDER FILE
import sys
import time

import pyatspi

folder, name = sys.argv[1], sys.argv[2]
deadline = time.monotonic() + 60
seen = "no Thunar window"
while True:
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != "Thunar":
            continue
        for window in app:
            if window is None:
                continue
            bars = [bar.name for bar in pyatspi.findAllDescendants(
                window, lambda a: a is not None and a.getRole() == pyatspi.ROLE_STATUS_BAR)]
            seen = "window %r, status bars %r" % (window.name, bars)
            if window.name == folder + " - Thunar" and any(bar.startswith('"%s"' % name) for bar in bars):
                print(seen)
                sys.exit(0)
    if time.monotonic() > deadline:
        print("not shown; last seen: " + seen)
        sys.exit(1)
    # Nothing to wait on: the tree is read again.
    time.sleep(0.2)
