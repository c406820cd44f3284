"""Trees that only extended entries can hold, built by the Linux and the
Windows builder and extracted under Wine in code pages 1252 and 936: names in
Chinese, Greek and an emoji, a path beyond 300 characters and a sparse file of
2.5 GiB come out with the names, sizes, bytes and times of the source, and
both builders write the same entries. With -pn every entry is extended, and a
classic tree too extracts the same names in both code pages."""

import os

import builds
import harness
import programs
import sfx_reader
import trees
import wine_session
from programs import to_wine_path
from trees import DEEP

GIANT = int(2.5 * 2**30)
# Bytes set in the otherwise sparse giant file: at its ends, at 2 GiB and
# beside a chunk boundary, where a size or offset cut to 32 bits would show.
MARKS = {0: 1, sfx_reader.CHUNK_SIZE: 2, 2**31 - 1: 3, 2**31: 4, GIANT - 1: 5}
SAMPLES = sorted({*MARKS, 1, sfx_reader.CHUNK_SIZE - 1, 2**31 + 1, 2**32 % GIANT, GIANT - 2})
SOURCE_TIME = 1_600_000_001  # odd: the container keeps times to two seconds
SWITCHES = ("-h", "-o", "-c", "-s", "-oo", "-fm")
EXTRACT_TO = "%QL_OUT%"  # the custom folder, set for each run
CLASSIC = {"café.txt": "latte", "naïve/résumé.txt": "cv", "plain.txt": "p"}


def dated(root):
    """The tree with every modification time set to SOURCE_TIME."""
    for path in root.rglob("*"):
        os.utime(path, (SOURCE_TIME, SOURCE_TIME))
    return root


def make_any_tree(root, giant):
    """The tree of names in every script, a deep path and, when `giant`, the sparse file."""
    trees.make_tree(root, {"classic.txt": "a classic entry beside them\n", "中文/说明.txt": "说明\n",
                           "Ελληνικά/αρχείο.txt": b"\x00\x01greek", "😀 emoji.txt": os.urandom(300_000),
                           f"{DEEP}/最后 ☃.txt": "deep down\n"})
    if giant:
        with open(root / "giant.bin", "wb") as f:
            f.truncate(GIANT)
            for offset, value in MARKS.items():
                f.seek(offset)
                f.write(bytes([value]))
    return dated(root)


def snapshot(root):
    """{relative path: None for a folder, else (size, data or samples of a
    large file, modification time in two-second steps)}."""
    items = {}
    for path in root.rglob("*"):
        relative = path.relative_to(root).as_posix()
        if path.is_dir():
            items[relative] = None
            continue
        size = path.stat().st_size
        if size < 2**20:
            content = path.read_bytes()
        else:
            with open(path, "rb") as f:
                content = [(f.seek(offset), f.read(1))[1] for offset in SAMPLES]
        items[relative] = (size, content, int(path.stat().st_mtime) // 2 * 2)
    return items


class AnyTreeTest(harness.WineTestCase):
    def build(self, builder, source, target, *switches):
        """Builds with the builder named, extracting silently to %QL_OUT%; returns the SFX file read back."""
        if builder == "linux":
            builds.build_sfx_linux(source, target, switches=SWITCHES + switches, extra_args=[EXTRACT_TO])
        else:
            builds.build_sfx_windows(source, target, switches=SWITCHES + switches, extra_args=[EXTRACT_TO])
        return sfx_reader.read_sfx(target)

    def assertExtractsAsSource(self, program, source, codepage):
        out = self.tmp / "out"
        env = {"QL_OUT": to_wine_path(out)}
        if codepage == 936:
            env.update(wine_session.chinese_locale())
        try:
            self.assertEqual(programs.WindowsProgram(program, env=env).wait_without_windows(timeout=600), 0)
            self.assertEqual(snapshot(out), snapshot(source))
        finally:
            trees.remove_tree(out)  # the giant file goes at once

    def test_any_names_a_deep_path_and_a_giant_file_from_both_builders_in_both_code_pages(self):
        source = make_any_tree(self.tmp / "source", giant=True)
        self.assertGreater(len(f"{DEEP}/最后 ☃.txt"), 300)
        entries = {}
        for builder in ("linux", "windows"):
            target = self.tmp / f"{builder}.exe"
            sfx = self.build(builder, source, target)
            self.assertLess(sfx.file_size, 8 * 2**20, "the giant file packs small")
            # Only what the classic entry cannot hold is extended.
            self.assertEqual([e.name for e in sfx.entries if not e.extended], [b"classic.txt"])
            entries[builder] = {e.name: (e.size, e.data, e.dos_time, e.attributes) for e in sfx.entries}
            for codepage in (1252, 936):
                with self.subTest(builder=builder, codepage=codepage):
                    self.assertExtractsAsSource(target, source, codepage)
            target.unlink()
        self.assertEqual(entries["linux"], entries["windows"])

    def test_portable_names_extract_alike_in_both_code_pages_from_both_builders(self):
        sources = {"any": make_any_tree(self.tmp / "any", giant=False),
                   "classic": dated(trees.make_tree(self.tmp / "classic", CLASSIC))}
        for builder in ("linux", "windows"):
            for kind, source in sources.items():
                target = self.tmp / f"{builder}-{kind}.exe"
                sfx = self.build(builder, source, target, "-pn")
                self.assertTrue(all(e.extended for e in sfx.entries), (builder, kind))
                for codepage in (1252, 936):
                    with self.subTest(builder=builder, tree=kind, codepage=codepage):
                        self.assertExtractsAsSource(target, source, codepage)


if __name__ == "__main__":
    import unittest
    unittest.main()
