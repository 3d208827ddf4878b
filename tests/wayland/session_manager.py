#!/usr/bin/python3
# A stand-in for GNOME's org.gnome.SessionManager on the session bus, for the idle
# watcher's tests: Inhibit(app, xid, reason, flags) holds the flags and sends
# InhibitorAdded, IsInhibited(flags) answers whether any held flag is asked.
# With "stuck", IsInhibited never answers. It prints "ready" once it owns the name,
# and "asked" at each IsInhibited.
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PATH = "/org/gnome/SessionManager"
NAME = "org.gnome.SessionManager"


class SessionManager(dbus.service.Object):
    def __init__(self, bus, stuck):
        super().__init__(bus, PATH)
        self.flags = {}
        self.stuck = stuck

    @dbus.service.method(NAME, in_signature="susu", out_signature="u")
    def Inhibit(self, app, xid, reason, flags):
        cookie = len(self.flags) + 1
        self.flags[cookie] = int(flags)
        self.InhibitorAdded(dbus.ObjectPath(f"{PATH}/Inhibitor{cookie}"))
        return cookie

    @dbus.service.method(NAME, in_signature="u", out_signature="b", async_callbacks=("answer", "error"))
    def IsInhibited(self, flags, answer, error):
        print("asked", flush=True)
        if not self.stuck:
            answer(any(held & int(flags) for held in self.flags.values()))

    @dbus.service.signal(NAME, signature="o")
    def InhibitorAdded(self, path):
        pass


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(NAME, bus)
manager = SessionManager(bus, sys.argv[1:] == ["stuck"])
print("ready", flush=True)
GLib.MainLoop().run()
