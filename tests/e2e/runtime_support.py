"""Helpers of the SFX runtime tests: building with either builder, the probe, Windows' view of extracted files."""

import os
from pathlib import Path

import builds
import programs
import wine_session
from programs import to_wine_path

BUILDERS = ("linux", "windows")


def runprobe():
    """runprobe.exe: records its command line, arguments and working folder."""
    return wine_session.built_program("win-x86_64/tests/windows/runprobe/runprobe.exe", "runprobe.exe")


def build(builder, source, target, *switches, executable=None, custom_folder=None, parameters=None):
    """Builds an SFX file headless, quietly and replacing the target, with the
    Linux or the Windows builder. The positional parameters follow the
    switches: the program to run (a Linux path), the custom folder and the
    program's parameters (Windows texts)."""
    extra = []
    if executable is not None:
        extra.append(str(executable) if builder == "linux" else to_wine_path(executable))
    if custom_folder is not None:
        extra.append(custom_folder)
    if parameters is not None:
        extra.append(parameters)
    all_switches = ("-h", "-o", "-c", *switches)
    if builder == "linux":
        builds.build_sfx_linux(source, target, switches=all_switches, extra_args=extra)
    else:
        builds.build_sfx_windows(source, target, switches=all_switches, extra_args=extra)
    return Path(target)


def full_exit_code(program, env=None, timeout=120):
    """The whole 32-bit exit code of a Windows program; Wine hands Linux only
    its low 8 bits. A batch file runs the program and prints %ERRORLEVEL%
    (cmd waits for programs a batch file starts, windowed ones too)."""
    batch = Path(program).with_suffix(".exitcode.bat")
    batch.write_bytes(f'@"{to_wine_path(program)}"\r\n@echo exit=%ERRORLEVEL%\r\n'.encode("cp1252"))
    try:
        result = programs.run_windows("cmd", ["/c", to_wine_path(batch)], env=env, timeout=timeout)
    finally:
        batch.unlink()
    for line in result.stdout.decode("cp1252").splitlines():
        if line.startswith("exit="):
            return int(line[5:])
    raise wine_session.HarnessError(f"no exit code from cmd: {result.stdout!r} {result.stderr!r}")


def linux_path(windows_path):
    """The Linux path of a Z: or C: path of the Wine prefix."""
    drive, path = windows_path[:2].upper(), windows_path[2:].replace("\\", "/")
    if drive not in ("C:", "Z:"):
        raise ValueError(f"not a C: or Z: path: {windows_path}")
    return wine_session.WINEPREFIX / "drive_c" / path[1:] if drive == "C:" else Path(path or "/")


def temp_folder():
    """The Linux path of the prefix's temporary folder (GetTempPath)."""
    users = wine_session.WINEPREFIX / "drive_c" / "users"
    for candidate in (users / os.environ.get("USER", "root") / "Temp", users / "root" / "Temp"):
        if candidate.is_dir():
            return candidate
    raise wine_session.HarnessError(f"no temporary folder under {users}")


def windows_attributes(path):
    """The read-only (0x01) and hidden (0x02) bits as Wine shows them: read-only
    is the missing owner write permission, hidden a dot name or the DOS
    attributes Wine keeps in an extended attribute."""
    path = Path(path)
    bits = 0 if os.stat(path).st_mode & 0o200 else 0x01
    if path.name.startswith("."):
        bits |= 0x02
    try:
        bits |= int(os.getxattr(path, "user.DOSATTRIB").split(b"\0")[0], 0) & 0x02
    except OSError:
        pass
    return bits


def read_record(path):
    """What runprobe recorded: its raw command line, working folder and arguments."""
    record = {"args": []}
    for line in Path(path).read_bytes().decode("cp1252").splitlines():
        key, _, value = line.partition("=")
        if key == "arg":
            record["args"].append(value)
        else:
            record[key] = value
    return record
