#!/usr/bin/python3
"""portal_call.py uri LINK | file PATH | writable-file PATH

What a sandboxed browser (Flatpak, snap) does with a link or a download
instead of running xdg-open: it asks the desktop portal's OpenURI interface,
OpenURI with the link, or OpenFile with a descriptor of the file (read-only,
or read-write for writable-file).  Prints the portal's answer, its Response
code (0 done, 1 cancelled, 2 failed), or "none" when none came in time.
Runs inside the sandbox, on the session bus of DBUS_SESSION_BUS_ADDRESS.
"""
import os
import sys

from gi.repository import Gio, GLib

SECONDS = 30


def main():
    kind, target = sys.argv[1], sys.argv[2]
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    # The portal answers on a request object whose path follows from the
    # caller's bus name and a token of its choosing: listen there first, so
    # that no answer comes before anyone listens.
    token = f"zarno{os.getpid()}"
    request = "/org/freedesktop/portal/desktop/request/%s/%s" % (
        bus.get_unique_name()[1:].replace(".", "_"), token)
    loop = GLib.MainLoop()
    answer = []

    def on_response(_bus, _sender, _path, _interface, _signal, parameters):
        answer.append(parameters.unpack()[0])
        loop.quit()

    bus.signal_subscribe("org.freedesktop.portal.Desktop", "org.freedesktop.portal.Request", "Response",
                         request, None, Gio.DBusSignalFlags.NONE, on_response)
    options = {"handle_token": GLib.Variant("s", token)}
    fds = None
    if kind == "uri":
        method, parameters = "OpenURI", GLib.Variant("(ssa{sv})", ("", target, options))
    else:
        fd = os.open(target, os.O_RDWR if kind == "writable-file" else os.O_RDONLY)
        fds = Gio.UnixFDList.new()
        fds.append(fd)
        os.close(fd)
        method, parameters = "OpenFile", GLib.Variant("(sha{sv})", ("", 0, options))
    bus.call_with_unix_fd_list_sync("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                    "org.freedesktop.portal.OpenURI", method, parameters,
                                    GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, SECONDS * 1000,
                                    fds, None)
    GLib.timeout_add_seconds(SECONDS, loop.quit)
    loop.run()
    print(answer[0] if answer else "none", flush=True)


if __name__ == "__main__":
    main()
