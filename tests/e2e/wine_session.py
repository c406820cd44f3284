"""The one place where the tests' Wine world is set up: the X display (an
Xvfb when none is set), the Wine prefix (build/wineprefix unless WINEPREFIX
says otherwise), the environment every Wine process gets and the way it
starts, and the programs of the build. The end-to-end harness imports it;
scripts/test and scripts/demo run their work inside a session of it, and
scripts/wine-run starts single programs through it, so all of them use the
same prefix, display rules and quiet defaults.

    python3 wine_session.py session -- COMMAND [ARGS...]
        runs COMMAND with DISPLAY, WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES
        set, the prefix created and one wineserver up for the whole run; the
        display and the wineserver it started end with it.
    python3 wine_session.py run PROGRAM [ARGS...]
        runs one Windows program under Wine, passing on its output and exit code.

Environment: QUILLON_BUILD_DIR (default: build/ at the top of the tree),
WINEPREFIX (default: the build folder's wineprefix), DISPLAY (an Xvfb is
started for the process when it is unset and a display is needed),
QUILLON_WINE (default /usr/lib/wine/wine64).
"""

import atexit
import fcntl
import os
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

from waiting import wait_until

SOURCE_DIR = Path(os.environ.get("QUILLON_SOURCE_DIR") or Path(__file__).resolve().parents[2])
BUILD_DIR = Path(os.environ.get("QUILLON_BUILD_DIR") or SOURCE_DIR / "build")
WINE = Path(os.environ.get("QUILLON_WINE") or "/usr/lib/wine/wine64")
WINESERVER = WINE.parent / "wineserver"
WINEPREFIX = Path(os.environ.get("WINEPREFIX") or BUILD_DIR / "wineprefix")


class HarnessError(AssertionError):
    """Wine could not be set up, a program of the build is missing, or a
    Windows program or window did not do what the test waited for."""


def built_program(relative, what):
    """The path of a program this build made, below the build folder."""
    path = BUILD_DIR / relative
    if not path.is_file():
        raise HarnessError(f"{what} not found at {path}; build the tree first (QUILLON_BUILD_DIR={BUILD_DIR})")
    return path


# Called before an Xvfb this process started goes away, so that the programs
# on it end first (the harness kills the programs it started).
before_display_stops = []

_xvfb = None


def ensure_display():
    """The X display for Wine: $DISPLAY, or an Xvfb started for this process."""
    global _xvfb
    if os.environ.get("DISPLAY"):
        return os.environ["DISPLAY"]
    for number in range(90, 130):
        if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
            continue
        process = subprocess.Popen(
            ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        socket = Path(f"/tmp/.X11-unix/X{number}")
        if wait_until(socket.exists, 10, done=lambda up: up or process.poll() is not None):
            _xvfb = process
            atexit.register(_stop_xvfb)
            os.environ["DISPLAY"] = f":{number}"
            return os.environ["DISPLAY"]
        if process.poll() is None:
            process.kill()
        process.wait()
    raise HarnessError("could not start Xvfb (is the xvfb package installed?)")


def _stop_xvfb():
    if _xvfb and _xvfb.poll() is None:
        # The programs go before their display does; the wineserver stays, as
        # another process may still use the prefix.
        for hook in before_display_stops:
            hook()
        _xvfb.terminate()
        _xvfb.wait()


def _run_quietly(command, env, timeout=None):
    """Runs a Wine tool with nothing attached to its input and output."""
    return subprocess.run([str(part) for part in command], env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=False)


def wine_env(extra=None):
    """Environment for a Wine process: the shared prefix, quiet, the display,
    a UTF-8 Unix locale (so Windows sees en-US with ANSI code page 1252 and
    Unix file names are UTF-8), no Mono or Gecko installer dialogs. `extra`
    entries override (for example chinese_locale())."""
    env = dict(os.environ)
    for name in ("LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANGUAGE"):
        env.pop(name, None)
    env.update({
        "WINEPREFIX": str(WINEPREFIX),
        "WINEDEBUG": os.environ.get("WINEDEBUG", "-all"),
        "WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml="),
        "LANG": "C.UTF-8",
    })
    if os.environ.get("DISPLAY"):
        env["DISPLAY"] = os.environ["DISPLAY"]
    env.update(extra or {})
    return env


def chinese_locale():
    """The environment that makes Wine run in Simplified Chinese with ANSI code
    page 936: a zh_CN.UTF-8 locale, generated once into the build folder with
    localedef (Debian installs the locale sources, not compiled locales), and
    LOCPATH pointing there. Pass it as `env` to the run helpers."""
    locales = BUILD_DIR / "locale"
    compiled = locales / "zh_CN.UTF-8"
    locales.mkdir(parents=True, exist_ok=True)
    with open(locales / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (compiled / "LC_CTYPE").exists():
            result = subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", str(compiled)],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
            if not (compiled / "LC_CTYPE").exists():
                raise HarnessError(f"localedef could not make {compiled} (is the locales package "
                                   f"installed?): {result.stdout.decode('utf-8', 'replace')}")
    return {"LANG": "zh_CN.UTF-8", "LOCPATH": str(locales)}


class WineProcess:
    """A Wine process whose output goes to unnamed files, not pipes: Wine's
    helper processes (the desktop's explorer.exe, services.exe) may start from
    any Wine process and inherit its output; a pipe would then stay open long
    after the process itself ended."""

    def __init__(self, command, cwd=None, env=None):
        self.stdout_file = tempfile.TemporaryFile()
        self.stderr_file = tempfile.TemporaryFile()
        self.process = subprocess.Popen([str(part) for part in command], stdout=self.stdout_file,
                                        stderr=self.stderr_file, stdin=subprocess.DEVNULL, cwd=cwd,
                                        env=wine_env(env), start_new_session=True)

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
        """Kills the process and whatever it started in its session."""
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
            self.process.wait()

    def finish(self):
        """The output, after which the files are closed."""
        output = self.output()
        self.stdout_file.close()
        self.stderr_file.close()
        return output


_prefix_ready = False


def ensure_prefix():
    """Creates the Wine prefix once (several processes may ask at once); only
    its creation needs a display."""
    global _prefix_ready
    if _prefix_ready:
        return
    WINEPREFIX.parent.mkdir(parents=True, exist_ok=True)
    with open(str(WINEPREFIX) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (WINEPREFIX / "system.reg").exists():
            ensure_display()
            env = wine_env()
            _run_quietly([WINE, "wineboot", "-i"], env, timeout=300)
            # Chinese texts draw with the WenQuanYi font wherever Windows would use SimSun.
            _run_quietly([WINE, "reg", "add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes",
                          "/v", "SimSun", "/d", "WenQuanYi Micro Hei", "/f"], env, timeout=300)
            # Without a window manager, Wine draws the title bars itself, so
            # screenshots show the windows' captions.
            _run_quietly([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"],
                         env, timeout=300)
            subprocess.run([str(WINESERVER), "-w"], env=env, check=False, timeout=300)
        if not (WINEPREFIX / "system.reg").exists():
            raise HarnessError(f"wineboot did not create the prefix {WINEPREFIX}")
    _prefix_ready = True


def session(command):
    """Runs `command` in one Wine session and returns its exit status."""
    # A session that is told to end still takes its display and server down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    ensure_display()
    ensure_prefix()
    env = wine_env()
    for name in ("DISPLAY", "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES"):
        os.environ[name] = env[name]
    # One wineserver for the whole session, so that each Wine start is quick.
    if _run_quietly([WINESERVER, "-p"], env).returncode == 0:
        atexit.register(lambda: _run_quietly([WINESERVER, "-k"], env))
    # Wine's own background processes (services, devices, the desktop) start
    # now, with nothing attached to their output: started later by a test they
    # would inherit its output pipe and, living as long as the server, keep
    # whoever reads that pipe waiting forever.
    _run_quietly([WINE, "wineboot"], env, timeout=300)
    return subprocess.run(command).returncode


def run(program, args):
    """Runs one Windows program under Wine; returns its exit code."""
    ensure_prefix()
    return subprocess.run([str(WINE), program, *args], env=wine_env()).returncode


def _main(argv):
    if len(argv) >= 3 and argv[0] == "session" and argv[1] == "--":
        return session(argv[2:])
    if len(argv) >= 2 and argv[0] == "run":
        return run(argv[1], argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
