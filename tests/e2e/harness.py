"""The demo window driven as a person uses it: through the accessibility tree.

One desktop per test process: a display server (Xvfb, or weston's headless backend for a native
Wayland client), a private session bus and the accessibility bus on it. The real flashwell-demo
runs on that desktop with accessibility always on; tests find its controls by role and name and
press them through AT-SPI actions, or type on the keyboard (XTest) where the keyboard is the point.

Every process started here runs in one process group of its own and gets SIGTERM when this
process dies, so nothing is left behind, not even after a failure or a kill.
"""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

DEMO = os.environ.get("FLASHWELL_DEMO", "")
PLATFORM = os.environ.get("FLASHWELL_E2E_PLATFORM", "xcb")  # xcb or wayland
TIMEOUT = 20.0  # seconds any one condition may take to come true

_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


class Failure(AssertionError):
    pass


class Desktop:
    """Display server, session bus and accessibility bus, all private to this process."""

    def __init__(self, platform=PLATFORM):
        self.platform = platform
        self.group = 0
        self.procs = []
        self.runtime = tempfile.mkdtemp(prefix="flashwell-e2e-")
        os.chmod(self.runtime, 0o700)
        self.env = {
            k: v
            for k, v in os.environ.items()
            if not k.startswith(("DBUS_", "AT_SPI", "WAYLAND_", "QT_", "XDG_", "DISPLAY", "LANG", "LC_"))
        }
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        self.env["HOME"] = self.runtime
        self.env["LANG"] = "C.UTF-8"

    def _spawn(self, argv, env=None, **kw):
        group = self.group

        def prepare():
            os.setpgid(0, group)
            _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)

        proc = subprocess.Popen(argv, env=env or self.env, preexec_fn=prepare, **kw)
        if not self.group:
            self.group = proc.pid
        self.procs.append(proc)
        return proc

    def start(self):
        try:
            if self.platform == "wayland":
                self._start_weston()
            else:
                self._start_xvfb()
            self._start_buses()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self._spawn(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "2560x1600x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,),
            stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()

    def _start_weston(self):
        socket = "wayland-flashwell"
        self.log = open(os.path.join(self.runtime, "weston.log"), "w")
        self._spawn(
            ["weston", "--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0",
             "--width=2560", "--height=1600"],
            stdout=self.log,
            stderr=subprocess.STDOUT,
        )
        path = os.path.join(self.runtime, socket)
        wait_for(lambda: os.path.exists(path), "weston's socket", timeout=TIMEOUT)
        self.env["WAYLAND_DISPLAY"] = socket

    def _start_buses(self):
        bus = self._spawn(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
            stdout=subprocess.PIPE,
        )
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise Failure("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self._spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], stderr=subprocess.DEVNULL)
        # pyatspi connects when imported: only now, with this desktop's buses in the environment.
        for key in ("DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"):
            if key in self.env:
                os.environ[key] = self.env[key]
            else:
                os.environ.pop(key, None)
        wait_for(self._a11y_bus_ready, "the accessibility bus", timeout=TIMEOUT)
        global pyatspi
        import pyatspi as module  # noqa: E402

        pyatspi = module

    def _a11y_bus_ready(self):
        out = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"],
            env=self.env, capture_output=True)
        return out.returncode == 0 and b"unix:" in out.stdout

    def stop(self):
        if self.group:
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(self.group, sig)
                except ProcessLookupError:
                    break
                deadline = time.monotonic() + 5
                while time.monotonic() < deadline and any(p.poll() is None for p in self.procs):
                    time.sleep(0.05)
                if all(p.poll() is not None for p in self.procs):
                    # Grandchildren (the accessibility bus daemon, the registry) share the group.
                    try:
                        os.killpg(self.group, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                    break
            self.group = 0
        for p in self.procs:
            if p.stdout:
                p.stdout.close()
        self.procs = []
        shutil.rmtree(self.runtime, ignore_errors=True)


def wait_for(condition, what, timeout=TIMEOUT, interval=0.05):
    """Polls until condition() returns something true, which it returns; fails after timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Exception as e:  # the tree changes under us: a node may vanish between calls
            last_error = e
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s%s" % (
                timeout, what, " (last error: %r)" % last_error if last_error else ""))
        time.sleep(interval)


def role_name(acc):
    return acc.getRoleName()


def states(acc):
    return acc.getState()


def showing(acc):
    s = acc.getState()
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


def text_of(acc):
    """The name, or else the text content, of a node."""
    name = acc.name or ""
    if name:
        return name
    try:
        t = acc.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return ""


def walk(acc, only_showing=True):
    """Every descendant of acc, depth first in tree order; hidden branches skipped when asked."""
    stack = [acc]
    while stack:
        node = stack.pop()
        if node is not acc:
            yield node
        for i in range(node.childCount - 1, -1, -1):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            if only_showing and not showing(child):
                continue
            stack.append(child)


class Demo:
    """One run of flashwell-demo on a desktop, and what a person can do with its window."""

    def __init__(self, desktop, devices=None, lang="en_US.UTF-8", scale=None, extra_env=None):
        self.desktop = desktop
        self.lang = "zh_CN" if lang.startswith("zh") else "en"
        self.scale = scale or 1.0
        env = dict(desktop.env)
        env.update({
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_QPA_PLATFORM": "wayland" if desktop.platform == "wayland" else "xcb",
            "LANG": lang,
            "LANGUAGE": lang.split(".")[0],
            "QT_ACCESSIBILITY": "1",
            # The test build carries sanitizers: a leak report at exit is not this test's business.
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        if scale:
            env["QT_SCALE_FACTOR"] = str(scale)
        env.update(extra_env or {})
        argv = [DEMO]
        if devices is not None:
            argv += ["--devices", str(devices)]
        self.log = open(os.path.join(desktop.runtime, "demo-%d.log" % len(desktop.procs)), "w+")
        self.proc = desktop._spawn(argv, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.app = wait_for(self._find_app, "the demo in the accessibility tree")
        self.window = wait_for(lambda: self._first(self.app, "frame", None, deep=False),
                               "the demo's window")

    def _find_app(self):
        if self.proc.poll() is not None:
            raise Failure("the demo exited with %s:\n%s" % (self.proc.returncode, self.output()))
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.proc.pid and app.childCount > 0:
                return app
        return None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()[-4000:]

    def quit(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.quit()
        return False

    # --- finding controls ---

    def _first(self, root, role, name, deep=True):
        nodes = walk(root) if deep else (root.getChildAtIndex(i) for i in range(root.childCount))
        for node in nodes:
            if node is None:
                continue
            if role and role_name(node) != role:
                continue
            if name is not None and not _matches(text_of(node), name):
                continue
            return node
        return None

    def find(self, role, name=None, root=None):
        """The first showing control of that role whose name (or text) matches, or None."""
        return self._first(root or self.app, role, name)

    def wait(self, role, name=None, root=None, timeout=TIMEOUT):
        try:
            return wait_for(lambda: self.find(role, name, root), "%s %r" % (role, name), timeout=timeout)
        except Failure as e:
            raise Failure("%s; the window shows %r" % (e, self.texts())) from None

    def wait_gone(self, role, name=None, timeout=TIMEOUT):
        wait_for(lambda: self.find(role, name) is None, "%s %r to go" % (role, name), timeout=timeout)

    def texts(self):
        """Every showing name or text in the window, in tree order."""
        return [text_of(n) for n in walk(self.app) if text_of(n)]

    def focused(self):
        for node in walk(self.app):
            if states(node).contains(pyatspi.STATE_FOCUSED):
                return node
        return None

    # --- acting ---

    def press(self, acc):
        """The control's own press action (what a screen reader user does)."""
        action = acc.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        for wanted in ("Press", "press", "click", "Toggle", "toggle"):
            if wanted in names:
                action.doAction(names.index(wanted))
                return
        raise Failure("%s %r has no press action (it has %r)" % (role_name(acc), acc.name, names))

    def menu(self, *path):
        """Triggers a menu item by its path of names from the menu bar."""
        node = self.window
        for depth, name in enumerate(path):
            found = None
            for child in walk(node, only_showing=False):
                if role_name(child) in ("menu", "menu item", "check menu item", "radio menu item") \
                        and _matches(child.name, name):
                    found = child
                    break
            if found is None:
                raise Failure("no menu item %r under %r" % (name, path[:depth]))
            node = found
        self.press(node)

    def keys(self, *keys):
        """Types keys with XTest, into the window, which gets the keyboard focus first."""
        if "DISPLAY" not in self.desktop.env:
            raise unittest.SkipTest("keyboard input needs XTest (X11)")
        window = wait_for(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
            env=self.desktop.env, capture_output=True, text=True).stdout.split(), "the demo's X window")
        subprocess.run(["xdotool", "windowfocus", "--sync", window[-1]], env=self.desktop.env, check=True)
        for key in keys:
            subprocess.run(["xdotool", "key", "--clearmodifiers", key], env=self.desktop.env, check=True)

    def screenshot(self, path, window=None):
        """A window's pixels (X11; the main window unless told): the screen cropped to it."""
        from PIL import ImageGrab

        # The tree speaks in device-independent pixels; the screen has scale times as many.
        ext = (window or self.window).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        box = [round(v * self.scale) for v in (ext.x, ext.y, ext.x + ext.width, ext.y + ext.height)]
        image = ImageGrab.grab(xdisplay=self.desktop.env["DISPLAY"])
        image.crop(box).save(path)
        return path


def _matches(text, wanted):
    if callable(wanted):
        return wanted(text)
    return text == wanted


def startswith(prefix):
    return lambda text: text.startswith(prefix)


def contains(part):
    return lambda text: part in text


_desktop = None


def desktop():
    return _desktop


def start_desktop():
    global _desktop
    if not DEMO or not os.access(DEMO, os.X_OK):
        print("FLASHWELL_DEMO must name the flashwell-demo program", file=sys.stderr)
        sys.exit(2)
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(1))
    _desktop = Desktop().start()
    return _desktop


def stop_desktop():
    if _desktop:
        _desktop.stop()


def main():
    """Runs this file's unittest cases on one private desktop, stopped whatever happens."""
    start_desktop()
    try:
        program = unittest.main(module="__main__", exit=False, verbosity=2)
        ok = program.result.wasSuccessful()
    finally:
        _desktop.stop()
    sys.exit(0 if ok else 1)


# --- what the window should say, read from the translation sources ---

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
_texts = {}


def tr(key, lang="en"):
    """The localised text of a key, as the program shows it in that language ("en" or "zh_CN")."""
    if lang not in _texts:
        import glob
        import xml.etree.ElementTree as ET

        table = {}
        for path in sorted(glob.glob(os.path.join(SOURCE, "resources", "translations", "*_%s.ts" % lang))):
            for message in ET.parse(path).getroot().iter("message"):
                translation = message.find("translation")
                if message.get("id") and translation is not None and translation.text:
                    table[message.get("id")] = translation.text
        _texts[lang] = table
    return _texts[lang][key]


def chooser_products():
    """The chooser's products, as the catalogue lists them: one per distinct order, in order."""
    import plistlib

    with open(os.path.join(SOURCE, "resources", "SFenwykDevice.plist"), "rb") as f:
        catalogue = plistlib.load(f)
    out, taken = [], set()
    for entry in catalogue:
        if entry.get("order") in taken:
            continue
        taken.add(entry.get("order"))
        out.append(entry)
    return out


def chooser_label(name):
    """A product's label under its picture: the maker word and its space are dropped."""
    return name[7:] if "Fenwyk" in name else name
