"""The programs this build made, and SFX files built with its Linux or its Windows builder."""

import os
import subprocess

from programs import WindowsProgram, to_wine_path
from wine_session import HarnessError, built_program


def linux_builder():
    """The Linux command-line builder."""
    return built_program("builder/cli/quillon", "the Linux builder")


def windows_builder():
    """The x86_64 Windows builder quillon.exe (the one 64-bit Wine runs)."""
    return built_program("win-x86_64/builder/cli/quillon.exe", "the x86_64 Windows builder")


def stub_image(arch="x86_64"):
    """The stub sfxhead.exe of one architecture (i686 or x86_64)."""
    return built_program(f"win-{arch}/stub/sfxhead.exe", f"the {arch} stub")


def helper_image(arch="x86_64"):
    """The self-delete helper selfdelete.exe of one architecture."""
    return built_program(f"win-{arch}/selfdelete/selfdelete.exe", f"the {arch} self-delete helper")


def build_sfx_linux(source, target, switches=("-h", "-o", "-c"), extra_args=(), env=None, check=True):
    """Runs the Linux builder: quillon SWITCHES SOURCE TARGET EXTRA_ARGS with
    the x86_64 stub, so that Wine can run the SFX file. Returns the
    CompletedProcess (text output); with `check` a nonzero status raises."""
    run_env = {**os.environ, "QUILLON_STUB_ARCH": "x86_64", **(env or {})}
    command = [linux_builder(), *switches, source, target, *extra_args]
    result = subprocess.run(command, capture_output=True, text=True, env=run_env, timeout=300)
    if check and result.returncode != 0:
        raise HarnessError(f"the Linux builder failed ({result.returncode}): {result.stderr.strip()}")
    return result


def build_sfx_windows(source, target, switches=("-h", "-o", "-c"), extra_args=(), env=None):
    """Runs the x86_64 Windows builder under Wine with source and target as Z:
    paths (pass extra_args already as Windows paths); returns its exit status,
    0, or raises. Any window it opens (an error box, say) fails at once with
    the window's texts. `env` adds to the Wine environment."""
    args = [*switches, to_wine_path(source), to_wine_path(target), *extra_args]
    with WindowsProgram(windows_builder(), args, env=env) as builder:
        status = builder.wait_without_windows(300)
    if status != 0:
        raise HarnessError(f"the Windows builder failed ({status})")
    return status
