"""The GUI robot: drives the stub's real windows under Xvfb as a user would.

A Windows helper (tests/helpers/robot.cpp, built beside wintool.exe) runs in
the same Wine prefix and on the same X display as the stub under test, for a
whole test, and takes one command a line. It clicks with real mouse presses
and releases at the control's centre (owner-drawn buttons see the pointer
arrive, the press and the release, as from a person) and types through the
keyboard input queue, so keys go to whatever window has the focus.

A wizard test asks for the `robot` fixture (conftest.py) and starts the stub
itself; the robot finds windows by caption and controls by their template id:

    def test_next_then_finish(wine, robot, package):
        stub = start_stub(wine, package)                  # no switches: the wizard
        robot.wait_window("Zel Package 1.0")              # exact caption; exact=False: substring
        robot.wait_control(1045)                          # until the control is visible
        robot.screenshot("welcome")                       # NN-welcome.png in the test's artifacts
        robot.click(NEXT_ID)                              # press and release on the button
        assert robot.text(TITLE_ID) == "..."
        robot.key("TAB"); robot.key("SHIFT+TAB"); robot.key("ALT+F4")
        robot.type(EDIT_ID, r"C:\\Target")                # click in, select all, type
        assert robot.is_enabled(NEXT_ID) and not robot.is_checked(BOX_ID)
        box = robot.wait_box("Zel Package 1.0")           # a message box: its text and buttons
        assert box.text == "Do you really want to cancel?"
        robot.answer_box("Zel Package 1.0", "Yes")        # press a button by caption or id
        robot.wait_gone()                                 # the current window closes
        assert finish_stub(stub).exit_code == 6

`wait_window` makes the window found the current one for the control methods
(pass window= to address another); message boxes never count as windows
there, so a dialog and the question it asks may share a caption. Controls
are found among all descendants, the visible one first, so the controls of
the current page of a property sheet are reached by their template id.
`controls()` lists a window's controls (id, class, text, states, rectangle),
`focus()` tells which window is in front and which control has the keyboard
focus, `progress(id)` reads a progress bar, `close_box()` clicks the title
bar's close box (the test prefix has Wine draw the title bars of programs
named Setup.exe itself: run the stub under that name, as `stage` and zelpack
do).
Keys: TAB, ENTER, ESCAPE, SPACE, LEFT, RIGHT, UP, DOWN, HOME, END, DELETE,
BACKSPACE, F1-F12, letters and digits, joined with SHIFT+, CTRL+, ALT+.

Input is asynchronous, as it is for a user: click and key return once the
input is queued, and the program handles it in its own time. Read what
follows through a wait (wait_window, wait_control, wait_text, wait_box,
wait_gone, wait_until), not with a read straight after the click.

Screenshots land in build/<arch>/e2e-artifacts/<test name>/, numbered in
the order taken; a failed test adds one of the screen at the failure. Every
wait has a timeout and fails the test with what was missing.

The robot keeps the Wine session up while the test runs, and Wine.start
waits for the session to end after a registry change (wine.reg, the drives
fixture): make such changes before the robot starts (ask for those fixtures
before `robot`).
"""
import json
import queue
import re
import shutil
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path

WAIT = 30.0  # seconds a window or control may take to appear


class RobotError(AssertionError):
    pass


@dataclass
class Box:
    hwnd: str
    caption: str
    text: str
    buttons: list  # [{"id": 6, "text": "&Yes"}, ...]


class Robot:
    def __init__(self, wine, helper, artifacts):
        self.display = wine.env["DISPLAY"]
        self.artifacts = Path(artifacts)
        self.window = None  # the current top-level window's handle
        self.shots = 0
        wine.settle()
        self.proc = subprocess.Popen(wine.command(helper), env=wine.env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self._answer("robot start", 60)

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def _answer(self, what, seconds):
        try:
            line = self.lines.get(timeout=seconds)
        except queue.Empty:
            raise RobotError(f"the robot did not answer {what} within {seconds:.0f} s") from None
        if line is None:
            raise RobotError(f"the robot ended during {what}")
        status, _, payload = line.partition(" ")
        value = json.loads(payload)
        if status != "ok":
            raise RobotError(f"{what}: {value}")
        return value

    def call(self, *fields, timeout=WAIT):
        """Sends one command (see robot.cpp) and returns its decoded answer."""
        text = "\t".join(str(f) for f in fields)
        assert "\n" not in text
        self.proc.stdin.write(text.encode("utf-8") + b"\n")
        self.proc.stdin.flush()
        return self._answer(text, timeout + 30)

    def close(self):
        if self.proc.poll() is None:
            try:
                self.call("quit")
                self.proc.wait(timeout=30)
            except (RobotError, OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()

    # --- windows ---------------------------------------------------------

    def windows(self):
        """Every top-level window of the other programs, hidden ones too."""
        return self.call("windows")

    def wait_window(self, caption, exact=True, timeout=WAIT):
        """Waits for a visible top-level window (not a message box) and makes it current."""
        found = self.call("find-window", caption, "exact" if exact else "sub", "window", int(timeout * 1000),
                          timeout=timeout)
        self.window = found["hwnd"]
        return found

    def use(self, window):
        self.window = window["hwnd"] if isinstance(window, dict) else window

    def window_info(self, window=None):
        return self.call("window", self._hwnd(window))

    def wait_gone(self, window=None, timeout=WAIT):
        """Waits until the window is destroyed or hidden."""
        self.call("gone", self._hwnd(window), int(timeout * 1000), timeout=timeout)

    def _hwnd(self, window):
        if window is None:
            if self.window is None:
                raise RobotError("no current window: call wait_window first")
            return self.window
        return window["hwnd"] if isinstance(window, dict) else window

    # --- controls --------------------------------------------------------

    def controls(self, window=None):
        return self.call("controls", self._hwnd(window))

    def wait_control(self, id, window=None, timeout=WAIT):
        return self.call("wait-control", self._hwnd(window), id, int(timeout * 1000), timeout=timeout)

    def control(self, id, window=None):
        return self.call("control", self._hwnd(window), id)

    def text(self, id, window=None):
        return self.control(id, window)["text"]

    def is_enabled(self, id, window=None):
        return self.control(id, window)["enabled"]

    def is_visible(self, id, window=None):
        return self.control(id, window)["visible"]

    def is_checked(self, id, window=None):
        return self.control(id, window).get("checked", 0) == 1

    def wait_text(self, id, text, window=None, timeout=WAIT):
        """Waits until the control exists and shows text; returns what it shows
        then. A page that is still being made has no controls yet."""
        def shows():
            try:
                return self.text(id, window) == text
            except RobotError as error:
                if str(error).endswith(f"no control {id}"):
                    return False
                raise
        return self.wait_until(shows, timeout, f"control {id} to show {text!r}") and text

    def wait_until(self, predicate, timeout=WAIT, what="the condition"):
        end = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > end:
                raise RobotError(f"waited {timeout:.0f} s for {what}")
            time.sleep(0.05)
        return True

    def progress(self, id, window=None):
        """A progress bar's {"pos", "low", "high"}."""
        return self.call("progress", self._hwnd(window), id)

    def list_items(self, id, window=None):
        """A list view's items: [{"text", "image", "selected"}, ...]."""
        return self.call("list-items", self._hwnd(window), id)

    # --- input -----------------------------------------------------------

    def click(self, id, window=None):
        """Moves the pointer to the control's centre and presses and releases the left button."""
        self.call("click", self._hwnd(window), id)

    def close_box(self, window=None):
        """Clicks the title bar's close box."""
        self.call("close-box", self._hwnd(window))

    def key(self, spec, window=None):
        """A key or chord ("TAB", "SHIFT+TAB", "ALT+F4") to the foreground window;
        with window= that window is brought to the front first."""
        if window is None:
            self.call("key", spec)
        else:
            self.call("key", spec, self._hwnd(window))

    def type(self, id, text, window=None):
        """Clicks into an edit, selects its text and types; returns the edit's text."""
        return self.call("type", self._hwnd(window), id, text)

    def focus(self):
        """{"foreground", "caption", "focus", "id", "class"} of the focused control."""
        return self.call("focus")

    def post(self, message, wparam=0, lparam=0, window=None, count=1):
        return self.call("post", self._hwnd(window), message, wparam, lparam, count)

    def send(self, message, wparam=0, lparam=0, window=None):
        return self.call("send", self._hwnd(window), message, wparam, lparam)

    # --- message boxes ---------------------------------------------------

    def wait_box(self, caption, exact=True, timeout=WAIT):
        b = self.call("box", caption, "exact" if exact else "sub", int(timeout * 1000), timeout=timeout)
        return Box(b["hwnd"], b["caption"], b["text"], b["buttons"])

    def answer_box(self, caption, button, exact=True, timeout=WAIT):
        """Presses a message box's button (its caption without "&", or its id) with
        the mouse; returns the box's text."""
        box = self.wait_box(caption, exact, timeout)
        self.call("box-button", box.hwnd, button)
        return box.text

    # --- screenshots -----------------------------------------------------

    def screenshot(self, name):
        """The whole display as NN-name.png in the test's artifact folder."""
        self.shots += 1
        self.artifacts.mkdir(parents=True, exist_ok=True)
        path = self.artifacts / f"{self.shots:02}-{re.sub(r'[^A-Za-z0-9_.-]+', '-', name)}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)], check=True,
                       capture_output=True, timeout=60)
        return path


def artifact_folder(base, test_name):
    folder = Path(base) / re.sub(r"[^A-Za-z0-9_.-]+", "-", test_name).strip("-")
    shutil.rmtree(folder, ignore_errors=True)
    return folder
