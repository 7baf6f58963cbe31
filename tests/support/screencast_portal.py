#!/usr/bin/python3
"""A stand-in for the desktop portal's ScreenCast interface, for tests with no person present.

It owns org.freedesktop.portal.Desktop on the session bus and answers as a desktop's portal
would, without a dialog. Start shares a "monitor": as a desktop does, it starts a new PipeWire
video source for the session (GStreamer's test source showing PATTERN at SIZE and RATE frames a
second), which ends with the session; its process id goes to STATE/source-pid. Start refuses
(response 1) while STATE/answer says "refuse" and fails (response 2) while it says "fail"; each
grant hands out a new restore token. OpenPipeWireRemote hands out a connection to the PipeWire
daemon of $XDG_RUNTIME_DIR. Every call is logged to STATE/calls as one JSON object a line, with
the options it was given. STATE/ready appears once the name is owned.

Usage: screencast_portal.py STATE PATTERN WIDTHxHEIGHT RATE
"""
import atexit
import json
import os
import signal
import socket
import subprocess
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BUS_NAME = "org.freedesktop.portal.Desktop"
OBJECT = "/org/freedesktop/portal/desktop"
SCREEN_CAST = "org.freedesktop.portal.ScreenCast"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
PROPERTIES = "org.freedesktop.DBus.Properties"

STATE, PATTERN, SIZE, RATE = sys.argv[1:5]
SOURCES = []  # the running sources' processes


def read_state(name, default=""):
    try:
        with open(os.path.join(STATE, name)) as f:
            return f.read().strip()
    except FileNotFoundError:
        return default


def log(call, **fields):
    fields["call"] = call
    with open(os.path.join(STATE, "calls"), "a") as f:
        f.write(json.dumps(fields) + "\n")


def plain(value):
    """A D-Bus value as JSON can hold it."""
    if isinstance(value, (dbus.Boolean,)):
        return bool(value)
    if isinstance(value, (dbus.String, dbus.ObjectPath)):
        return str(value)
    if isinstance(value, (int,)):
        return int(value)
    return str(value)


def handle_path(kind, sender, token):
    return "/org/freedesktop/portal/desktop/%s/%s/%s" % (
        kind, sender.lstrip(":").replace(".", "_"), token)


def start_source():
    """A new video source node as a shared monitor: its process and node id (None: no node)."""
    name = "vosta-test-screen-%d-%d" % (os.getpid(), len(SOURCES) + 1)
    width, height = SIZE.split("x")
    process = subprocess.Popen(
        ["gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "pattern=" + PATTERN, "!",
         "video/x-raw,format=BGRx,width=%s,height=%s,framerate=%s/1" % (width, height, RATE),
         "!", "pipewiresink", "mode=provide", "client-name=" + name,
         "stream-properties=props,media.class=Video/Source,node.name=" + name],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    SOURCES.append(process)
    with open(os.path.join(STATE, "source-pid"), "w") as f:
        f.write("%d\n" % process.pid)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and process.poll() is None:
        dump = subprocess.run(["pw-dump"], capture_output=True, text=True).stdout
        for item in json.loads(dump or "[]"):
            props = item.get("info", {}).get("props", {})
            if item.get("type") == "PipeWire:Interface:Node" and props.get("node.name") == name:
                return process, item["id"]
        time.sleep(0.1)
    return process, None


def stop_sources():
    for process in SOURCES:
        if process.poll() is None:
            process.terminate()
            process.wait()


class Request(dbus.service.Object):
    """A pending request: answers through Response once the method call has returned."""

    def __init__(self, bus, path, response, results):
        super().__init__(bus, path)
        self.closed = False
        GLib.idle_add(self.answer, response, results)

    def answer(self, response, results):
        if not self.closed:
            self.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
        self.remove_from_connection()
        return False

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.closed = True
        log("Request.Close")


class Session(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.path = path
        self.source = None

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        log("Session.Close", session=self.path)
        if self.source is not None and self.source.poll() is None:
            self.source.terminate()
            self.source.wait()
        self.remove_from_connection()


class ScreenCast(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, OBJECT)
        self.bus = bus
        self.tokens = 0
        self.sessions = {}

    def request(self, sender, options, response, results):
        path = handle_path("request", sender, str(options.get("handle_token", "t")))
        Request(self.bus, path, response, results)
        return dbus.ObjectPath(path)

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        if interface != SCREEN_CAST:
            raise dbus.exceptions.DBusException(
                "no such interface", name="org.freedesktop.DBus.Error.UnknownInterface")
        return {"version": dbus.UInt32(4), "AvailableSourceTypes": dbus.UInt32(3),
                "AvailableCursorModes": dbus.UInt32(3)}

    @dbus.service.method(SCREEN_CAST, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        session = handle_path("session", sender, str(options["session_handle_token"]))
        self.sessions[session] = Session(self.bus, session)
        log("CreateSession", session=session)
        return self.request(sender, options, 0, {"session_handle": dbus.String(session)})

    @dbus.service.method(SCREEN_CAST, in_signature="oa{sv}", out_signature="o",
                         sender_keyword="sender")
    def SelectSources(self, session, options, sender=None):
        log("SelectSources", session=str(session),
            **{key: plain(value) for key, value in options.items() if key != "handle_token"})
        return self.request(sender, options, 0, {})

    @dbus.service.method(SCREEN_CAST, in_signature="osa{sv}", out_signature="o",
                         sender_keyword="sender")
    def Start(self, session, parent, options, sender=None):
        answer = read_state("answer", "grant")
        if answer in ("refuse", "fail"):
            log("Start", session=str(session), answer=answer)
            return self.request(sender, options, 1 if answer == "refuse" else 2, {})
        source, node = start_source()
        if node is None:
            log("Start", session=str(session), answer="no source")
            return self.request(sender, options, 2, {})
        self.sessions[str(session)].source = source
        self.tokens += 1
        token = "stand-in-%d-%d" % (os.getpid(), self.tokens)
        log("Start", session=str(session), answer=answer, token=token, node=node)
        stream = dbus.Struct((dbus.UInt32(node), dbus.Dictionary({
            "source_type": dbus.UInt32(1),
            "position": dbus.Struct((dbus.Int32(0), dbus.Int32(0))),
        }, signature="sv")), signature="ua{sv}")
        return self.request(sender, options, 0, {
            "streams": dbus.Array([stream], signature="(ua{sv})"),
            "restore_token": dbus.String(token),
            "persist_mode": dbus.UInt32(2),
        })

    @dbus.service.method(SCREEN_CAST, in_signature="oa{sv}", out_signature="h")
    def OpenPipeWireRemote(self, session, options):
        remote = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        remote.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "pipewire-0"))
        log("OpenPipeWireRemote", session=str(session))
        fd = dbus.types.UnixFd(remote.fileno())
        remote.close()
        return fd


def main():
    atexit.register(stop_sources)
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = ScreenCast(bus)
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    with open(os.path.join(STATE, "ready"), "w") as f:
        f.write("%s\n" % bus.get_unique_name())
    loop = GLib.MainLoop()
    # Ended, it ends the sources it started.
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    del portal, name


if __name__ == "__main__":
    main()
