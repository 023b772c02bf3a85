#!/usr/bin/env python3
"""Has a mail client save the compose window titled TITLE as a draft, with
its own keystrokes (xdotool, on the X display of $DISPLAY), then closes it,
and prints the saved message as JSON: what the client would send.

usage: save_draft.py TITLE DRAFTS_DIR SAVE_KEYS CLOSE_KEYS
       save_draft.py --wait TITLE_START    waits for a window whose title starts so
"""
import email
import email.policy
import json
import os
import subprocess
import sys
import time


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, errors="replace")
    return result.stdout.split("\n") if result.returncode == 0 else []


def windows_titled(title):
    # Every window is asked its name: titles hold characters a pattern would take for syntax.
    return [w for w in xdotool("search", "--onlyvisible", "--name", ".") if w and xdotool("getwindowname", w)[:1] == [title]]


def files_under(root):
    found = {}
    for dir_path, _, names in os.walk(root):
        for name in names:
            if not name.startswith("."):
                path = os.path.join(dir_path, name)
                found[path] = os.path.getsize(path)
    return found


def wait_for(what, timeout, poll=0.25):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = what()
        if value:
            return value
        time.sleep(poll)
    return None


def read_message(path):
    with open(path, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    mail = {"to": str(message["To"] or ""), "subject": str(message["Subject"] or ""), "body": None, "attachments": []}
    for part in message.walk():
        if part.is_multipart():
            continue
        if part.get_filename():
            mail["attachments"].append([part.get_filename(), part.get_payload(decode=True).hex()])
        elif mail["body"] is None and part.get_content_type() == "text/plain":
            mail["body"] = part.get_content().replace("\r\n", "\n")
    return mail


def main():
    if sys.argv[1] == "--wait":
        start = sys.argv[2]
        found = wait_for(lambda: any(xdotool("getwindowname", w)[0].startswith(start)
                                     for w in xdotool("search", "--onlyvisible", "--name", ".") if w), 90)
        sys.exit(0 if found else "no window titled %r..." % start)
    title, drafts, save_keys, close_keys = sys.argv[1:5]
    window = wait_for(lambda: windows_titled(title), 90)
    if not window:
        sys.exit("no compose window titled %r; the windows: %s" % (title, [xdotool("getwindowname", w)[:1] for w in xdotool("search", "--name", ".") if w]))
    before = files_under(drafts)
    # A window just mapped may not take keys yet: pressed again until a draft appears.
    saved = None
    for _ in range(5):
        xdotool("windowfocus", "--sync", window[0])
        xdotool("key", "--clearmodifiers", save_keys)
        saved = wait_for(lambda: [p for p in files_under(drafts) if p not in before], 12)
        if saved:
            break
    if not saved:
        sys.exit("no draft saved under " + drafts)
    # Written in full once its size holds still.
    sizes = []
    wait_for(lambda: sizes.append(files_under(drafts).get(saved[0])) or (len(sizes) > 2 and sizes[-1] == sizes[-2]), 20, 0.3)
    mail = read_message(saved[0])
    for _ in range(4):
        xdotool("windowfocus", "--sync", window[0])
        xdotool("key", "--clearmodifiers", close_keys)
        mail["closed"] = bool(wait_for(lambda: not windows_titled(title), 5))
        if mail["closed"]:
            break
    json.dump(mail, sys.stdout)


if __name__ == "__main__":
    main()
