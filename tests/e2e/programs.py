"""Windows programs under Wine: run to their end, or started in the background and driven through their windows."""

import atexit
import subprocess
from pathlib import Path

import driver
import screenshot
import wine_session
from waiting import wait_until
from wine_session import WINE, WINEPREFIX, HarnessError, WineProcess, ensure_prefix


def to_wine_path(path):
    """A Linux path as Windows programs see it: Z: plus the absolute path."""
    return "Z:" + str(Path(path).absolute()).replace("/", "\\")


def run_windows(program, args=(), timeout=60, cwd=None, env=None):
    """Runs a Windows program under Wine and waits for it. Returns the
    CompletedProcess (stdout and stderr as bytes). When it does not end in
    `timeout` seconds the open windows are recorded, a screenshot taken, the
    program killed and HarnessError raised."""
    ensure_prefix()
    command = [WINE, program, *args]
    process = WineProcess(command, cwd=cwd, env=env)
    if process.wait(timeout) is None:
        report = driver.report("hang-" + Path(program).name)
        process.kill()
        process.finish()
        raise HarnessError(f"{Path(program).name} did not end within {timeout} s\n{report}")
    return subprocess.CompletedProcess(command, process.process.returncode, *process.finish())


_running = set()


class WindowsProgram(driver.Windows):
    """A Windows program running in the background, started through the
    driver so that its Windows process id is known; the window methods then
    look only at its own windows. Use as a context manager, or call kill()."""

    def __init__(self, program, args=(), cwd=None, env=None, raw_command_line=None):
        ensure_prefix()
        super().__init__()
        self.name = Path(program).name
        if raw_command_line is not None:
            driver_args = ["run", "--raw", raw_command_line]
        else:
            # A program of the Linux file system starts by its Z: path, so its
            # command line reads as it would on Windows.
            path = Path(program)
            shown = to_wine_path(path) if path.is_absolute() and path.exists() else str(program)
            driver_args = ["run", "--", shown, *args]
        self.returncode = None
        self.stdout = b""
        self.stderr = b""
        self._wine = WineProcess(driver.command_line(driver_args), cwd=cwd, env=env)
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
            report = driver.report(f"hang-{self.name}-{self.pid}")
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
            texts = [self.window_text(w.title, timeout=5) for w in windows]
            shot = screenshot.screenshot(f"unexpected-{self.name}")
            self.kill()
            raise HarnessError(f"{self.name} showed a window instead of ending: {texts}\nscreenshot: {shot}")
        return self.wait(0)

    def kill(self):
        """Ends the program, and with it any box it still shows."""
        if self.running():
            # Killing the driver ends the program too (its job dies with the
            # driver); the explicit kill makes that not depend on the job.
            if self.pid:
                driver.call(["kill", "--pid", self.pid], check=False)
            self._wine.kill()
        if not self._wine.stdout_file.closed:
            self._wine.finish()
        _running.discard(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()


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
