"""A real program's memory for the benchmark's minidumps: an interpreter
that has imported much of its standard library and holds the work of two
kinds of program, then stops itself (SIGSTOP) so that gcore can take its
core image. scripts/bench.sh starts it, takes the image and ends it.

    python3 bench/process_memory.py modules|texts
"""
import os
import signal
import sys

kind = sys.argv[1]
kept = []
if kind == "modules":
    # Code objects, dictionaries and strings of a large application.
    import importlib
    for name in sorted(sys.stdlib_module_names):
        if name.startswith("_") or name in ("antigravity", "this", "idlelib", "turtledemo", "tkinter", "turtle"):
            continue
        try:
            kept.append(importlib.import_module(name))
        except Exception:
            pass
    for module in list(sys.modules.values()):
        path = getattr(module, "__file__", None)
        if path and path.endswith(".py"):
            with open(path, encoding="utf-8", errors="replace") as source:
                text = source.read()
            kept.append(text)
            try:
                kept.append(compile(text, path, "exec"))
            except Exception:
                pass
else:
    # Parsed records and documents of a data-handling application.
    import json
    import re
    import xml.dom.minidom
    word = re.compile(r"[A-Za-z_]+")
    for root, _, files in os.walk("/usr/share/doc"):
        for name in sorted(files):
            path = os.path.join(root, name)
            if name.endswith((".gz", ".xz", ".bz2")) or not os.path.isfile(path):
                continue
            try:
                with open(path, encoding="utf-8", errors="replace") as text:
                    content = text.read(1 << 20)
            except OSError:
                continue
            lines = content.splitlines()
            kept.append(lines)
            kept.append({w: len(w) for w in word.findall(content)})
            kept.append(json.dumps({"path": path, "lines": lines[:200]}))
    for root, _, files in os.walk("/usr/share/xml"):
        for name in sorted(files)[:50]:
            try:
                kept.append(xml.dom.minidom.parse(os.path.join(root, name)))
            except Exception:
                pass
os.kill(os.getpid(), signal.SIGSTOP)
