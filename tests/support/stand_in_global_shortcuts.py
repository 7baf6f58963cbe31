#!/usr/bin/python3
"""A stand-in for the desktop portal's global shortcuts on the session bus of a test.

It owns org.freedesktop.portal.Desktop and answers org.freedesktop.portal.GlobalShortcuts as a
desktop that grants every request at once would: CreateSession and BindShortcuts answer through
the Response signal of a request object whose path is made of the caller's bus name and its
handle_token. Nothing listens to a keyboard; a test makes the desktop report a press of a bound
shortcut with a method of its own:

  dbus-send --session --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
      org.vosta.test.StandIn.Activate string:snapshot

Each line it prints records what happened: "ready", "session PATH", "bound ID TRIGGER
DESCRIPTION" (TRIGGER "-" when none was preferred), "refused ID", "activated ID", "closed
PATH". With --refuse every BindShortcuts is answered as cancelled by the player.
"""

import argparse
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
TEST = "org.vosta.test.StandIn"

GRANTED, CANCELLED = 0, 1


def log(line):
    print(line, flush=True)


def object_path(kind, sender, token):
    return f"{PORTAL_PATH}/{kind}/{sender.lstrip(':').replace('.', '_')}/{token}"


class Request(dbus.service.Object):
    """A request object that answers once, after its method call has returned."""

    def __init__(self, bus, path, response, results):
        super().__init__(bus, path)
        GLib.idle_add(self._answer, response, results)

    def _answer(self, response, results):
        self.Response(dbus.UInt32(response), results)
        self.remove_from_connection()
        return False

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.path = path
        self.portal = portal
        self.shortcuts = []

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        log(f"closed {self.path}")
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, refuse):
        super().__init__(bus, PORTAL_PATH)
        self.bus = bus
        self.refuse = refuse
        self.sessions = {}
        self.counter = 0

    def _token(self, options, key):
        self.counter += 1
        return str(options.get(key, f"standin{self.counter}"))

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender):
        path = object_path("session", sender, self._token(options, "session_handle_token"))
        self.sessions[path] = Session(self.bus, path, self)
        log(f"session {path}")
        request = object_path("request", sender, self._token(options, "handle_token"))
        Request(self.bus, request, GRANTED, {"session_handle": dbus.String(path)})
        return dbus.ObjectPath(request)

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session_handle, shortcuts, parent_window, options, sender):
        request = object_path("request", sender, self._token(options, "handle_token"))
        session = self.sessions.get(str(session_handle))
        if self.refuse or session is None:
            for shortcut_id, _ in shortcuts:
                log(f"refused {shortcut_id}")
            Request(self.bus, request, CANCELLED, dbus.Dictionary({}, signature="sv"))
            return dbus.ObjectPath(request)
        bound = []
        for shortcut_id, properties in shortcuts:
            trigger = str(properties.get("preferred_trigger", "-"))
            description = str(properties.get("description", ""))
            log(f"bound {shortcut_id} {trigger} {description}")
            session.shortcuts.append(str(shortcut_id))
            bound.append(dbus.Struct(
                (shortcut_id, dbus.Dictionary({"description": description,
                                               "trigger_description": trigger},
                                              signature="sv")),
                signature="sa{sv}"))
        Request(self.bus, request, GRANTED,
                {"shortcuts": dbus.Array(bound, signature="(sa{sv})")})
        return dbus.ObjectPath(request)

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(TEST, in_signature="s", out_signature="u")
    def Activate(self, shortcut_id):
        """Reports a press of the shortcut in every session that bound it; returns how many."""
        now = dbus.UInt64(int(time.monotonic() * 1000))
        count = 0
        for path, session in list(self.sessions.items()):
            if shortcut_id in session.shortcuts:
                self.Activated(dbus.ObjectPath(path), shortcut_id, now,
                               dbus.Dictionary({}, signature="sv"))
                count += 1
        log(f"activated {shortcut_id} {count}")
        return dbus.UInt32(count)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--refuse", action="store_true")
    arguments = parser.parse_args()
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus, arguments.refuse)
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    log("ready")
    try:
        GLib.MainLoop().run()
    except KeyboardInterrupt:
        pass
    del name, portal
    return 0


if __name__ == "__main__":
    sys.exit(main())
