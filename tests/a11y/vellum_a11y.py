"""The real program on the accessibility bus, for the tests beside this file.

Run under dbus-run-session and xvfb-run: the session bus starts the AT-SPI
bus and its registry on demand, and the program joins it because
QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set. Every run gets folders of its own.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Vellum:
    def __init__(self, exe, posts=None, extra_env=None, post_url=None):
        self.root = tempfile.mkdtemp(prefix="vellum-a11y-")
        self.home = os.path.join(self.root, "home")
        os.makedirs(os.path.join(self.home, "date"))
        shutil.copy(os.path.join(SOURCE_DIR, "dist", "config.ini"), self.home)
        if post_url:
            with open(os.path.join(self.home, "config.ini"), "ab") as f:
                f.write(b"\r\n[PostData]\r\nURL=" + post_url.encode() + b"\r\n")
        for index, lines in (posts or {}).items():
            with open(os.path.join(self.home, "date", "Date%d.dat" % (index + 1)), "wb") as f:
                for title, content in lines:
                    f.write((title + "$TCSPLIT$" + content + "\r\n").encode("gb18030"))
        env = dict(os.environ)
        for name in ("run", "config", "state", "data", "user"):
            os.makedirs(os.path.join(self.root, name), mode=0o700)
        with open(os.path.join(self.root, "user", ".asoundrc"), "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        env.update({
            "VELLUM_HOME": self.home,
            "XDG_RUNTIME_DIR": os.path.join(self.root, "run"),
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_STATE_HOME": os.path.join(self.root, "state"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "HOME": os.path.join(self.root, "user"),
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "VELLUM_BENCH": "1",
            "LSAN_OPTIONS": "suppressions=%s/tests/lsan.supp" % SOURCE_DIR,
        })
        env.pop("QT_QPA_PLATFORM", None)
        env.update(extra_env or {})
        self.env = env
        self.stderr_path = os.path.join(self.root, "stderr.txt")
        # A window manager gives the focus back to the window under a dialog
        # that closes, as every desktop does.
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        self.proc = subprocess.Popen([exe], env=env, stderr=open(self.stderr_path, "wb"))
        wait_for(lambda: b"window shown" in self.errors(), 90, "the window to show")
        self.app = wait_for(self._find_app, 90, "the program on the accessibility bus")

    def errors(self):
        with open(self.stderr_path, "rb") as f:
            return f.read()

    def _find_app(self):
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except gi.repository.GLib.Error:
                continue
        return None

    def window(self, name, timeout=30):
        """The top-level window (frame or dialog) of that name, once shown."""
        def find():
            for i in range(self.app.get_child_count()):
                w = self.app.get_child_at_index(i)
                if w is not None and w.get_name() == name and showing(w):
                    return w
            return None
        return wait_for(find, timeout, "the window " + name)

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(60)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.wm.terminate()
        self.wm.wait()
        return self.proc.returncode

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def wait_for(probe, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            value = probe()
        except gi.repository.GLib.Error:
            value = None
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def showing(obj):
    states = obj.get_state_set()
    return states.contains(Atspi.StateType.SHOWING) and states.contains(Atspi.StateType.VISIBLE)


def descendants(obj):
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is None:
            continue
        yield child
        # Rows of a long list are many and alike; the first few stand for all.
        if child.get_role() in (Atspi.Role.LIST, Atspi.Role.TABLE, Atspi.Role.TREE,
                                Atspi.Role.TREE_TABLE) and child.get_child_count() > 20:
            continue
        yield from descendants(child)


def find(root, role=None, name=None):
    for obj in descendants(root):
        if (role is None or obj.get_role() == role) and (name is None or obj.get_name() == name):
            if showing(obj):
                return obj
    return None


def focus(obj):
    """Moves the keyboard focus to obj, as a screen reader's user would."""
    assert obj.get_component_iface().grab_focus(), "cannot focus " + obj.get_name()
    wait_for(lambda: obj.get_state_set().contains(Atspi.StateType.FOCUSED), 10,
             "the focus on " + obj.get_name())


def tab_to(events, name, role=None, backwards=False):
    """Presses Tab until the focus is on the control of that name."""
    for _ in range(40):
        obj = events.focus()
        if obj is not None and obj.get_name() == name and (role is None or obj.get_role() in role):
            return obj
        keys("shift+Tab" if backwards else "Tab")
    obj = events.focus()
    raise AssertionError("Tab never reached %s; the focus is on %s" % (
        name, obj.get_name() if obj is not None else "nothing"))


class BusEvents:
    """Follows the program as a screen reader does, through the bus's events:
    where the focus goes (pop-up menus are not children of the application,
    so their items are known only by this), and what appears or is renamed
    without the focus moving (a notice, a status)."""

    def __init__(self):
        self.last = None
        self.heard = []
        self.listener = Atspi.EventListener.new(self._on_event)
        for kind in ("object:state-changed:focused", "object:state-changed:showing",
                     "object:property-change:accessible-name"):
            self.listener.register(kind)

    def _on_event(self, event):
        if event.type == "object:state-changed:focused":
            if event.detail1 == 1:
                self.last = event.source
            return
        try:
            self.heard.append((event.type, event.source.get_role(), event.source.get_name()))
        except GLib.Error:
            pass

    def pump(self, seconds=0.3):
        context = GLib.MainContext.default()
        deadline = time.time() + seconds
        while time.time() < deadline:
            while context.iteration(False):
                pass
            time.sleep(0.02)

    def focus(self):
        """The control that has the keyboard; a list for its current row."""
        self.pump()
        obj = self.last
        try:
            if obj is not None and obj.get_role() in (Atspi.Role.LIST_ITEM,
                                                      Atspi.Role.TABLE_CELL):
                return obj.get_parent()
        except GLib.Error:
            return None
        return obj

    def name(self):
        obj = self.focus()
        try:
            return self.last.get_name() if obj is not None else None
        except GLib.Error:
            return None

    def wait_heard(self, kind, role, name, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.pump(0.2)
            if (kind, role, name) in self.heard:
                return
        raise AssertionError("never heard %s from a %s '%s'" % (kind, role.value_nick, name))


def keys(*names):
    """Keys typed on the program's display, one after the other."""
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        time.sleep(0.15)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)
    time.sleep(0.2)


def check(condition, message):
    if not condition:
        print("FAIL: " + message)
        sys.exit(1)
