# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A private desktop for the tests that drive the real program as a screen reader user does: its own
session bus, X server, window manager, accessibility bus and PulseAudio server, and the helpers those
tests share to read the accessibility tree and send keys.

    desktop = a11y_desktop.Desktop()   # re-runs the script in a session bus of its own first
    with desktop:
        app = desktop.launch(program)
        ...
    desktop.finish()

Exits 77 (skipped) where the accessibility bus cannot run."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PULSE_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pulse-server")


def _in_own_session():
    """Runs the calling script again under a session bus of its own, unless it already is."""
    if os.environ.get("TOLVANE_A11Y_SESSION"):
        return
    missing = [p for p in (LAUNCHER, shutil.which("dbus-run-session")) if not p or not os.path.exists(p)]
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        missing.append("python3-pyatspi")
    if missing:
        print(f"skipped: the accessibility bus cannot run here: {missing} missing")
        sys.exit(77)
    env = dict(os.environ, TOLVANE_A11Y_SESSION="1")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    sys.exit(subprocess.run(["dbus-run-session", "--", sys.executable, *sys.argv], env=env).returncode)


pyatspi = None
failures = []
# Every object that took the focus, newest last. A popup menu is not among the program's windows: a
# screen reader meets it, as these tests do, through the focus moving onto its items.
focused = []
# The process of the program launched last, whose windows the keys wait for.
_launched = None


def pump(seconds=0):
    """Lets the accessibility events that arrived reach their listeners, for at least `seconds`."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.02)


def wait_for(probe, seconds=30):
    """The probe's first true answer within the time, else None; a probe that raises counts as no."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        try:
            value = probe()
        except Exception:
            value = None
        if value:
            return value
        time.sleep(0.1)
    return None


def check(ok, message):
    if not ok:
        failures.append(message)
        print("FAIL:", message)
    return ok


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find(root, accept):
    """The first node under root, root included, that accept takes; an accept that raises says no."""
    for node in walk(root):
        try:
            if accept(node):
                return node
        except Exception:
            pass
    return None


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.strip()


def shown_windows(process=None):
    """The program's windows on the screen, a popup menu among them; an X error (a window torn down
    while the tree is walked) is asked again."""
    process = process or _launched
    for _ in range(50):
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(process.pid)],
                              capture_output=True, text=True)
        if "X Error" not in done.stderr:
            return done.stdout.split()
        time.sleep(0.1)
    return []


def activate(window):
    """Gives `window` the keyboard, waiting until it has it; false when it never got it."""
    def active():
        subprocess.run(["xdotool", "windowactivate", "--sync", window], capture_output=True, timeout=30)
        return xdotool("getactivewindow") == window
    return bool(window) and bool(wait_for(active, 30))


# Keys that open a popup menu: the next key goes to the menu only once it is on the screen.
_OPENS_MENU = ("shift+F10", "Menu")


def x_keys(*keys):
    """The keyboard alone: keys pressed on the X server, one at a time."""
    for key in keys:
        before = len(shown_windows()) if key in _OPENS_MENU and _launched else None
        xdotool("key", key)
        if before is not None:
            check(wait_for(lambda: len(shown_windows()) > before, 30), f"{key} shows a menu")
        pump(0.4)


class Desktop:
    def __init__(self):
        _in_own_session()
        self.work = tempfile.mkdtemp(prefix="tolvane-a11y-")
        self.pulse_dir = tempfile.mkdtemp(prefix="tolvane-a11y-pa-", dir="/tmp")
        self.children = []

    def _start(self, args, **kw):
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL, **kw)
        self.children.append(process)
        return process

    def __enter__(self):
        global pyatspi
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xvfb = self._start(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = ":" + xvfb.stdout.readline().decode().strip()
        self._start(["openbox"], **quiet)
        # Until the window manager has taken over the screen, a window it takes over later may lose
        # the focus (and the keys sent to it) when it is reparented.
        if not wait_for(lambda: "window id" in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                               capture_output=True, text=True).stdout):
            raise RuntimeError("the window manager did not take over the screen")
        self._start([LAUNCHER, "--launch-immediately"], **quiet)
        subprocess.run([PULSE_SERVER, "start", self.pulse_dir], check=True, stdout=subprocess.DEVNULL)
        os.environ["PULSE_SERVER"] = f"unix:{self.pulse_dir}/native"
        # The program looks for the accessibility bus once, at its start: it must be up by then.
        if not wait_for(lambda: subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                                                "--object-path", "/org/a11y/bus", "--method",
                                                "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0):
            raise RuntimeError("the accessibility bus did not come up")
        import pyatspi as bindings
        pyatspi = bindings
        pyatspi.Registry.registerEventListener(lambda e: e.detail1 and focused.append(e.source),
                                               "object:state-changed:focused")
        return self

    def launch(self, program, arguments=(), environment=None):
        """Starts a copy of the program in the work folder, where its takes land and its settings are kept;
        returns (process, its application on the accessibility bus or None)."""
        copy = os.path.join(self.work, "tolvane")
        if not os.path.exists(copy):
            shutil.copy2(program, copy)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.work, ".config"), QT_QPA_PLATFORM="xcb",
                   QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", **(environment or {}))
        env.pop("NO_AT_BRIDGE", None)
        self.stderr = os.path.join(self.work, "stderr.txt")
        process = self._start([copy, *arguments], cwd=self.work, env=env, stdout=subprocess.DEVNULL,
                              stderr=open(self.stderr, "w"))
        global _launched
        _launched = process
        app = wait_for(lambda: self.application(process), 90)
        # Not `search --sync`: it gives up at the first X error, which a window torn down meanwhile gives.
        window = (wait_for(lambda: shown_windows(process), 30) or [""])[0]
        check(activate(window), "the program's window takes the keyboard")
        return process, app

    @staticmethod
    def application(process, fresh=False):
        desktop = pyatspi.Registry.getDesktop(0)
        for a in desktop:
            if a is not None and a.get_process_id() == process.pid:
                if fresh:
                    a.clear_cache()
                return a
        return None

    def __exit__(self, *exc):
        subprocess.run([PULSE_SERVER, "stop", self.pulse_dir], stdout=subprocess.DEVNULL)
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(10)
                except subprocess.TimeoutExpired:
                    child.kill()
        if failures:
            try:
                with open(self.stderr) as err:
                    print("the program said:\n" + err.read()[-4000:])
            except (AttributeError, OSError):
                pass
        shutil.rmtree(self.work, ignore_errors=True)
        return False

    @staticmethod
    def finish(passed):
        """Reports the checks that failed and exits with the test's result."""
        print("\n".join("FAILED: " + f for f in failures) or passed)
        sys.exit(1 if failures else 0)
