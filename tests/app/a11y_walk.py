#!/usr/bin/python3
"""Walks the program's windows as a screen reader sees them (the AT-SPI tree over D-Bus).

Usage: a11y_walk.py x11 PROGRAM CATALOGUE
       a11y_walk.py wayland PROGRAM CATALOGUE SCREENSHOT.png
Run inside a private D-Bus session (dbus-run-session). Starts its own display server (Xvfb, or
a headless weston), a fresh program folder with the given catalogue and the splash switched off.
x11: window by window, every focusable control must have a role other than filler and a name,
and Tab must reach every push button; the windows are opened through the buttons' press action
(or typing, for the small tool) and closed with the keyboard.
wayland: the main window, the editors and the options window open and close, opacity is not
offered, and a screenshot of the main window is not blank.
"""

import os
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
import zlib

FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FAIL: " + message, flush=True)


def png(width, height, rgb):
    raw = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def start_xvfb():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        piece = os.read(read, 16)
        if not piece:
            raise SystemExit("Xvfb did not start")
        number += piece
    os.close(read)
    return xvfb, ":" + number.decode().strip()


def wait_for(what, predicate, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)
    return None


def start_weston(runtime):
    """A headless Wayland compositor on a socket of its own; --debug lets the screenshooter in."""
    socket = "zv-wayland-%d" % os.getpid()
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    env.pop("DISPLAY", None)
    log = open(os.path.join(runtime, "weston.log"), "wb")
    # Pixman draws the screen for real: the headless backend's default draws nothing to capture.
    weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--use-pixman", "--socket=" + socket,
                               "--debug", "--width=1024", "--height=768", "--idle-time=0"],
                              env=env, stdout=log, stderr=log)
    if not wait_for("weston", lambda: os.path.exists(os.path.join(runtime, socket)) or weston.poll() is not None):
        raise SystemExit("weston did not start")
    if weston.poll() is not None:
        raise SystemExit("weston ended: " + open(os.path.join(runtime, "weston.log")).read())
    return weston, socket


def prepare_home(home, catalogue, options):
    shutil.copy(catalogue, os.path.join(home, "Zorvanell.dat"))
    with open(os.path.join(home, "Options.ini"), "wb") as f:
        f.write(b"[Main]\r\n" + options)
    # The first entry of the programs gets two pictures, so that the picker opens.
    names = sqlite3.connect(catalogue).execute("SELECT Name FROM Programs").fetchall()
    first = sorted((row[0] for row in names), key=str.casefold)[0]
    os.mkdir(os.path.join(home, "ScreenShots"))
    for suffix, colour in (("", (200, 40, 40)), ("_2", (40, 40, 200))):
        with open(os.path.join(home, "ScreenShots", first + suffix + ".png"), "wb") as picture:
            picture.write(png(64, 48, colour))
    return first


def main():
    mode, program, catalogue = sys.argv[1], sys.argv[2], sys.argv[3]
    home = tempfile.mkdtemp(prefix="zv-a11y-")
    runtime = tempfile.mkdtemp(prefix="zv-runtime-")
    os.chmod(runtime, 0o700)
    server = app = None
    try:
        env = dict(os.environ, ZORVANELL_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        if mode == "x11":
            first = prepare_home(home, catalogue, b"SplashScreen=0\r\n")
            server, display = start_xvfb()
            os.environ["DISPLAY"] = display
            env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb")
        else:
            first = prepare_home(home, catalogue, b"SplashScreen=0\r\nTraspLevel=130\r\n")
            server, socket = start_weston(runtime)
            os.environ.pop("DISPLAY", None)
            env.pop("DISPLAY", None)
            env.update(WAYLAND_DISPLAY=socket, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="wayland")
        app = subprocess.Popen([program], env=env)
        import pyatspi  # after DISPLAY is settled: the accessibility bus is found through the session
        walk = Walk(pyatspi, app, first)
        if mode == "x11":
            walk.run()
        else:
            walk.run_wayland(dict(env), runtime, sys.argv[4])
    finally:
        for process in (app, server):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(home, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)
    print("%d passed, %d failed" % (0 if FAILURES else 1, 1 if FAILURES else 0))
    return 1 if FAILURES else 0


class Walk:
    def __init__(self, pyatspi, process, first_entry):
        self.a = pyatspi
        self.process = process
        self.first_entry = first_entry

    # The tree ---------------------------------------------------------------------------------

    def application(self):
        for app in self.a.Registry.getDesktop(0):
            try:
                if app and app.get_process_id() == self.process.pid:
                    return app
            except Exception:
                continue
        return None

    def windows(self):
        app = self.application()
        return [w for w in app] if app else []

    def window(self, title_start):
        for w in self.windows():
            try:
                if w.name.startswith(title_start) and w.getState().contains(self.a.STATE_SHOWING):
                    return w
            except Exception:
                continue
        return None

    def wait_window(self, title_start):
        return wait_for("window " + title_start, lambda: self.window(title_start))

    def wait_closed(self, title_start):
        wait_for("window " + title_start + " to close", lambda: self.window(title_start) is None)

    def descendants(self, node):
        out = []
        for child in node:
            if child is None:
                continue
            out.append(child)
            # The items of a long list are its business; the first few stand for the rest.
            if child.getRole() in (self.a.ROLE_LIST, self.a.ROLE_LIST_BOX, self.a.ROLE_TABLE, self.a.ROLE_TREE):
                out.extend(c for c in list(child)[:3] if c is not None)
                continue
            out.extend(self.descendants(child))
        return out

    def find(self, window, role, name):
        for node in self.descendants(window):
            if node.getRole() == role and node.name == name:
                return node
        return None

    def button(self, window, name):
        return wait_for("button " + name, lambda: self.find(window, self.a.ROLE_PUSH_BUTTON, name), 5)

    def press(self, node):
        action = node.queryAction()
        for i in range(action.nActions):
            if action.getName(i).lower() in ("press", "click"):
                action.doAction(i)
                return
        fail("%s has no press action" % node.name)

    # The checks -------------------------------------------------------------------------------

    def check_named(self, window, label):
        seen = 0
        for node in self.descendants(window):
            state = node.getState()
            if not (state.contains(self.a.STATE_FOCUSABLE) and state.contains(self.a.STATE_SHOWING)):
                continue
            seen += 1
            role = node.getRole()
            where = "%s: %s %r" % (label, node.getRoleName(), node.name)
            if role in (self.a.ROLE_FILLER, self.a.ROLE_UNKNOWN, self.a.ROLE_PANEL):
                fail(where + " has no role")
            if not node.name.strip():
                fail(where + " has no name")
        if seen == 0:
            fail(label + ": nothing can take the focus")
        print("%s: %d focusable controls named" % (label, seen), flush=True)

    def focused(self, window):
        # A list's current item says it is focused even when the focus has left the list.
        found = [n for n in self.descendants(window) if n.getState().contains(self.a.STATE_FOCUSED)]
        controls = [n for n in found if n.getRole() != self.a.ROLE_LIST_ITEM]
        return (controls or found or [None])[0]

    def check_tab_walk(self, window, label):
        buttons = {n.name for n in self.descendants(window) if n.getRole() == self.a.ROLE_PUSH_BUTTON and
                   n.getState().contains(self.a.STATE_SENSITIVE) and n.getState().contains(self.a.STATE_SHOWING)}
        if not buttons:
            fail(label + ": no push button found")
        # Into this window first: a window asked for the focus is activated (a closing dialog may
        # have handed the window system's focus back to the main window meanwhile).
        try:
            window.queryComponent().grabFocus()
            time.sleep(0.3)
        except NotImplementedError:
            pass
        for node in self.descendants(window):
            if node.getState().contains(self.a.STATE_FOCUSABLE) and node.getState().contains(self.a.STATE_SHOWING):
                node.queryComponent().grabFocus()
                break
        time.sleep(0.3)
        reached = []
        for _ in range(3 * len(self.descendants(window)) // 2 + 5):
            self.key("Tab")
            node = self.focused(window)
            if node is not None:
                reached.append((node.getRoleName(), node.name))
                if buttons <= {name for role, name in reached if role == "push button"} and len(reached) > 3:
                    break
        missed = buttons - {name for role, name in reached if role == "push button"}
        # A button inside a text box (the search box's magnifier) is no Tab stop: its name tells
        # its key, which must open the same thing.
        for name in sorted(missed):
            key = re.search(r"\((Ctrl\+(?:Shift\+)?[A-Z])\)$", name)
            if key and self.key_opens(key.group(1), name[:key.start()].strip(), window):
                missed.discard(name)
        if missed:
            fail("%s: Tab never reaches %s (reached %s)" % (label, sorted(missed), reached))
        print("%s: Tab reaches %d buttons" % (label, len(buttons)), flush=True)

    def key_opens(self, key, title, owner):
        # The window a key belongs to takes the focus first: without a window manager, a window
        # closed before it leaves the focus nowhere.
        subprocess.run(["xdotool", "search", "--name", "^" + re.escape(owner.name) + "$", "windowfocus", "--sync"],
                       check=False, timeout=10)
        time.sleep(0.3)
        self.key(key.replace("Ctrl+", "ctrl+").lower())
        window = self.wait_window(title)
        if not window:
            return False
        # It has no push button for a Tab walk to reach.
        self.window_checks(window, title, tab=False)
        self.key("Escape")
        self.wait_closed(title)
        return True

    def key(self, name):
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=False)
        time.sleep(0.15)

    def type_text(self, text):
        subprocess.run(["xdotool", "type", "--delay", "40", text], check=False)
        time.sleep(0.3)

    def window_checks(self, window, label, tab=True):
        self.check_named(window, label)
        if tab:
            self.check_tab_walk(window, label)

    # The windows ------------------------------------------------------------------------------

    def run(self):
        if not wait_for("the program on the accessibility bus", self.application, 30):
            return
        main = self.wait_window("Zorvanell 5")
        if not main:
            return
        self.window_checks(main, "main window")
        for caption in ("Добавить запись", "Конфигурация", "Обновить базу", "О программе...", "Компактно"):
            if self.button(main, caption) is None:
                fail("main window: no button " + caption)

        dialogs = [("Конфигурация", "Настройка программы", "options"),
                   ("О программе...", "Zorvanell 5", "about window"),
                   ("Добавить запись", "Добавление новой записи", "add-entry window"),
                   ("Обновить базу", "Обновление базы - ", "update manager")]
        for caption, title, label in dialogs:
            # The about window bears the main window's title too: dialogs are told apart by role.
            self.press(self.button(main, caption))
            window = wait_for(label, lambda: self.dialog_titled(title))
            if not window:
                continue
            self.window_checks(window, label)
            self.key("Escape")
            wait_for(label + " to close", lambda: self.dialog_titled(title) is None)

        # Windows reached by their keys alone.
        for key, title in (("Ctrl+Shift+E", "Экспорт"), ("Ctrl+I", "Импорт")):
            if not self.key_opens(key, title, main):
                fail("main window: %s does not open %s" % (key, title))

        # An entry selected (typing its name into the search box selects it): the editor and the picker.
        if self.select_first_entry(main):
            edit = wait_for("Редактировать enabled", lambda: self.enabled_button(main, "Редактировать"))
            if edit:
                self.press(edit)
                window = self.wait_window("Редактирование записи")
                if window:
                    self.window_checks(window, "edit-entry window")
                    self.key("Escape")
                    self.wait_closed("Редактирование записи")
            shot = wait_for("Скриншот enabled", lambda: self.enabled_button(main, "Скриншот"))
            if shot:
                self.press(shot)
                window = self.wait_window("Выберите скриншот")
                if window:
                    self.window_checks(window, "screenshot picker")
                    # Escape in the picture list views the picture, as every character key does.
                    self.press(self.button(window, "Закрыть"))
                    self.wait_closed("Выберите скриншот")

        # The small tool: a word typed into the search box.
        search = self.find(main, self.a.ROLE_TEXT, "Поисковая строка:")
        if search is None:
            fail("main window: no text box named Поисковая строка:")
        else:
            search.queryEditableText().setTextContents("small_tool")
            window = self.wait_window("Small tool")
            if window:
                self.window_checks(window, "small tool")
                self.press(self.button(window, "Выход"))
                self.wait_closed("Small tool")

    def run_wayland(self, env, runtime, shot):
        """Under a real Wayland compositor: the main window, the editors and the options window
        open and close (through the buttons' press action: no keys can be sent there), the options
        window tells that opacity is not available, and a screenshot shows the main window."""
        if not wait_for("the program on the accessibility bus", self.application, 30):
            return
        main = self.wait_window("Zorvanell 5")
        if not main:
            return
        self.check_named(main, "main window (wayland)")
        time.sleep(1)
        self.screenshot(env, runtime, shot)

        self.press(self.button(main, "Добавить запись"))
        window = self.wait_window("Добавление новой записи")
        if window:
            self.check_named(window, "add-entry window (wayland)")
            self.press(self.button(window, "Отмена"))
            self.wait_closed("Добавление новой записи")

        if self.select_first_entry(main):
            edit = wait_for("Редактировать enabled", lambda: self.enabled_button(main, "Редактировать"))
            if edit:
                self.press(edit)
                window = self.wait_window("Редактирование записи")
                if window:
                    self.check_named(window, "edit-entry window (wayland)")
                    self.press(self.button(window, "Отмена"))
                    self.wait_closed("Редактирование записи")

        self.press(self.button(main, "Конфигурация"))
        window = self.wait_window("Настройка программы")
        if window:
            self.check_named(window, "options (wayland)")
            bar = [n for n in self.descendants(window) if n.getRole() == self.a.ROLE_SCROLL_BAR]
            if not bar:
                fail("options (wayland): no scroll bar")
            elif bar[0].getState().contains(self.a.STATE_SENSITIVE):
                fail("options (wayland): the opacity bar is offered, though Wayland windows stay opaque")
            self.press(self.button(window, "OK"))
            self.wait_closed("Настройка программы")

    def screenshot(self, env, runtime, shot):
        before = set(os.listdir(runtime))
        subprocess.run(["weston-screenshooter"], env=env, cwd=runtime, check=False, timeout=30)
        made = [f for f in set(os.listdir(runtime)) - before if f.endswith(".png")]
        if not made:
            fail("weston-screenshooter made no picture")
            return
        shutil.copy(os.path.join(runtime, made[0]), shot)
        # The desktop's own background is patterned: what counts is the main window's background
        # colour over a good part of the screen.
        histogram = subprocess.run(["convert", shot, "-format", "%c", "histogram:info:"], capture_output=True,
                                   text=True).stdout
        found = re.search(r"^\s*(\d+):\s*\(\s*240,\s*238,\s*224", histogram, re.M)
        pixels = int(found.group(1)) if found else 0
        print("screenshot %s: %d pixels of the window background" % (shot, pixels), flush=True)
        if pixels < 100000:
            fail("the screenshot does not show the main window (%d pixels of its background)" % pixels)

    def dialog_titled(self, title):
        for w in self.windows():
            try:
                if w.getRole() == self.a.ROLE_DIALOG and w.name.startswith(title) and \
                        w.getState().contains(self.a.STATE_SHOWING):
                    return w
            except Exception:
                continue
        return None

    def enabled_button(self, window, name):
        node = self.find(window, self.a.ROLE_PUSH_BUTTON, name)
        return node if node is not None and node.getState().contains(self.a.STATE_SENSITIVE) else None

    def select_first_entry(self, main):
        self.find_list(main)
        search = self.find(main, self.a.ROLE_TEXT, "Поисковая строка:")
        if search is None:
            fail("main window: no text box named Поисковая строка:")
            return False
        search.queryEditableText().setTextContents(self.first_entry)
        return True

    def find_list(self, window):
        for node in self.descendants(window):
            if node.getRole() in (self.a.ROLE_LIST, self.a.ROLE_LIST_BOX) and node.name == "Список записей":
                return node
        fail("main window: no list named Список записей")
        return None


if __name__ == "__main__":
    sys.exit(main())
