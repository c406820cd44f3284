"""The Windows builder under Wine in code page 936, where the character 乗 is
the bytes 0x81 0x5C: its second byte is a backslash, and still no path
delimiter. Folders ending in it are listed, created and compared as wholes."""

import builds
import harness
import programs
import sfx_reader
import trees
import wine_session
from programs import to_wine_path

# 乗 ends in 0x5C in code page 936, 文 does not; both are folder names here.
TRAIL_5C = "乗"


class DoubleByteTest(harness.WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.env = wine_session.chinese_locale()

    def build(self, source, target, *extra, switches=("-h", "-o", "-c")):
        return builds.build_sfx_windows(source, target, switches=switches, extra_args=extra, env=self.env)

    def test_a_source_folder_ending_in_a_trail_byte_5c_gives_all_its_files(self):
        source = trees.make_tree(self.tmp / f"source{TRAIL_5C}", {
            "a.txt": "first",
            f"sub{TRAIL_5C}/b.txt": "second",
            "文/c.txt": "third",
        })
        # Neither folder of the target exists yet.
        target = self.tmp / f"out{TRAIL_5C}" / f"deeper{TRAIL_5C}" / "setup.exe"
        self.build(source, target)
        self.assertSfxMatchesTree(sfx_reader.read_sfx(target), source, codepage="cp936")

    def test_the_custom_folder_keeps_its_last_character_and_gains_a_backslash(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "a"})
        target = self.tmp / "custom.exe"
        self.build(source, target, f"C:\\{TRAIL_5C}", switches=("-h", "-o", "-c", "-fm"))
        self.assertEqual(sfx_reader.read_sfx(target).config.custom_folder, f"C:\\{TRAIL_5C}\\".encode("cp936"))

    def test_a_custom_folder_with_chinese_text_and_a_variable_is_expanded_whole(self):
        # Built on Linux for code page 936; the variable and the literal part
        # both carry double-byte characters, so bytes and characters differ.
        base = self.tmp / "根目录"
        base.mkdir()
        source = trees.make_tree(self.tmp / "source", {"a.txt": "a", "sub/b.txt": "b"})
        sfx = builds.build_sfx_linux(source, self.tmp / "custom.exe",
                                     switches=("-h", "-o", "-c", "-s", "-oo", "-fm"),
                                     extra_args=[f"%QL_BASE%\\输出{TRAIL_5C}"], env={"QUILLON_CODEPAGE": "936"})
        self.assertEqual(sfx.returncode, 0)
        env = dict(self.env, QL_BASE=to_wine_path(base))
        with programs.WindowsProgram(self.tmp / "custom.exe", env=env) as program:
            self.assertEqual(program.wait_without_windows(120), 0)
        self.assertEqual(trees.tree_items(base / f"输出{TRAIL_5C}"), trees.tree_items(source))

    def test_an_executable_in_a_sibling_folder_that_begins_alike_is_refused(self):
        # source乗 would be a byte prefix of source乗乗\setup.exe, but not a folder of it.
        source = trees.make_tree(self.tmp / f"source{TRAIL_5C}", {"a.txt": "a"})
        sibling = trees.make_tree(self.tmp / f"source{TRAIL_5C}{TRAIL_5C}", {"setup.exe": "MZ"})
        target = self.tmp / "run.exe"
        args = ["-h", "-o", "-c", "-mf", to_wine_path(source), to_wine_path(target),
                to_wine_path(sibling / "setup.exe")]
        with programs.WindowsProgram(builds.windows_builder(), args, env=self.env) as builder:
            self.assertIn("不是在源文件夹", builder.message_box("Error"))
            builder.press_button("Error", control_id=1)  # IDOK; its text is Chinese here
            self.assertEqual(builder.wait(), 1)
        self.assertFalse(target.exists())


if __name__ == "__main__":
    import unittest
    unittest.main()
