"""A stand-in for the desktop portal's settings on the session bus:
python3 fake_portal.py COLOR_SCHEME HIGH_CONTRAST (a number, true/false)."""
import sys

from gi.repository import Gio, GLib

SCHEME = int(sys.argv[1])
HIGH_CONTRAST = sys.argv[2] == "true"
XML = """<node><interface name="org.freedesktop.portal.Settings">
<method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="v" direction="out"/></method></interface></node>"""


def on_call(_conn, _sender, _path, _iface, _method, params, invocation):
    group, key = params.unpack()
    # The portal wraps the value in one variant more than its signature says.
    if (group, key) == ("org.freedesktop.appearance", "color-scheme"):
        value = GLib.Variant("u", SCHEME)
    elif (group, key) == ("org.gnome.desktop.a11y.interface", "high-contrast"):
        value = GLib.Variant("b", HIGH_CONTRAST)
    else:
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "no such key")
        return
    invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", value),)))


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
bus.register_object("/org/freedesktop/portal/desktop",
                    Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0], on_call, None, None)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop",
                               Gio.BusNameOwnerFlags.NONE,
                               lambda *_: print("ready", flush=True), None)
GLib.MainLoop().run()
