"""The Win32 test driver qldriver.exe: the windows of Windows programs under Wine, their controls and keys."""

import dataclasses
import subprocess

import screenshot
from wine_session import WINE, HarnessError, WineProcess, built_program, ensure_prefix


@dataclasses.dataclass
class Window:
    handle: int
    pid: int
    class_name: str
    title: str


@dataclasses.dataclass
class Control:
    control_id: int
    class_name: str
    enabled: bool
    visible: bool
    checked: bool
    focused: bool
    rect: tuple            # x, y, width, height in the parent's client area
    text: str


def command_line(args):
    """The command that runs qldriver ARGS under Wine."""
    return [WINE, built_program("win-x86_64/tests/windows/driver/qldriver.exe", "the test driver qldriver.exe"),
            *map(str, args)]


def call(args, timeout=30, check=True):
    """Runs qldriver ARGS and returns the CompletedProcess. A hang raises
    HarnessError; so does, with `check`, a failure, naming the windows shown."""
    ensure_prefix()
    process = WineProcess(command_line(args))
    if process.wait(timeout) is None:
        process.kill()
        process.finish()
        raise HarnessError(f"qldriver {' '.join(map(str, args))} hung for {timeout} s")
    result = subprocess.CompletedProcess(args, process.process.returncode, *process.finish())
    if check and result.returncode != 0:
        what = result.stderr.decode("utf-8", "replace").strip()
        raise HarnessError(f"qldriver {args[0]} failed ({result.returncode}): {what}\n{report('driver-' + args[0])}")
    return result


def report(name):
    """The visible windows and a screenshot named `name`, for a failure message."""
    windows = "\n".join(f"  {w.pid} {w.class_name} {w.title!r}" for w in Windows().list_windows())
    return f"visible windows:\n{windows or '  none'}\nscreenshot: {screenshot.screenshot(name)}"


def clipboard_text():
    """The clipboard's text in the Wine session."""
    return _unescape(call(["clipboard"]).stdout.decode("utf-8").rstrip("\n"))


def _unescape(line):
    out, i = [], 0
    while i < len(line):
        if line[i] == "\\" and i + 1 < len(line):
            out.append({"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}.get(line[i + 1], line[i + 1]))
            i += 2
        else:
            out.append(line[i])
            i += 1
    return "".join(out)


class Windows:
    """The visible top-level windows of one Windows process (of all with pid
    None). A window is named by its exact title, and by its class where two
    share a title; a call on it waits up to `timeout` seconds for it to exist,
    then fails with HarnessError and a screenshot."""

    def __init__(self, pid=None):
        self.pid = pid

    def on_window(self, command, title, *args, timeout=20, window_class=None):
        """Runs the driver command with these arguments on the window; returns its output lines."""
        scope = ["--title", title, "--timeout", int(timeout * 1000), *(["--pid", self.pid] if self.pid else []),
                 *(["--class", window_class] if window_class else [])]
        return call([command, *scope, *args], timeout=timeout + 30).stdout.decode("utf-8").splitlines()

    def list_windows(self):
        windows = []
        result = call(["list", *(["--pid", self.pid] if self.pid else [])], check=False)
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            handle, process, class_name, title = line.split("\t", 3)
            windows.append(Window(int(handle, 16), int(process), class_name, _unescape(title)))
        return windows

    def wait_window(self, title, timeout=20, window_class=None):
        """The handle of the window, once it exists."""
        return int(self.on_window("wait", title, timeout=timeout, window_class=window_class)[0].split()[0], 16)

    def wait_window_gone(self, title, timeout=20, window_class=None):
        """Waits until no visible window with this title is left."""
        self.on_window("wait", title, "--gone", timeout=timeout, window_class=window_class)

    def window_text(self, title, timeout=20):
        """The texts of the window (first) and of its children with a text, in
        their order; a message box gives [title, button texts..., message]."""
        return [_unescape(line) for line in self.on_window("text", title, timeout=timeout)]

    def message_box(self, title, timeout=20):
        """The message of a message box: the text of its static controls (the
        icon is a static without text)."""
        texts = [c.text for c in self.controls(title, timeout=timeout) if c.class_name == "Static" and c.text]
        return "\n".join(texts)

    def controls(self, title, timeout=20, window_class=None):
        """Every child window of the window, in Z order: id, class, state, place, text."""
        found = []
        for line in self.on_window("controls", title, timeout=timeout, window_class=window_class):
            control_id, class_name, state, rect, text = line.split("\t", 4)
            found.append(Control(int(control_id), class_name, "e" in state, "v" in state, "c" in state,
                                 "f" in state, tuple(int(n) for n in rect.split(",")), _unescape(text)))
        return found

    def list_items(self, title, control_id, timeout=20):
        """The rows of a list view control, each a list of its column texts."""
        rows = self.on_window("items", title, "--id", control_id, timeout=timeout)
        return [[_unescape(cell) for cell in line.split("\t")] for line in rows]

    def window_style(self, title, control_id=None, window_class=None):
        """The style of the window, or of its child control with this id."""
        which = ["--id", control_id] if control_id is not None else []
        return int(self.on_window("style", title, *which, window_class=window_class)[0].split()[0], 16)

    def send_message(self, title, control_id, message, wparam=0, lparam=0):
        """What the child control answers to a message with plain-number parameters."""
        return int(self.on_window("send", title, "--id", control_id, "--message", message, "--wparam", wparam,
                                  "--lparam", lparam)[0])

    def press_button(self, title, button=None, timeout=20, control_id=None, window_class=None):
        """Clicks the child button whose text, '&' aside, is `button` (or the
        control with the id `control_id`); a disabled button fails."""
        which = ["--id", control_id] if control_id is not None else ["--button", button]
        self.on_window("press", title, *which, timeout=timeout, window_class=window_class)

    def check_control(self, title, control_id, timeout=20):
        """Clicks a radio button or check box as the mouse would (BM_CLICK)."""
        self.on_window("check", title, "--id", control_id, timeout=timeout)

    def set_text(self, title, control_id, text, timeout=20):
        """Sets the text of the child control with this id (WM_SETTEXT)."""
        self.on_window("set-text", title, "--id", control_id, "--text", text, timeout=timeout)

    def send_key(self, title, virtual_key, timeout=20, alt=False):
        """Sends a key press (with Alt held: Alt+F4) to the focused control of the window's program."""
        self.on_window("key", title, "--vk", virtual_key, *(["--alt"] if alt else []), timeout=timeout)
