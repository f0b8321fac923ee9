# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the running recorder's take menu as a keyboard user and as an assistive technology would,
and checks what the accessibility bus says of the toggle and the readout after each step.
Run by take-menu-a11y-test inside its private desktop."""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

failures = []
focused = []


def on_focus(event):
    if event.detail1 == 1:
        focused.append(event.source)


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")


def pump(seconds):
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def until(condition, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if condition():
                return True
        except Exception:
            pass
        pump(0.1)
    return False


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name == "Tolvane":
            return a
    return None


def find(node, predicate, depth=0):
    if node is None or depth > 12:
        return None
    try:
        if predicate(node):
            return node
    except Exception:
        pass
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), predicate, depth + 1)
        if found is not None:
            return found
    return None


def toggle():
    return find(app(), lambda n: n.getRoleName() == "check box" and n.name in ("Iniciar Gravação", "Parar Gravação"))


def readout():
    return find(app(), lambda n: n.name.startswith("Tempo de gravação"))


def pressed():
    return toggle().getState().contains(pyatspi.STATE_CHECKED)


def check(what, condition, seconds=5):
    if not until(condition, seconds):
        t, r = toggle(), readout()
        failures.append("%s (toggle %r, pressed %s, description %r; %r, tooltip %r)" % (
            what, t.name, pressed(), t.description, r.name, r.description))


def x_keys(*keys):
    """The keyboard alone: keys pressed on the X server."""
    for key in keys:
        subprocess.run(["xdotool", "key", key], check=True)
        pump(0.4)


def bus_keys(*keysyms, control=False):
    """Keys the accessibility registry generates, as an assistive technology sends them."""
    control_l = 37
    if control:
        pyatspi.Registry.generateKeyboardEvent(control_l, None, pyatspi.KEY_PRESS)
    for keysym in keysyms:
        pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
        pump(0.4)
    if control:
        pyatspi.Registry.generateKeyboardEvent(control_l, None, pyatspi.KEY_RELEASE)
    pump(0.4)


def last_focused_name():
    return focused[-1].name if focused else None


def item_beside_focus(name):
    """A popup menu is not among the application's children: its items are found from the one that
    took the focus, as a screen reader finds them."""
    for source in reversed(focused):
        try:
            menu = source.parent
            for i in range(menu.childCount):
                child = menu.getChildAtIndex(i)
                if child.name.split("\t")[0] == name:
                    return child
        except Exception:
            pass
    return None


if not until(lambda: toggle() is not None, 30):
    print("the recorder's window never appeared on the accessibility bus")
    sys.exit(1)
pump(1)

# The keyboard alone. The toggle has the focus when the window opens.
x_keys("space")
check("space starts a take", lambda: pressed() and toggle().name == "Parar Gravação")
# The take runs (its readout counts) before it is paused.
check("the take's readout runs", lambda: readout().name != "Tempo de gravação 0:00:00"
      and readout().name != "Tempo de gravação 0:00:01", 15)
x_keys("ctrl+p")
check("Ctrl+P pauses", lambda: toggle().description == "Pausado" and pressed())
held = readout().name
pump(2.2)
check("the paused readout holds its time", lambda: readout().name == held)
focused.clear()
x_keys("shift+F10", "Down")
check("Shift+F10 opens the menu at the resume item", lambda: last_focused_name() == "Continuar gravação")
x_keys("Return")
check("the menu's item resumes", lambda: toggle().description == "" and pressed())
check("the readout runs again", lambda: readout().name != held, 3)
focused.clear()
x_keys("Menu", "Down", "Down", "Right")
check("the context-menu key opens the menu and \"Parar após\" its choices",
      lambda: last_focused_name() == "15 minutos")
x_keys("Down", "Return")
check("\"30 minutos\" sets a time, told in the readout's tooltip",
      lambda: "Faltam 0:29:" in readout().description)

# Through the accessibility bus.
bus_keys(ord("p"), control=True)
check("Ctrl+P from the registry pauses", lambda: toggle().description == "Pausado")
focused.clear()
toggle_actions = toggle().queryAction()
names = [toggle_actions.getName(i) for i in range(toggle_actions.nActions)]
if "ShowMenu" not in names:
    failures.append("the toggle offers no ShowMenu action, only %r" % names)
else:
    toggle_actions.doAction(names.index("ShowMenu"))
    pump(0.6)
bus_keys(0xFF54)  # Down
item = item_beside_focus("Continuar gravação")
if item is None:
    failures.append("no \"Continuar gravação\" item reached through the focus events")
else:
    action = item.queryAction()
    action.doAction(0)
    check("the item's own action resumes", lambda: toggle().description == "" and pressed())

x_keys("space")
check("space stops the take", lambda: not pressed() and toggle().name == "Iniciar Gravação")
check("the set time is gone after the take", lambda: "Faltam" not in readout().description)

for failure in failures:
    print("FAILED:", failure)
print("%d checks failed" % len(failures) if failures else "all checks passed")
sys.exit(1 if failures else 0)
