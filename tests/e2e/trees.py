"""Test trees: folders made from a layout, read back as an SFX file would store them, and removed."""

import dataclasses
import datetime
import os
import shutil
import stat
from pathlib import Path

# Six folders of 51 characters (147 bytes of UTF-8 each, below the 255 a Linux
# name may take): a path below them passes 300 characters.
DEEP = "/".join(f"{i:02d}-" + "深层目录" * 12 for i in range(6))


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
    """Every file and folder below `root`, keyed by the name a classic entry
    stores (in `codepage`), or with codepage None by that name as text."""
    items = {}
    root = Path(root)
    for path in sorted(root.rglob("*")):
        relative = path.relative_to(root).as_posix()
        name = relative.replace("/", "\\") if codepage is None else stored_name(relative, codepage)
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


def decode_dos_time(value):
    """A DOS date and time as a naive datetime, the inverse of dos_time."""
    date, clock = value >> 16, value & 0xFFFF
    return datetime.datetime(1980 + (date >> 9), (date >> 5) & 15, date & 31,
                             clock >> 11, (clock >> 5) & 63, (clock & 31) * 2)


def dos_time_of(timestamp):
    """The MS-DOS date and time (local time) of a POSIX timestamp."""
    return dos_time(datetime.datetime.fromtimestamp(timestamp))

