#!/usr/bin/env python3
"""The mail reaches a real Claws Mail, Sylpheed or Evolution, the desktop's
mailto handler under Xvfb, first not yet running and then already running.
The proof is what the client would send: each case has the client save its
compose window as a draft with its own Save action (keystrokes through
xdotool) and reads the message file it wrote.

usage: mail_clients.py CLIENT PELLICOR    (the provider lies beside PELLICOR)
Exit status 77 when CLIENT or a tool is not installed.
"""
import email
import email.policy
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

RECIPIENT = "support+pellicor@example.com"
SUBJECT = "Karte leer – Müller & Co. 100% %41 \"quoted\" 'single' back\\slash, comma"
BODY = ("Grüße aus Zürich: 東京 ✓\nTom & Jerry, 50% off, issue #42, %41\n\n"
        "   leading blanks, \"double\" and 'single' quotes,\na back\\slash and a literal \\n\n"
        "a query?to=x&subject=y&body=%41\n\nlast line")
LONG_BODY = "".join("Zeile %d: Grüße aus 東京, 100%% & mehr\n" % i for i in range(5000))  # 200 KB
ZIP = b"PK\x03\x04 not really a zip \xff"
NOTE = "[Text shortened to fit a mailto: link; characters left out: "

# Each client's desktop file, compose window title, drafts folder under the
# home, main window title, and whether it reads the body from a file whole.
CLIENTS = {
    "claws-mail": ("claws-mail.desktop", "{} - Compose message", "Mail/draft", "tester@example.invalid - Claws Mail", True),
    "sylpheed": ("sylpheed.desktop", "{} - Compose", "Mail/draft", "tester@example.invalid - Sylpheed", False),
    "evolution": ("org.gnome.Evolution.desktop", "{}", ".local/share/evolution/mail/local/.Drafts", "Mail", False),
}
CASES = [  # name, already running, 200 KB body, archive missing
    ("cold", False, False, False), ("cold, 200 KB body", False, True, False), ("cold, archive missing", False, False, True),
    ("warm", True, False, False), ("warm, 200 KB body", True, True, False), ("warm, archive missing", True, False, True),
]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(text, bytes) else "w") as f:
        f.write(text)


def write_settings(client, home):
    """One account, an MH mailbox with a drafts folder (the layout Claws Mail
    kept from Sylpheed), no first-run screens. Claws Mail goes without its
    spelling checker, whose missing dictionary would stop every compose window
    with a dialog; it re-wraps lines over 72 columns by default, Evolution over 71."""
    if client == "evolution":
        write(home + "/.config/glib-2.0/settings/keyfile", "[org/gnome/evolution/mail]\ncomposer-word-wrap-length=1000\n")
        return
    folders = "".join('<folderitem type="%s" name="%s" path="%s"/>\n' % ("outbox" if f == "sent" else f, f, f)
                      for f in ("inbox", "sent", "queue", "trash", "draft"))
    for f in ("inbox", "sent", "queue", "trash", "draft"):
        os.makedirs(home + "/Mail/" + f)
    conf = home + ("/.claws-mail" if client == "claws-mail" else "/.sylpheed-2.0")
    write(conf + "/folderlist.xml", '<?xml version="1.0" encoding="UTF-8"?>\n<folderlist>\n'
          '<folder type="mh" name="Mailbox" path="%s/Mail">\n%s</folder>\n</folderlist>\n' % (home, folders))
    write(conf + "/accountrc", "[Account: 1]\naccount_name=tester@example.invalid\nis_default=1\nname=Pellicor Tester\n"
          "address=tester@example.invalid\nprotocol=0\nreceive_server=pop.example.invalid\n"
          "smtp_server=smtp.example.invalid\nuser_id=tester\n")
    write(conf + "/clawsrc", "[Common]\nenable_aspell=0\ncheck_while_typing=0\nlinewrap_auto=0\nlinewrap_pastes=0\n")


def xml_text(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def wait_for(what, timeout, poll=0.25):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = what()
        if value:
            return value
        time.sleep(poll)
    return None


class Desktop:
    """An X server, a session bus and a home whose mailto handler is the client;
    the clients' sockets (Claws Mail's in the runtime directory, Sylpheed's in
    TMPDIR) are its own, so no other instance takes the mail."""

    def __init__(self, client, root):
        self.client, self.root, self.home = client, root, root + "/home"
        self.desktop_file, self.title, drafts, self.main_window, self.whole = CLIENTS[client]
        self.drafts = self.home + "/" + drafts
        write_settings(client, self.home)
        write(self.home + "/.config/mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=%s\n" % self.desktop_file)
        os.makedirs(root + "/run", mode=0o700)
        self.env = {k: v for k, v in os.environ.items() if k in ("PATH", "USER", "LOGNAME")}
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=self.home + "/.config", XDG_DATA_HOME=self.home + "/.local/share",
                        XDG_CACHE_HOME=self.home + "/cache with blanks", XDG_RUNTIME_DIR=root + "/run", TMPDIR=root + "/run",
                        LANG="C.UTF-8", GSETTINGS_BACKEND="keyfile")
        self.servers = []
        self.env["DISPLAY"] = ":" + self.serve(["Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.serve(["dbus-daemon", "--session", "--nofork", "--print-address={fd}"])

    def serve(self, argv):
        """Starts a server in a group of its own; the line it reports on a pipe."""
        read, write_end = os.pipe()
        log = open(self.root + "/" + argv[0] + ".log", "ab")
        self.servers.append(subprocess.Popen([a.replace("{fd}", str(write_end)) for a in argv], env=self.env, stdout=log,
                                             stderr=log, pass_fds=[write_end], start_new_session=True))
        os.close(write_end)
        with os.fdopen(read) as f:
            line = f.readline().strip()
        if not line:
            raise RuntimeError(argv[0] + " did not start")
        return line

    def close(self):
        self.stop_client()
        for server in reversed(self.servers):
            os.killpg(server.pid, signal.SIGTERM)
            server.wait(10)

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], capture_output=True, text=True, errors="replace", env=self.env)
        return result.stdout.split("\n") if result.returncode == 0 else []

    def windows(self, accept):
        # Every window is asked its name: titles hold characters a pattern would take for syntax.
        return [w for w in self.xdotool("search", "--onlyvisible", "--name", ".") if w
                and accept((self.xdotool("getwindowname", w) or [""])[0])]

    def start_client(self):
        self.stop_client()
        log = open(self.root + "/client.log", "ab")
        subprocess.Popen([self.client], env=self.env, stdout=log, stderr=log, start_new_session=True)
        if not wait_for(lambda: self.windows(lambda name: name.startswith(self.main_window)), 90):
            raise RuntimeError("no main window of " + self.client)

    def ours(self):
        """The client's processes on this desktop, whoever started them, known by their home."""
        pids = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/comm" % pid) as f, open("/proc/%s/environ" % pid, "rb") as e:
                    if f.read().strip() == self.client[:15] and b"HOME=%s\0" % self.home.encode() in e.read():
                        with open("/proc/%s/stat" % pid) as s:
                            if s.read().rsplit(")", 1)[1].split()[0] not in "ZX":
                                pids.append(int(pid))
            except OSError:
                pass
        return pids

    def stop_client(self):
        for pid in self.ours():
            os.kill(pid, signal.SIGTERM)
        if not wait_for(lambda: not self.ours(), 10, 0.1):
            for pid in self.ours():
                os.kill(pid, signal.SIGKILL)

    def save_draft(self, subject):
        """Has the client save the compose window with this subject and close it;
        the saved message, or a reason why there is none."""
        title = self.title.format(subject)
        window = wait_for(lambda: self.windows(lambda name: name == title), 90)
        if not window:
            return "no compose window titled %r; the windows: %s" % (title, self.windows(bool))

        def drafts():  # a maildir's tmp holds messages still being written
            return {os.path.join(d, n) for d, _, names in os.walk(self.drafts) if os.path.basename(d) != "tmp"
                    for n in names if not n.startswith(".")}
        before = drafts()
        saved = None
        for _ in range(5):  # a window just mapped may not take keys yet
            self.xdotool("windowfocus", "--sync", window[0])
            self.xdotool("key", "--clearmodifiers", "ctrl+s")
            saved = wait_for(lambda: sorted(drafts() - before), 12)
            if saved:
                break
        if not saved:
            return "no draft saved under " + self.drafts
        sizes = []  # written in full once its size holds still
        wait_for(lambda: sizes.append(os.path.getsize(saved[0])) or (len(sizes) > 2 and sizes[-1] == sizes[-2]), 20, 0.3)
        with open(saved[0], "rb") as f:
            message = email.message_from_binary_file(f, policy=email.policy.default)
        for _ in range(4):
            self.xdotool("windowfocus", "--sync", window[0])
            self.xdotool("key", "--clearmodifiers", "ctrl+w")
            if wait_for(lambda: not self.windows(lambda name: name == title), 5):
                return message
        return "the compose window stayed open"


def check_case(desktop, pellicor, work, name, long_body, archive_gone):
    """The mistakes found in one case."""
    zip_path = work + ("/gone.zip" if archive_gone else "/report 1.zip")
    if not archive_gone:
        write(zip_path, ZIP)
    body = LONG_BODY if long_body else BODY
    write(work + "/issue.xml", "<IssueReport><MailAddress>%s</MailAddress><Subject>%s</Subject><Body>%s</Body>"
          "<AttachZip>%s</AttachZip></IssueReport>" % tuple(map(xml_text, (RECIPIENT, SUBJECT, body, zip_path))))
    # Into a file: a client it starts keeps a pipe open long after.
    with open(work + "/output", "wb") as output:
        run = subprocess.run([pellicor, "issue.xml"], cwd=work, env=desktop.env, timeout=60, stdout=output, stderr=output)
    with open(work + "/Pellicor.log", encoding="utf-8", errors="replace") as f:
        log = f.read()
    expected_line = "[MAIN:ERROR] MAPI report attachment not found" if archive_gone else "[MAIN:INFO] MAPI report sent"
    # The line after the one that names the desktop's mail client, which must be this one.
    lines = log.split("\n")
    if (run.returncode != 0 or not lines[1].endswith("Mail client offered by the desktop: " + desktop.desktop_file)
            or expected_line not in lines[2]):
        return ["exit status %d, log:\n%s" % (run.returncode, log)]
    message = desktop.save_draft(SUBJECT)
    if isinstance(message, str):
        return [message]
    errors = []
    for field, value in (("To", RECIPIENT), ("Subject", SUBJECT)):
        if str(message[field]) != value:
            errors.append("%s: %r" % (field, str(message[field])))
    text = next((p for p in message.walk() if p.get_content_type() == "text/plain" and not p.get_filename()), None)
    # Evolution's editor keeps a run of blanks as no-break spaces.
    saved = "" if text is None else text.get_content().replace("\r\n", "\n").replace("\u00a0", " ").rstrip("\n")
    files = [(p.get_filename(), p.get_payload(decode=True)) for p in message.walk() if p.get_filename()]
    if archive_gone:
        # The mailto: route, which names the archive where it should lie.
        expected, expected_files = "Please, attach the file %s\n%s" % (zip_path, BODY), []
    else:
        expected, expected_files = body.rstrip("\n"), [("log.zip", ZIP)]
    if files != expected_files:
        errors.append("attachments: %r" % files)
    if long_body and not desktop.whole:
        # Whole lines and part of one, then the note on a line of its own, counting what is missing.
        cut = saved.rfind("\n" + NOTE)
        if cut < 2000 or saved[:cut] != body[:cut] or saved[cut + 1 + len(NOTE):] != "%d]" % len(body[cut:]):
            errors.append("a long body not cut as it should be, ending in: %r" % saved[-300:])
    elif saved != expected:
        errors.append("body %d of %d characters:\n%s" % (len(saved), len(expected), saved[-300:]))
    return errors


def main():
    client, pellicor = sys.argv[1:3]
    missing = [p for p in (client, "Xvfb", "dbus-daemon", "xdg-mime", "xdg-open", "xdotool") if not shutil.which(p)]
    if missing:
        print("skipped: needs %s (scripts/install-deps.sh --e2e installs them)" % ", ".join(missing))
        sys.exit(77)
    # Ended from outside, it still takes its desktop down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    failures = 0
    with tempfile.TemporaryDirectory(prefix="pellicor-e2e-") as root:
        desktop = Desktop(client, root)
        try:
            started = False
            for i, (name, running, long_body, archive_gone) in enumerate(CASES):
                if not running:
                    desktop.stop_client()
                elif not started:
                    desktop.start_client()
                    started = True
                work = "%s/case%d" % (root, i)
                os.makedirs(work)
                errors = check_case(desktop, pellicor, work, name, long_body, archive_gone)
                print("%s %s: %s" % (client, name, "ok" if not errors else "FAILED\n  " + "\n  ".join(errors)), flush=True)
                failures += bool(errors)
        finally:
            desktop.close()
            if failures:
                for log in ("Xvfb.log", "dbus-daemon.log", "client.log"):
                    if os.path.exists(root + "/" + log):
                        print("--- " + log + "\n" + open(root + "/" + log, errors="replace").read()[-3000:])
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
