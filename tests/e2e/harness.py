"""Shared support for the end-to-end tests (standard library only).

It finds the programs of a build, runs Windows programs under 64-bit Wine (in one
prefix, on an X display it starts when none is set), follows their windows
through the test driver qldriver.exe, builds SFX files with the Linux and the
Windows builder, and reads SFX files back with an independent Python reader
that checks every checksum and unpacks every chunk.

Environment: as wine_session.py, which sets up the display, the prefix and
the Wine environment for the harness as for the scripts.
"""

import atexit
import dataclasses
import datetime
import os
import re
import shutil
import signal
import stat
import struct
import subprocess
import tempfile
import time
import unittest
import zlib
from pathlib import Path

import wine_session
from waiting import wait_until

SOURCE_DIR = wine_session.SOURCE_DIR
BUILD_DIR = wine_session.BUILD_DIR
ARTIFACTS_DIR = BUILD_DIR / "e2e-artifacts"
WINE = wine_session.WINE
WINEPREFIX = wine_session.WINEPREFIX

# Container constants, written out again on purpose: the reader below checks
# the builders against the format, not against their own header.
CONFIG_SIZE = 2330
ENTRY_HEADER_SIZE = 17
CHUNK_SIZE = 0x900000
MAX_PACKED_CHUNK = 0xA00000
ATTR_READONLY = 0x01
ATTR_HIDDEN = 0x02
ATTR_DIRECTORY = 0x10
ATTR_ARCHIVE = 0x20
ENTRY_ORDINARY, ENTRY_PROGRAM, ENTRY_HELPER = 0, 1, 2
HELPER_NAME = b"xsfxdel~.exe"


class HarnessError(wine_session.SessionError):
    """A Windows program or window did not do what the test waited for."""


class SfxFormatError(ValueError):
    """An SFX file breaks the container format."""


# ---------------------------------------------------------------- programs

def _program(relative, what):
    path = BUILD_DIR / relative
    if not path.is_file():
        raise HarnessError(f"{what} not found at {path}; build the tree first "
                           f"(QUILLON_BUILD_DIR={BUILD_DIR})")
    return path


def linux_builder():
    """The Linux command-line builder."""
    return _program("builder/cli/quillon", "the Linux builder")


def windows_builder():
    """The x86_64 Windows builder quillon.exe (the one 64-bit Wine runs)."""
    return _program("win-x86_64/builder/cli/quillon.exe", "the x86_64 Windows builder")


def driver():
    """The Win32 test driver qldriver.exe."""
    return _program("win-x86_64/tests/windows/driver/qldriver.exe", "the test driver qldriver.exe")


def stub_image(arch="x86_64"):
    """The stub sfxhead.exe of one architecture (i686 or x86_64)."""
    return _program(f"win-{arch}/stub/sfxhead.exe", f"the {arch} stub")


def helper_image(arch="x86_64"):
    """The self-delete helper selfdelete.exe of one architecture."""
    return _program(f"win-{arch}/selfdelete/selfdelete.exe", f"the {arch} self-delete helper")


# ---------------------------------------------------------------- display and prefix

# The display, the prefix and the Wine environment come from the one place
# that sets them up for every test, script and tool.
ensure_display = wine_session.ensure_display
ensure_prefix = wine_session.ensure_prefix
wine_env = wine_session.wine_env
chinese_locale = wine_session.chinese_locale


# ---------------------------------------------------------------- paths

def to_wine_path(path):
    """A Linux path as Windows programs see it: Z: plus the absolute path."""
    return "Z:" + str(Path(path).absolute()).replace("/", "\\")


def from_wine_path(path):
    """The Linux path of a Z: path."""
    if path[:2].upper() != "Z:":
        raise ValueError(f"not a Z: path: {path}")
    return Path(path[2:].replace("\\", "/") or "/")


# ---------------------------------------------------------------- running Windows programs

def _kill_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    process.wait()


class _WineProcess:
    """A Wine process whose output goes to unnamed files, not pipes: Wine's
    helper processes (the desktop's explorer.exe, services.exe) may start from
    any Wine process and inherit its output; a pipe would then stay open long
    after the process itself ended."""

    def __init__(self, command, cwd=None, env=None):
        self.stdout_file = tempfile.TemporaryFile()
        self.stderr_file = tempfile.TemporaryFile()
        self.process = subprocess.Popen(command, stdout=self.stdout_file, stderr=self.stderr_file,
                                        stdin=subprocess.DEVNULL, cwd=cwd, env=wine_env(env),
                                        start_new_session=True)

    def output(self):
        """What the process wrote so far: (stdout, stderr) as bytes."""
        texts = []
        for file in (self.stdout_file, self.stderr_file):
            file.seek(0)
            texts.append(file.read())
        return tuple(texts)

    def wait(self, timeout):
        """The exit code, or None when the process is still running after `timeout` seconds."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            _kill_group(self.process)

    def finish(self):
        """The output, after which the files are closed."""
        output = self.output()
        self.stdout_file.close()
        self.stderr_file.close()
        return output


def run_windows(program, args=(), timeout=60, cwd=None, env=None):
    """Runs a Windows program under Wine and waits for it. Returns the
    CompletedProcess (stdout and stderr as bytes). When it does not end in
    `timeout` seconds the open windows are recorded, a screenshot taken, the
    program killed and HarnessError raised."""
    ensure_prefix()
    command = [str(WINE), str(program), *map(str, args)]
    process = _WineProcess(command, cwd=cwd, env=env)
    if process.wait(timeout) is None:
        report = _hang_report(Path(program).name)
        process.kill()
        process.finish()
        raise HarnessError(f"{Path(program).name} did not end within {timeout} s\n{report}")
    return subprocess.CompletedProcess(command, process.process.returncode, *process.finish())


_running = set()


class WindowsProgram:
    """A Windows program running in the background, started through the
    driver so that its Windows process id is known; the window helpers then
    look only at its own windows. Use as a context manager, or call kill()."""

    def __init__(self, program, args=(), cwd=None, env=None, raw_command_line=None):
        ensure_prefix()
        self.name = Path(program).name
        if raw_command_line is not None:
            driver_args = ["run", "--raw", raw_command_line]
        else:
            # A program of the Linux file system starts by its Z: path, so its
            # command line reads as it would on Windows.
            path = Path(program)
            shown = to_wine_path(path) if path.is_absolute() and path.exists() else str(program)
            driver_args = ["run", "--", shown, *map(str, args)]
        self.pid = None
        self.returncode = None
        self.stdout = b""
        self.stderr = b""
        self._wine = _WineProcess([str(WINE), str(driver()), *driver_args], cwd=cwd, env=env)
        _running.add(self)
        self.pid = self._read_pid(timeout=60)

    def _read_pid(self, timeout):
        first_line_or_end = lambda out: b"\n" in out or not self.running()
        out = wait_until(lambda: self._wine.output()[0], timeout, done=first_line_or_end)
        if b"\n" in out:
            line = out.split(b"\n", 1)[0]
            if not line.startswith(b"pid "):
                self.kill()
                raise HarnessError(f"unexpected first line from the driver: {line!r}")
            return int(line[4:])
        if not self.running():
            err = self._wine.finish()[1]
            _running.discard(self)
            raise HarnessError(f"{self.name} did not start: {err.decode('utf-8', 'replace').strip()}")
        self.kill()
        raise HarnessError(f"{self.name} did not start within {timeout} s")

    def running(self):
        return self._wine.process.poll() is None

    def wait(self, timeout=60):
        """Waits for the program to end; returns its exit code (its output is
        then in .stdout and .stderr). On a timeout the windows are recorded,
        the program killed and HarnessError raised."""
        if self._wine.wait(timeout) is None:
            report = _hang_report(f"{self.name}-{self.pid}")
            self.kill()
            raise HarnessError(f"{self.name} did not end within {timeout} s\n{report}")
        out, self.stderr = self._wine.finish()
        self.stdout = out.split(b"\n", 1)[1] if b"\n" in out else b""
        self.returncode = self._wine.process.returncode
        _running.discard(self)
        return self.returncode

    def wait_without_windows(self, timeout=60):
        """Waits for a program that should show nothing (a headless build with
        -o and -c, a silent SFX): returns its exit code, but as soon as it
        shows a window, reports the window's texts, kills it and raises
        HarnessError instead of waiting for a click that never comes."""
        ended_or_windows = lambda: None if self._wine.wait(1.0) is not None else self.list_windows()
        windows = wait_until(ended_or_windows, timeout, done=lambda windows: windows != [])
        if windows:
            texts = [window_text(w.title, timeout=5, pid=self.pid) for w in windows]
            shot = screenshot(f"unexpected-{self.name}")
            self.kill()
            raise HarnessError(f"{self.name} showed a window instead of ending: {texts}\nscreenshot: {shot}")
        return self.wait(0)

    def kill(self):
        """Ends the program, and with it any box it still shows."""
        if self.running():
            # Killing the driver ends the program too (its job dies with the
            # driver); the explicit kill makes that not depend on the job.
            if self.pid:
                _driver_call(["kill", "--pid", str(self.pid)], timeout=30, check=False)
            self._wine.kill()
        if not self._wine.stdout_file.closed:
            self._wine.finish()
        _running.discard(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()

    # Window helpers limited to this program's windows.
    def wait_window(self, title, timeout=20, window_class=None):
        return wait_window(title, timeout=timeout, pid=self.pid, window_class=window_class)

    def wait_window_gone(self, title, timeout=20, window_class=None):
        return wait_window_gone(title, timeout=timeout, pid=self.pid, window_class=window_class)

    def window_text(self, title, timeout=20):
        return window_text(title, timeout=timeout, pid=self.pid)

    def press_button(self, title, button=None, timeout=20, control_id=None, window_class=None):
        return press_button(title, button, timeout=timeout, pid=self.pid, control_id=control_id,
                            window_class=window_class)

    def controls(self, title, timeout=20, window_class=None):
        return controls(title, timeout=timeout, pid=self.pid, window_class=window_class)

    def check_control(self, title, control_id, timeout=20):
        return check_control(title, control_id, timeout=timeout, pid=self.pid)

    def list_items(self, title, control_id, timeout=20):
        return list_items(title, control_id, timeout=timeout, pid=self.pid)

    def send_key(self, title, virtual_key, timeout=20):
        return send_key(title, virtual_key, timeout=timeout, pid=self.pid)

    def set_text(self, title, control_id, text, timeout=20):
        return set_text(title, control_id, text, timeout=timeout, pid=self.pid)

    def click(self, title, x, y, timeout=20):
        return click(title, x, y, timeout=timeout, pid=self.pid)

    def close_window(self, title, timeout=20):
        return close_window(title, timeout=timeout, pid=self.pid)

    def list_windows(self):
        return list_windows(pid=self.pid)


def start_windows(program, args=(), cwd=None, env=None, raw_command_line=None):
    """Starts a Windows program in the background (see WindowsProgram)."""
    return WindowsProgram(program, args, cwd=cwd, env=env, raw_command_line=raw_command_line)


def kill_all_programs():
    """Kills every program started here that still runs (boxes left open go with it)."""
    for program in list(_running):
        program.kill()


atexit.register(kill_all_programs)
wine_session.before_display_stops.append(kill_all_programs)


def running_programs(name):
    """The Linux process ids of the programs of this Wine prefix that run now
    and whose command line holds `name`. Wine runs every Windows process as a
    Linux one; a program that another program started (ShellExecute) exists
    as soon as the call that started it has returned."""
    prefix = f"WINEPREFIX={WINEPREFIX}".encode()
    found = []
    for process in Path("/proc").iterdir():
        if not process.name.isdigit():
            continue
        try:
            command_line = (process / "cmdline").read_bytes()
            environment = (process / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if name.encode() in command_line and prefix in environment:
            found.append(int(process.name))
    return found


# ---------------------------------------------------------------- the driver

@dataclasses.dataclass
class Window:
    handle: int
    pid: int
    class_name: str
    title: str


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


def _driver_call(args, timeout, check=True):
    ensure_prefix()
    command = [str(WINE), str(driver()), *args]
    process = _WineProcess(command)
    if process.wait(timeout) is None:
        process.kill()
        process.finish()
        raise HarnessError(f"qldriver {' '.join(args)} hung for {timeout} s")
    result = subprocess.CompletedProcess(command, process.process.returncode, *process.finish())
    if check and result.returncode != 0:
        what = result.stderr.decode("utf-8", "replace").strip()
        windows = "\n".join(f"  {w.pid} {w.class_name} {w.title!r}" for w in list_windows())
        shot = screenshot(f"driver-{args[0]}")
        raise HarnessError(f"qldriver {args[0]} failed ({result.returncode}): {what}\n"
                           f"visible windows:\n{windows or '  none'}\nscreenshot: {shot}")
    return result


def _window_args(title, timeout, pid, window_class=None):
    args = ["--title", title, "--timeout", str(int(timeout * 1000))]
    if pid:
        args += ["--pid", str(pid)]
    if window_class:
        args += ["--class", window_class]
    return args


def list_windows(pid=None):
    """Visible top-level windows (of one Windows process id, or all)."""
    result = _driver_call(["list"] + (["--pid", str(pid)] if pid else []), timeout=30, check=False)
    windows = []
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        handle, process, class_name, title = line.split("\t", 3)
        windows.append(Window(int(handle, 16), int(process), class_name, _unescape(title)))
    return windows


def wait_window(title, timeout=20, pid=None, window_class=None):
    """Waits until a visible top-level window with exactly this title (and
    class, when given) exists; returns its handle. Raises HarnessError (with a
    screenshot) otherwise."""
    result = _driver_call(["wait", *_window_args(title, timeout, pid, window_class)], timeout=timeout + 30)
    return int(result.stdout.split()[0], 16)


def wait_window_gone(title, timeout=20, pid=None, window_class=None):
    """Waits until no visible window with this title is left."""
    _driver_call(["wait", "--gone", *_window_args(title, timeout, pid, window_class)], timeout=timeout + 30)


def window_text(title, timeout=20, pid=None):
    """The texts of the window (first) and of its children with a text, in
    their order; a message box gives [title, button texts..., message]."""
    result = _driver_call(["text", *_window_args(title, timeout, pid)], timeout=timeout + 30)
    return [_unescape(line) for line in result.stdout.decode("utf-8").splitlines()]


def press_button(title, button=None, timeout=20, pid=None, control_id=None, window_class=None):
    """Clicks the child button whose text, '&' aside, is `button` (or the
    control with the id `control_id`); a disabled button fails."""
    which = ["--id", str(control_id)] if control_id is not None else ["--button", button]
    _driver_call(["press", *_window_args(title, timeout, pid, window_class), *which], timeout=timeout + 30)


def check_control(title, control_id, timeout=20, pid=None):
    """Clicks a radio button or check box as the mouse would (BM_CLICK)."""
    _driver_call(["check", *_window_args(title, timeout, pid), "--id", str(control_id)], timeout=timeout + 30)


def list_items(title, control_id, timeout=20, pid=None):
    """The rows of a list view control, each a list of its column texts."""
    result = _driver_call(["items", *_window_args(title, timeout, pid), "--id", str(control_id)],
                          timeout=timeout + 30)
    return [[_unescape(cell) for cell in line.split("\t")] for line in result.stdout.decode("utf-8").splitlines()]


def clipboard_text():
    """The clipboard's text in the Wine session."""
    return _unescape(_driver_call(["clipboard"], timeout=30).stdout.decode("utf-8").rstrip("\n"))


def send_key(title, virtual_key, timeout=20, pid=None):
    """Sends a key press to the focused control of the window's program."""
    _driver_call(["key", *_window_args(title, timeout, pid), "--vk", str(virtual_key)], timeout=timeout + 30)


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


def controls(title, timeout=20, pid=None, window_class=None):
    """Every child window of the window, in Z order: id, class, state, place, text."""
    result = _driver_call(["controls", *_window_args(title, timeout, pid, window_class)], timeout=timeout + 30)
    found = []
    for line in result.stdout.decode("utf-8").splitlines():
        control_id, class_name, state, rect, text = line.split("\t", 4)
        found.append(Control(int(control_id), class_name, "e" in state, "v" in state, "c" in state, "f" in state,
                             tuple(int(n) for n in rect.split(",")), _unescape(text)))
    return found


def set_text(title, control_id, text, timeout=20, pid=None):
    """Sets the text of the child control with this id (WM_SETTEXT)."""
    _driver_call(["set-text", *_window_args(title, timeout, pid), "--id", str(control_id), "--text", text],
                 timeout=timeout + 30)


def click(title, x, y, timeout=20, pid=None):
    """A mouse click at client coordinates of the window."""
    _driver_call(["click", *_window_args(title, timeout, pid), "--x", str(x), "--y", str(y)],
                 timeout=timeout + 30)


def close_window(title, timeout=20, pid=None):
    """Posts WM_CLOSE to the window."""
    _driver_call(["close", *_window_args(title, timeout, pid)], timeout=timeout + 30)


def message_box(program, title, timeout=20):
    """Waits for a message box of `program` and returns its message: the text
    of its static controls (the icon is a static without text)."""
    texts = [c.text for c in program.controls(title, timeout=timeout) if c.class_name == "Static" and c.text]
    return "\n".join(texts)


# ---------------------------------------------------------------- screenshots

def _xwd_pixels(xwd):
    """An XWD image as (width, height, rows of RGB bytes)."""
    header = struct.unpack(">25I", xwd[:100])
    (header_size, _version, pixmap_format, depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual, red_mask,
     green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors) = header[:20]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError(f"unsupported XWD image: format {pixmap_format}, {bits_per_pixel} bpp, depth {depth}")
    data = xwd[header_size + 12 * ncolors:]
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [(mask, shift(mask)) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[y * bytes_per_line:y * bytes_per_line + width * step]
        rgb = bytearray(3 * width)
        if all(mask == 0xFF << s and s % 8 == 0 for mask, s in shifts):
            # Byte-aligned channels (the usual 24-bit visual): slice them out.
            for channel, (_mask, s) in enumerate(shifts):
                index = s // 8 if order == "little" else step - 1 - s // 8
                rgb[channel::3] = line[index::step]
        else:
            for x in range(width):
                pixel = int.from_bytes(line[x * step:(x + 1) * step], order)
                rgb[3 * x:3 * x + 3] = bytes(((pixel & mask) >> s) & 0xFF for mask, s in shifts)
        rows.append(rgb)
    return width, height, rows


def _write_png(width, height, rows, png_path):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + bytes(row) for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    Path(png_path).write_bytes(png)


def _xwd(display, *target):
    return subprocess.run(["xwd", "-silent", "-display", display, *target], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=30, check=True).stdout


def _mapped_top_level_windows(display):
    """(X window id, x, y) of the mapped windows on the root, bottom-most first."""
    tree = subprocess.run(["xwininfo", "-root", "-children", "-display", display], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=30, text=True, check=True).stdout
    found = []
    for line in tree.splitlines():
        match = re.match(r"\s+(0x[0-9a-f]+) .*\s(\d+)x(\d+)[+-]\d+[+-]\d+\s+\+(-?\d+)\+(-?\d+)\s*$", line)
        if not match or int(match[2]) * int(match[3]) <= 1:
            continue
        info = subprocess.run(["xwininfo", "-id", match[1], "-display", display], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=30, text=True).stdout
        if "IsViewable" in info:
            found.append((match[1], int(match[4]), int(match[5])))
    return list(reversed(found))  # xwininfo lists the top-most window first


def _lay_over(rows, pixels, left, top):
    """Copies a window's pixels onto the picture at its place, except black
    ones: those are where the window itself lacks what lies over it."""
    height, width = len(rows), len(rows[0]) // 3
    for y in range(max(0, -top), min(len(pixels), height - top)):
        x0, x1 = max(0, -left), min(len(pixels[y]) // 3, width - left)
        if x1 <= x0:
            continue
        source, target = pixels[y], rows[top + y]
        if b"\0\0\0" not in source[3 * x0:3 * x1]:
            target[3 * (left + x0):3 * (left + x1)] = source[3 * x0:3 * x1]
            continue
        for x in range(x0, x1):
            pixel = source[3 * x:3 * x + 3]
            if pixel != b"\0\0\0":
                target[3 * (left + x):3 * (left + x) + 3] = pixel


def screenshot(name):
    """Saves the X display as build/e2e-artifacts/<name>.png; returns the path,
    or None when no picture could be taken (a screenshot never fails a test).
    Without a compositing manager, Wine may keep the pixels of a window shown
    over another off the root, which then shows black there; so each window
    is taken on its own and laid over the root's picture, in stacking order."""
    display = os.environ.get("DISPLAY")
    if not display or not shutil.which("xwd"):
        return None
    try:
        ARTIFACTS_DIR.mkdir(parents=True, exist_ok=True)
        safe = "".join(c if c.isalnum() or c in "-_." else "_" for c in name)
        path = ARTIFACTS_DIR / f"{time.strftime('%H%M%S')}-{safe}.png"
        width, height, rows = _xwd_pixels(_xwd(display, "-root"))
        windows = _mapped_top_level_windows(display) if shutil.which("xwininfo") else []
        for window, left, top in windows:
            try:
                _w, _h, pixels = _xwd_pixels(_xwd(display, "-id", window))
            except (ValueError, subprocess.SubprocessError):
                continue  # gone meanwhile
            _lay_over(rows, pixels, left, top)
        _write_png(width, height, rows, path)
        return path
    except (OSError, ValueError, subprocess.SubprocessError):
        return None


def _hang_report(name):
    windows = "\n".join(f"  {w.pid} {w.class_name} {w.title!r}" for w in list_windows())
    return f"visible windows:\n{windows or '  none'}\nscreenshot: {screenshot('hang-' + name)}"


# ---------------------------------------------------------------- building SFX files

def build_sfx_linux(source, target, switches=("-h", "-o", "-c"), extra_args=(), arch="x86_64",
                    env=None, timeout=300, check=True):
    """Runs the Linux builder: quillon SWITCHES SOURCE TARGET EXTRA_ARGS with
    QUILLON_STUB_ARCH=arch (x86_64 by default, so that Wine can run the SFX).
    Returns the CompletedProcess (text output); with `check` a nonzero status
    raises HarnessError."""
    run_env = dict(os.environ, QUILLON_STUB_ARCH=arch)
    run_env.update(env or {})
    command = [str(linux_builder()), *switches, str(source), str(target), *map(str, extra_args)]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=run_env, timeout=timeout)
    if check and result.returncode != 0:
        raise HarnessError(f"the Linux builder failed ({result.returncode}): {result.stderr.strip()}")
    return result


def build_sfx_windows(source, target, switches=("-h", "-o", "-c"), extra_args=(), timeout=300, check=True,
                      show_nothing=True, env=None):
    """Runs the x86_64 Windows builder under Wine with Linux paths turned into
    Z: paths; returns its exit status (with `check`, nonzero raises). With
    `show_nothing` any window it opens (an error box, say) fails at once with
    the window's texts; pass extra_args already as Windows paths. `env` adds
    to the Wine environment (see wine_env)."""
    args = [*switches, to_wine_path(source), to_wine_path(target), *extra_args]
    with start_windows(windows_builder(), args, env=env) as builder:
        status = builder.wait_without_windows(timeout) if show_nothing else builder.wait(timeout)
    if check and status != 0:
        raise HarnessError(f"the Windows builder failed ({status})")
    return status


# ---------------------------------------------------------------- test trees

def make_tree(root, layout):
    """Creates files and folders under `root` from {relative path: content}:
    bytes or str content makes a file (str as UTF-8), None a folder. Missing
    parent folders are created. Returns root as a Path."""
    root = Path(root)
    root.mkdir(parents=True, exist_ok=True)
    for relative, content in layout.items():
        path = root / relative
        if content is None:
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content.encode("utf-8") if isinstance(content, str) else content)
    return root


def stored_name(relative, codepage="cp1252"):
    """The name bytes an SFX file stores for a relative Linux path."""
    return str(relative).replace("/", "\\").encode(codepage)


@dataclasses.dataclass
class TreeItem:
    name: bytes
    is_folder: bool
    data: bytes


def tree_items(root, codepage="cp1252"):
    """Every file and folder below `root`, keyed by the name an SFX file stores."""
    items = {}
    root = Path(root)
    for path in sorted(root.rglob("*")):
        name = stored_name(path.relative_to(root).as_posix(), codepage)
        if path.is_dir():
            items[name] = TreeItem(name, True, b"")
        elif path.is_file():
            items[name] = TreeItem(name, False, path.read_bytes())
    return items


def remove_tree(path):
    """Removes a test folder, read-only parts included."""
    def make_writable(function, failed, _info):
        os.chmod(failed, stat.S_IRWXU)
        parent = os.path.dirname(failed)
        os.chmod(parent, os.stat(parent).st_mode | stat.S_IRWXU)
        function(failed)

    if Path(path).exists():
        shutil.rmtree(path, onerror=make_writable)


def dos_time(moment):
    """The MS-DOS date and time of a datetime's wall-clock reading (two-second
    steps, rounded down; 1980 to 2107)."""
    return (((moment.year - 1980) << 25) | (moment.month << 21) | (moment.day << 16)
            | (moment.hour << 11) | (moment.minute << 5) | (moment.second // 2))


def dos_time_of(timestamp):
    """The MS-DOS date and time (local time) of a POSIX timestamp."""
    return dos_time(datetime.datetime.fromtimestamp(timestamp))


def decode_dos_time(value):
    """A DOS date and time as a naive datetime (None when it is not a valid one)."""
    date, clock = value >> 16, value & 0xFFFF
    try:
        return datetime.datetime(1980 + (date >> 9), (date >> 5) & 15, date & 31,
                                 clock >> 11, (clock >> 5) & 63, (clock & 31) * 2)
    except ValueError:
        return None


# ---------------------------------------------------------------- reading SFX files

def byte_sum(*parts):
    """The container's checksum: the sum of all bytes modulo 2^32."""
    return sum(sum(part) for part in parts) & 0xFFFFFFFF


def container_start(image):
    """Where the container begins: the end of the raw data of the PE image's
    sections (the largest PointerToRawData + SizeOfRawData of the sections
    with raw data)."""
    if image[:2] != b"MZ":
        raise SfxFormatError("no MZ header")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SfxFormatError("no PE signature")
    sections, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    table = pe + 24 + optional_size
    end = 0
    for i in range(sections):
        raw_size, raw_pointer = struct.unpack_from("<II", image, table + 40 * i + 16)
        if raw_size > 0:
            end = max(end, raw_pointer + raw_size)
    if end == 0 or end > len(image):
        raise SfxFormatError(f"section data ends at {end}, the file has {len(image)} bytes")
    return end


@dataclasses.dataclass
class SfxConfig:
    extraction_mode: int
    extraction_folder: int
    cmd_parameters: bytes
    custom_folder: bytes
    instance_id: str
    open_folder: int
    compression: int
    one_instance: int
    silent_mode: int
    self_delete_mode: int
    delete_mode: int
    working_directory: int
    overwrite_mode: int


def _text_field(block, offset, size, what):
    field = block[offset:offset + size]
    end = field.find(b"\0")
    if end < 0:
        raise SfxFormatError(f"{what} has no terminating zero byte")
    if any(field[end:]):
        raise SfxFormatError(f"{what} is not zero-padded")
    return field[:end]


def parse_config(block):
    """Decodes and checks the 2330-byte ConfigBlock."""
    if len(block) != CONFIG_SIZE:
        raise SfxFormatError(f"the ConfigBlock has {len(block)} bytes")
    instance = block[2311:2322]
    if instance[10] != 0 or any(c not in b"0123456789ABCDEF" for c in instance[:10]):
        raise SfxFormatError(f"bad InstanceId {instance!r}")
    config = SfxConfig(block[0], block[1], _text_field(block, 2, 2048, "CmdParameters"),
                       _text_field(block, 2050, 261, "CustomFolder"), instance[:10].decode("ascii"),
                       *block[2322:2330])
    limits = {"extraction_mode": 1, "extraction_folder": 5, "open_folder": 1, "compression": 1,
              "one_instance": 1, "silent_mode": 1, "self_delete_mode": 1, "delete_mode": 2,
              "working_directory": 2, "overwrite_mode": 2}
    for field, limit in limits.items():
        if getattr(config, field) > limit:
            raise SfxFormatError(f"{field} is {getattr(config, field)}, above {limit}")
    return config


@dataclasses.dataclass
class SfxEntry:
    entry_type: int
    name: bytes
    size: int
    dos_time: int
    attributes: int
    data: bytes            # unpacked file data; empty for a folder
    checksum: int
    chunks: list           # (unpacked length, packed length) per chunk
    streams: bytes = b""   # the chunks' zlib streams, back to back

    @property
    def is_folder(self):
        return bool(self.attributes & ATTR_DIRECTORY)


@dataclasses.dataclass
class Sfx:
    container_start: int
    config: SfxConfig
    entries: list
    file_size: int

    def by_name(self):
        return {entry.name: entry for entry in self.entries}


def _inflate_chunk(packed, unpacked_length, where):
    inflater = zlib.decompressobj()
    try:
        data = inflater.decompress(packed) + inflater.flush()
    except zlib.error as error:
        raise SfxFormatError(f"{where}: {error}") from None
    if not inflater.eof or inflater.unused_data:
        raise SfxFormatError(f"{where}: not exactly one complete zlib stream")
    if len(data) != unpacked_length:
        raise SfxFormatError(f"{where}: unpacks to {len(data)} bytes, the header says {unpacked_length}")
    return data


def read_sfx_bytes(image):
    """Reads a whole SFX image: finds the container, decodes the ConfigBlock,
    walks every entry, unpacks every chunk and checks every checksum and the
    end record. Raises SfxFormatError at the first fault."""
    start = container_start(image)
    position = start + CONFIG_SIZE
    if position > len(image):
        raise SfxFormatError("the file ends inside the ConfigBlock")
    config = parse_config(image[start:position])

    def take(count, what):
        nonlocal position
        if count < 0 or position + count > len(image):
            raise SfxFormatError(f"the file ends inside {what} (offset {position}, {count} bytes)")
        piece = image[position:position + count]
        position += count
        return piece

    entries = []
    while True:
        entry_type, name_length, size, dos_time, attributes = struct.unpack(
            "<BiiII", take(ENTRY_HEADER_SIZE, "an entry header"))
        if name_length == 0 and size == 0 and dos_time == 0 and attributes == 0:
            if entry_type != 0:
                raise SfxFormatError(f"the end record has type {entry_type}")
            break
        if name_length <= 0 or size < 0:
            raise SfxFormatError(f"entry {len(entries)}: name length {name_length}, size {size}")
        if entry_type not in (ENTRY_ORDINARY, ENTRY_PROGRAM, ENTRY_HELPER):
            raise SfxFormatError(f"entry {len(entries)}: type {entry_type}")
        name = take(name_length, "an entry name")
        where = f"entry {name!r}"
        chunks, streams = [], []
        if attributes & ATTR_DIRECTORY:
            if size != 0:
                raise SfxFormatError(f"{where}: a folder with size {size}")
            data = b""
        elif config.compression:
            pieces, done = [], 0
            while done < size:
                unpacked, packed = struct.unpack("<II", take(8, f"a chunk header of {where}"))
                if packed > MAX_PACKED_CHUNK:
                    raise SfxFormatError(f"{where}: packed chunk of {packed} bytes")
                if unpacked == 0 or done + unpacked > size:
                    raise SfxFormatError(f"{where}: chunk of {unpacked} bytes at {done} of {size}")
                streams.append(take(packed, f"a chunk of {where}"))
                pieces.append(_inflate_chunk(streams[-1], unpacked, f"{where} chunk {len(chunks)}"))
                chunks.append((unpacked, packed))
                done += unpacked
            data = b"".join(pieces)
        else:
            data = take(size, f"the data of {where}")
        checksum = struct.unpack("<I", take(4, f"the checksum of {where}"))[0]
        if checksum != byte_sum(name, data):
            raise SfxFormatError(f"{where}: checksum {checksum:#x}, the content sums to {byte_sum(name, data):#x}")
        entries.append(SfxEntry(entry_type, name, size, dos_time, attributes, data, checksum, chunks,
                                b"".join(streams)))
    if position != len(image):
        raise SfxFormatError(f"{len(image) - position} bytes follow the end record")
    return Sfx(start, config, entries, len(image))


def read_sfx(path):
    """read_sfx_bytes over a file."""
    return read_sfx_bytes(Path(path).read_bytes())


def rename_entry(image, old, new):
    """The SFX image with its entry named `old` (bytes) renamed to `new`, a
    name of the same length, and the entry's checksum made to fit: the
    container stays well-formed, only the name differs, as if it had been
    altered after the build."""
    if len(new) != len(old):
        raise ValueError(f"{new!r} is not as long as {old!r}")
    sfx = read_sfx_bytes(image)
    entry = sfx.by_name()[old]
    offset = image.index(old, sfx.container_start)
    body = sum(8 + packed for _, packed in entry.chunks) if entry.chunks else len(entry.data)
    renamed = bytearray(image)
    renamed[offset:offset + len(old)] = new
    fixed = entry.checksum - byte_sum(old) + byte_sum(new)
    struct.pack_into("<I", renamed, offset + len(old) + body, fixed & 0xFFFFFFFF)
    return bytes(renamed)


# ---------------------------------------------------------------- test case base

class WineTestCase(unittest.TestCase):
    """A test case with its own temporary folder (self.tmp, a Path under /tmp,
    removed afterwards), a ready Wine prefix and display, and every Windows
    program it started killed at its end (boxes left open go with them)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        ensure_display()
        ensure_prefix()

    def setUp(self):
        super().setUp()
        self.tmp = Path(tempfile.mkdtemp(prefix="ql-e2e-"))
        self.addCleanup(remove_tree, self.tmp)
        self.addCleanup(kill_all_programs)

    def assertSfxMatchesTree(self, sfx, root, codepage="cp1252"):
        """The SFX file's ordinary entries are exactly the tree below root:
        names, kinds, sizes and data (the checksums were checked on reading)."""
        expected = tree_items(root, codepage)
        entries = {e.name: e for e in sfx.entries if e.entry_type != ENTRY_HELPER}
        self.assertEqual(sorted(entries), sorted(expected))
        for name, item in expected.items():
            entry = entries[name]
            self.assertEqual(entry.is_folder, item.is_folder, name)
            self.assertEqual(entry.size, len(item.data), name)
            self.assertTrue(entry.data == item.data, f"{name!r}: data differs")
