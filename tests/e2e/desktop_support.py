"""Desktop window test helpers: control ids from the builder's header, title, settings, a stand-in browser."""

import re

import builds
import harness
import programs
import wine_session
from programs import to_wine_path

SETTINGS_KEY = r"HKCU\Software\Tarnwick\Quillon"
MAIN, PROGRESS = "Tfquillon", "Tfprogress"  # window classes: the two share their title
SUCCESS_TEXT = "该自解压文件创建成功！"
VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_F1, VK_F4 = 0x09, 0x0D, 0x1B, 0x20, 0x70, 0x73
WS_SYSMENU, WS_HSCROLL, WS_VSCROLL = 0x80000, 0x100000, 0x200000
EM_GETSEL = 0xB0


def _control_ids():
    """The enum of builder/ui/control_ids.h as {"kESource": 102, ...}."""
    text = (wine_session.SOURCE_DIR / "builder/ui/control_ids.h").read_text()
    body = text[text.index("enum ControlId"):]
    ids, value = {}, -1
    for name, explicit in re.findall(r"^\s*(k\w+)(?:\s*=\s*(\d+))?,", body, re.M):
        value = int(explicit) if explicit else value + 1
        ids[name] = value
    return ids


ID = _control_ids()


def main_title():
    """"Quillon" and the major and minor version, as the main window's title."""
    cmake = (wine_session.SOURCE_DIR / "CMakeLists.txt").read_text()
    major, minor = re.search(r"project\(Quillon VERSION (\d+)\.(\d+)", cmake).groups()
    return f"Quillon {major}.{minor}"


def reg(*args, check=True):
    result = programs.run_windows("reg", list(args), timeout=60)
    if check and result.returncode != 0:
        raise wine_session.HarnessError(f"reg {' '.join(args)} failed: {result.stderr!r}")
    return result


def clear_settings():
    reg("delete", SETTINGS_KEY, "/f", check=False)


def set_setting(name, kind, value):
    reg("add", SETTINGS_KEY, "/v", name, "/t", kind, "/d", str(value), "/f")


def settings():
    """The stored values as {name: (kind, text)}, or None when the key does not exist."""
    result = reg("query", SETTINGS_KEY, check=False)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode("cp1252").splitlines():
        parts = re.split(r"\s{2,}|\t", line.strip(), maxsplit=2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


def open_web_addresses_with(test, program):
    """Makes the shell open https addresses with `program` (runprobe, which
    records its arguments) until the test ends, when the prefix's own
    handler comes back."""
    key = r"HKCR\https\shell\open\command"
    before = re.search(r"REG_SZ\s+(.*)$", reg("query", key, "/ve", check=False).stdout.decode("cp1252"), re.M)

    def restore():
        if before:
            reg("add", key, "/ve", "/d", before.group(1).strip(), "/f")
        else:
            reg("delete", r"HKCR\https\shell", "/f", check=False)

    test.addCleanup(restore)
    reg("add", key, "/ve", "/d", f'"{to_wine_path(program)}" "%1"', "/f")


def states(program, title, window_class=None):
    """The controls of a window of `program`, by id (driver.Control records)."""
    return {c.control_id: c for c in program.controls(title, window_class=window_class)}


class DesktopTestCase(harness.WineTestCase):
    """A window test: the stored settings cleared first, the builder started
    and its main window waited for."""

    def setUp(self):
        super().setUp()
        clear_settings()
        self.title = main_title()

    def start(self, *args, cwd=None, env=None):
        builder = programs.WindowsProgram(builds.windows_builder(), args, cwd=cwd, env=env)
        self.addCleanup(builder.kill)
        builder.wait_window(self.title, window_class=MAIN)
        return builder
