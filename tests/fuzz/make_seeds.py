"""Seeds for the fuzz targets, made from files the build produces:

  container_walk   SFX files the Linux builder writes (plain, self-deleting,
                   run mode, both stubs, names in code page 936), the hostile
                   files of the end-to-end tests (entry names altered after the
                   build, their checksums fixed: device names and names that
                   would leave the extraction folder; damage the SFX file
                   refuses), a copy cut short, and one with extended entries
                   (UTF-8 names) beside classic ones;
  resource_editor  a target, an icon file and a source executable, joined by
                   the marker the target splits them at: the stubs, the
                   resource fixtures, the icon files;
  icon_file        the icon files;
  command_line     the command lines of the help text and a few double-byte ones.

Usage: make_seeds.py BUILD_DIR OUT_DIR (OUT_DIR/<target>/ is filled anew).
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import crafted_sfx  # noqa: E402
import hostile_files as hostile  # noqa: E402
import trees  # noqa: E402

MARKER = b"QLFUZZ--"


def sfx_files(build, work):
    """SFX files of a small tree, built by the Linux builder in several ways."""
    source = trees.make_tree(work / "source", {**hostile.SOURCE_TREE, "sub/empty": None,
                                               "setup.exe": "MZ not really\n"})
    chinese = trees.make_tree(work / "chinese", {"乗/文.txt": "code page 936\n"})
    builds = [  # name, tree, switches, positional parameters behind source and target, settings
        ("plain", source, [], [], {}),
        ("selfdelete-i686", source, ["-d", "-s", "-oo"], [], {"QUILLON_STUB_ARCH": "i686"}),
        ("run", source, ["-mf", "-fm"], [str(source / "setup.exe"), "%TEMP%\\out", "/s"], {}),
        ("cp936", chinese, ["-fm"], ["C:\\乗"], {"QUILLON_CODEPAGE": "936"}),
    ]
    for name, tree, switches, positional, settings in builds:
        target = work / f"{name}.exe"
        command = [str(build / "builder/cli/quillon"), "-h", "-o", "-c", *switches, str(tree), str(target),
                   *positional]
        env = dict(os.environ, QUILLON_STUB_ARCH="x86_64")
        env.update(settings)
        subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL)
        yield name, target.read_bytes()


def hostile_files(image):
    """The hostile names and the damaged forms of the end-to-end tests."""
    for index, (_, renamed) in enumerate(hostile.hostile_names(image)):
        yield f"hostile-name-{index}", renamed
    for index, (_, damaged, _) in enumerate(hostile.damaged(image)):
        yield f"damaged-{index}", damaged


def main(build, out):
    build, out = Path(build), Path(out)
    fixtures = build / "win-x86_64/tests/windows/resfixtures"
    source_dir = Path(__file__).resolve().parents[2]
    seeds = {name: {} for name in ("container_walk", "resource_editor", "icon_file", "command_line")}

    with tempfile.TemporaryDirectory(prefix="ql-seeds-") as work:
        for name, image in sfx_files(build, Path(work)):
            seeds["container_walk"][name] = image
            if name == "plain":
                seeds["container_walk"].update(hostile_files(image))
                seeds["container_walk"]["cut"] = image[:-30]
    seeds["container_walk"]["extended"] = crafted_sfx.sfx_image(Path("/out"), [
        crafted_sfx.entry("中文", folder=True), crafted_sfx.entry("中文/Ελληνικά 😀.txt", b"UTF-8\n" * 40),
        crafted_sfx.entry("classic.txt", b"classic\n", extended=False),
        crafted_sfx.entry("run.exe", b"MZ", kind=1)])

    stubs = [build / f"win-{arch}/stub/sfxhead.exe" for arch in ("i686", "x86_64")]
    executables = [fixtures / f"res_{name}.exe" for name in ("named", "numbered", "broken", "middle", "plain")]
    icons = [fixtures / "three.ico", source_dir / "stub/sfxhead.ico"]
    for index, (target, icon, exe) in enumerate(
            [(stubs[0], icons[0], executables[0]), (stubs[1], icons[1], executables[1]),
             (fixtures / "res_stublike.exe", icons[0], executables[2]),
             (fixtures / "res_named.exe", icons[1], executables[3]),
             (fixtures / "res_middle.exe", icons[0], executables[4]),
             (stubs[1], icons[0], build / "win-x86_64/selfdelete/selfdelete.exe")]):
        seeds["resource_editor"][f"trio-{index}"] = MARKER.join(p.read_bytes() for p in (target, icon, exe))
    for icon in icons:
        seeds["icon_file"][icon.stem] = icon.read_bytes()

    help_text = (source_dir / "builder/resources/cmdline_help.txt").read_text(encoding="utf-8")
    lines = [line for line in help_text.splitlines() if line.startswith("quillon.exe -")]
    lines += ['quillon.exe -h -o -ic "C:\\图标\\x.ico" C:\\乗 C:\\out.exe', 'q.exe -mf a b "c\\\\" \\"d e\\\\\\" f']
    for index, line in enumerate(lines):
        seeds["command_line"][f"line-{index}"] = line.encode("gbk")

    for target, files in seeds.items():
        folder = out / target
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for name, content in files.items():
            (folder / name).write_bytes(content)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
