#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# What a screen reader (Orca) finds of the windows, read through AT-SPI as it reads it: the program is
# started with Qt's accessibility bridge on, its accessible tree is listed, and the roles, names and
# actions of every field, option, the check box, the list and the seven picture buttons are checked
# against the captions written here by hand. Then the "info" button is pressed through its accessible
# action, as a screen reader's user presses it, and the about window must appear. Before that, the
# archive list is walked with the keyboard (through xdotool) and each entry that gets the focus must be
# announced by its own text.
#   accessible_tree.py CEDOLARIO_BINARY
# Run on an X display (Qt's bridge comes with the xcb platform) inside dbus-run-session. Exits 77
# (ctest's "skipped") when pyatspi is missing.
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError:
    print("skipped: python3-pyatspi is not installed (apt-get install python3-pyatspi at-spi2-core)")
    sys.exit(77)

# (role, name, an action it must offer), by hand.
EXPECTED_SLIP_FORM = [
    ("text", "nr. C/C", None),
    ("text", "di EURO", None),
    ("text", "TD", None),
    ("text", "Importo in LETTERE", None),
    ("text", "INTESTATO A (prima riga)", None),
    ("text", "INTESTATO A (seconda riga)", None),
    ("text", "INTESTATO A (terza riga)", None),
    ("text", "CAUSALE", None),
    ("text", "Cognome e Nome", None),
    ("text", "Indirizzo", None),
    ("text", "C.A.P.", None),
    ("text", "Città", None),
]
EXPECTED_PALETTE = [
    ("radio button", "premarcati", "Toggle"),
    ("radio button", "2 frame", "Toggle"),
    ("check box", "Stampa indic.", "Toggle"),
    ("list", "Archivio Conti Correnti", None),
    ("push button", "apri", "Press"),
    ("push button", "elimina", "Press"),
    ("push button", "info", "Press"),
    ("push button", "salva", "Press"),
    ("push button", "stampa", "Press"),
    ("push button", "riduci a icona", "Press"),
    ("push button", "esci", "Press"),
]


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        child = desktop.getChildAtIndex(i)
        if child is not None and child.name == "cedolario":
            return child
    return None


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def window_named(app, prefix):
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and window.name.startswith(prefix):
            return window
    return None


def wait_for(condition, seconds=60):
    """Polls condition until it holds or the deadline passes; what it last gave. A program too busy to
    answer an AT-SPI call within D-Bus's own time limit is asked again, within the same deadline."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            result = condition()
        except GLib.GError:
            result = None
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(0.05)


def answered(call, seconds=120):
    """What call returns, asked again while the program is too busy to answer AT-SPI in time."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            return call()
        except GLib.GError:
            if time.monotonic() >= deadline:
                raise


def check(window, expected, label, failures):
    found = [(node.getRoleName(), node.name, actions(node)) for node in descendants(window)]
    for role, name, action in expected:
        matching = [f for f in found if f[0] == role and f[1] == name]
        if not matching:
            failures.append(f"{label}: no {role} named {name!r}")
        elif action and not any(action in f[2] for f in matching):
            failures.append(f"{label}: {role} {name!r} offers {matching[0][2]}, not {action!r}")
    # No control of these kinds without a name, as the picture buttons and the fields were.
    for role, name, _ in found:
        if role in ("text", "push button", "radio button", "check box", "list") and not name:
            if role == "push button" and label == "palette":
                # The search line's own clear button, Qt's, is the only one allowed here.
                continue
            failures.append(f"{label}: an unnamed {role}")


def saved_record(date, name):
    """A record as the save writes it (Windows-1252, CR LF)."""
    lines = [date, name, "Via Roma 1", "00100", "Roma", "15,00", "quindici/00", "Comune", "", "",
             "1000", "Tassa", "123", "False", "True", "2"]
    return b"?*@1\xe7*^\r\n" + "".join(line + "\r\n" for line in lines).encode("cp1252")


def focus_walk(failures):
    """Ctrl+F, Down into the list, End, Up: the entries focused, as a screen reader hears them.

    Each key is typed only once the screen reader has heard what the key before it did, and every wait
    ends at a deadline: a loaded machine makes the walk slower, never wrong."""
    focused = []
    arrived = threading.Condition()

    def heard(event):
        try:
            what = (event.source.getRoleName(), event.source.name)
        except Exception:  # an object gone while the event travelled
            return
        with arrived:
            focused.append(what)
            arrived.notify_all()

    def hear(expected, since, seconds=60):
        """Waits until an event after the first `since` ones satisfies expected; True if one did."""
        deadline = time.monotonic() + seconds
        with arrived:
            while not any(expected(*what) for what in focused[since:]):
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                arrived.wait(left)
            return True

    # A key whose repeat changes nothing (the search line, into the list, the last entry) is typed again
    # every 10 s until it is heard: on a loaded machine a key can reach the window before it is ready
    # for it. Up is typed once: a second one would move further.
    steps = [
        ("ctrl+f", lambda role, name: name == "Cerca", "the search line", True),
        ("Down", lambda role, name: role in ("list", "list item"), "the list", True),
        ("End", lambda role, name: role == "list item" and name == "05/01/2027 - Verdi Carla",
         "the last entry", True),
        ("Up", lambda role, name: role == "list item" and name == "05/01/2027 - Bianchi Anna",
         "the entry above it", False),
    ]

    def drive():
        try:
            # The slip form: it keeps the activation (the palette hands it back to the form), and Ctrl+F
            # opens the search from either window.
            subprocess.run(["xdotool", "search", "--sync", "--name", "^Cedolario      \\[ver", "windowactivate",
                            "--sync"], check=False, timeout=120)
            for key, expected, what, repeatable in steps:
                with arrived:
                    since = len(focused)
                deadline = time.monotonic() + 60
                heard_it = False
                while not heard_it and time.monotonic() < deadline:
                    subprocess.run(["xdotool", "key", key], check=False, timeout=60)
                    heard_it = hear(expected, since, 10 if repeatable else 60)
                    if not repeatable:
                        break
                if not heard_it:
                    failures.append(f"after {key} the screen reader did not hear {what} within 60 s")
                    return
        except subprocess.TimeoutExpired as error:
            failures.append(f"xdotool did not finish: {error}")
        finally:
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(heard, "focus:", "object:state-changed:focused")
    threading.Thread(target=drive, daemon=True).start()
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(heard, "focus:", "object:state-changed:focused")
    items = []
    for role, name in focused:  # each move is heard as a focus event and as a state change
        if role == "list item" and (not items or items[-1] != name):
            items.append(name)
    expected = ["05/01/2027 - Verdi Carla", "05/01/2027 - Bianchi Anna"]
    if items[-2:] != expected:
        failures.append(f"walking the list, the screen reader heard {focused}, not the entries {expected}")


def main():
    data_home = tempfile.mkdtemp(prefix="cedolario-a11y-")
    os.makedirs(os.path.join(data_home, "cedolario"), mode=0o700)
    with open(os.path.join(data_home, "cedolario", "fillcp.dll"), "wb") as archive:
        for name in ("Rossi Mario", "Bianchi Anna", "Verdi Carla"):
            archive.write(saved_record("05 gennaio 2027", name))
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                       XDG_DATA_HOME=data_home)
    program = subprocess.Popen([sys.argv[1]], env=environment)
    failures = []
    try:
        app = wait_for(lambda: (a := application()) is not None and a.childCount >= 2 and a)
        if not app:
            print("the program never appeared on the accessibility bus")
            return 1
        slip = wait_for(lambda: window_named(app, "Cedolario      [ver."))
        palette = wait_for(lambda: next((w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                                         if w is not None and w.name == "Cedolario"), None))
        if not slip or not palette:
            print("the slip form or the palette is missing from the tree")
            return 1
        answered(lambda: check(slip, EXPECTED_SLIP_FORM, "slip form", failures))
        answered(lambda: check(palette, EXPECTED_PALETTE, "palette", failures))
        # The list is filled from the archive after the windows are up: walked only once its three
        # entries are there.
        if not wait_for(lambda: sum(1 for n in descendants(palette) if n.getRoleName() == "list item") >= 3):
            failures.append("the archive list never showed its three entries")
        focus_walk(failures)

        info = wait_for(lambda: next((n for n in descendants(palette)
                                      if n.getRoleName() == "push button" and n.name == "info"), None))
        if info is not None:
            action = answered(info.queryAction)
            index = answered(lambda: [action.getName(i) for i in range(action.nActions)].index("Press"))
            answered(lambda: action.doAction(index))
            about = wait_for(lambda: any(n.name == "versione 1.3" for n in descendants(application())))
            if not about:
                failures.append("pressing 'info' through its action showed no about window")
    finally:
        program.terminate()
        program.wait(30)
        shutil.rmtree(data_home, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("PASS: every field, option, the check box, the list and the buttons named, the buttons pressable, "
              "the list's entries heard as they get the focus")
    return 1 if failures else 0


sys.exit(main())
