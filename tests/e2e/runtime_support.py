"""Helpers of the SFX runtime tests on top of harness: building an SFX file with
either builder from one description, the probe program that run mode starts,
and the Windows view of extracted files read from the Linux side."""

import os
from pathlib import Path

import harness

BUILDERS = ("linux", "windows")


def runprobe():
    """runprobe.exe: records its command line, arguments and working folder."""
    path = harness.BUILD_DIR / "win-x86_64/tests/windows/runprobe/runprobe.exe"
    if not path.is_file():
        raise harness.HarnessError(f"runprobe.exe not found at {path}; build the tree first")
    return path


def build(builder, source, target, *switches, executable=None, custom_folder=None, parameters=None):
    """Builds an SFX file headless, quietly and replacing the target, with the
    Linux or the Windows builder. The positional parameters follow the
    switches: the program to run (a Linux path), the custom folder and the
    program's parameters (Windows texts)."""
    extra = []
    if executable is not None:
        extra.append(str(executable) if builder == "linux" else harness.to_wine_path(executable))
    if custom_folder is not None:
        extra.append(custom_folder)
    if parameters is not None:
        extra.append(parameters)
    all_switches = ("-h", "-o", "-c", *switches)
    if builder == "linux":
        harness.build_sfx_linux(source, target, switches=all_switches, extra_args=extra)
    else:
        harness.build_sfx_windows(source, target, switches=all_switches, extra_args=extra)
    return Path(target)


def full_exit_code(program, env=None, timeout=120):
    """The whole 32-bit exit code of a Windows program; Wine hands Linux only
    its low 8 bits. A batch file runs the program and prints %ERRORLEVEL%
    (cmd waits for programs a batch file starts, windowed ones too)."""
    batch = Path(program).with_suffix(".exitcode.bat")
    batch.write_bytes(f'@"{harness.to_wine_path(program)}"\r\n@echo exit=%ERRORLEVEL%\r\n'.encode("cp1252"))
    try:
        result = harness.run_windows("cmd", ["/c", harness.to_wine_path(batch)], env=env, timeout=timeout)
    finally:
        batch.unlink()
    for line in result.stdout.decode("cp1252").splitlines():
        if line.startswith("exit="):
            return int(line[5:])
    raise harness.HarnessError(f"no exit code from cmd: {result.stdout!r} {result.stderr!r}")


def linux_path(windows_path):
    """The Linux path of a Z: or C: path of the Wine prefix."""
    if windows_path[:2].upper() == "C:":
        return harness.WINEPREFIX / "drive_c" / windows_path[3:].replace("\\", "/")
    return harness.from_wine_path(windows_path)


def temp_folder():
    """The Linux path of the prefix's temporary folder (GetTempPath)."""
    users = harness.WINEPREFIX / "drive_c" / "users"
    for candidate in (users / os.environ.get("USER", "root") / "Temp", users / "root" / "Temp"):
        if candidate.is_dir():
            return candidate
    raise harness.HarnessError(f"no temporary folder under {users}")


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
