#!/usr/bin/python3
# Stands in for the desktop's file manager on a test's own session bus, which
# starts it on the first call to org.freedesktop.FileManager1: keeps what each
# ShowItems call was handed in RECORD (a line "ShowItems", one "uri=" line per
# URI, a "startup-id=" line), written before the answer goes out, so a caller
# that had its answer finds the record complete. MODE "answer" answers,
# "refuse" answers with an error, "silent" never answers.
#
#   record-file-manager.py RECORD MODE
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.FileManager1">
  <method name="ShowFolders"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
  <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
  <method name="ShowItemProperties"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>"""

record, mode = sys.argv[1], sys.argv[2]
unanswered = []


def on_call(connection, sender, path, interface, method, parameters, invocation):
    uris, startup_id = parameters.unpack()
    with open(record, "a", encoding="utf-8", errors="surrogateescape") as out:
        out.write(method + "\n")
        out.writelines("uri=" + uri + "\n" for uri in uris)
        out.write("startup-id=" + startup_id + "\n")
    if mode == "answer":
        invocation.return_value(None)
    elif mode == "refuse":
        invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "the stand-in refuses")
    else:
        unanswered.append(invocation)


def on_bus(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/FileManager1", node.interfaces[0], on_call, None, None)


loop = GLib.MainLoop()
# The bus that started us; the process ends with its connection.
Gio.bus_own_name(Gio.BusType.STARTER, "org.freedesktop.FileManager1", Gio.BusNameOwnerFlags.NONE, on_bus, None,
                 lambda connection, name: loop.quit())
loop.run()
