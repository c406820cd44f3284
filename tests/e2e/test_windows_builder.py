"""The x86_64 Windows builder's headless build under Wine: the SFX file it
writes, and the message boxes a headless build still shows (success,
overwrite question, validation error, fatal error)."""

import os
import unittest

import builds
import harness
import programs
import sfx_reader
import trees
from programs import to_wine_path

SUCCESS_TEXT = "该自解压文件创建成功！"
OVERWRITE_QUESTION = "该文件己经存在，你要覆盖它吗?"


class WindowsBuilderTest(harness.WineTestCase):
    def make_source(self):
        return trees.make_tree(self.tmp / "source", {
            "readme.txt": "top level\r\n",
            "docs/guide/chapter1.txt": "nested two levels down\n" * 50,
            "docs/notes.txt": "",
            "bin/tool.dat": bytes(range(256)) * 40 + os.urandom(3000),
            "café.txt": "a Latin-1 name",
        })

    def start_builder(self, *switches, source, target):
        return programs.WindowsProgram(builds.windows_builder(),
                                       [*switches, to_wine_path(source), to_wine_path(target)])

    def test_headless_build_writes_the_source_tree_behind_the_stub(self):
        source = self.make_source()
        target = self.tmp / "out" / "setup.exe"  # the folder does not exist yet
        self.assertEqual(builds.build_sfx_windows(source, target), 0)

        image = target.read_bytes()
        sfx = sfx_reader.read_sfx_bytes(image)
        self.assertSfxMatchesTree(sfx, source)
        # Without icon, run mode or elevation nothing edits the stub, so the
        # image in front of the container is the builder's own stub.
        self.assertEqual(image[:sfx.container_start], builds.stub_image("x86_64").read_bytes())
        self.assertIn("caf\xe9.txt".encode("cp1252"), sfx.by_name())
        config = sfx.config
        self.assertEqual((config.extraction_mode, config.extraction_folder, config.compression,
                          config.silent_mode, config.self_delete_mode, config.overwrite_mode),
                         (0, 0, 1, 0, 0, 0))
        self.assertTrue(config.instance_id.startswith("00"))

    def test_success_box_without_c(self):
        source = self.make_source()
        target = self.tmp / "setup.exe"
        leftover = self.tmp / "setup.exe.~0123ABCDEF"  # what a killed build left
        leftover.write_bytes(b"partial")
        with self.start_builder("-h", "-o", source=source, target=target) as builder:
            self.assertEqual(builder.message_box("Information"), SUCCESS_TEXT)
            # The file is complete before the box appears.
            sfx_reader.read_sfx(target)
            builder.press_button("Information", "OK")
            self.assertEqual(builder.wait(), 0)
        self.assertSfxMatchesTree(sfx_reader.read_sfx(target), source)
        self.assertFalse(leftover.exists())

    def test_overwrite_question_without_o(self):
        source = self.make_source()
        target = self.tmp / "setup.exe"
        old = b"an earlier file that must survive a No"
        target.write_bytes(old)

        with self.start_builder("-h", "-c", source=source, target=target) as builder:
            self.assertEqual(builder.message_box("Confirmation"), OVERWRITE_QUESTION)
            builder.press_button("Confirmation", "No")
            builder.wait()
        self.assertEqual(target.read_bytes(), old)

        with self.start_builder("-h", "-c", source=source, target=target) as builder:
            builder.press_button("Confirmation", "Yes")
            self.assertEqual(builder.wait(), 0)
        self.assertSfxMatchesTree(sfx_reader.read_sfx(target), source)

    def test_failed_build_shows_the_fatal_error_box_with_the_path_and_exits_with_1(self):
        source = self.make_source()
        # Wine running as root writes over read-only files, but no one can
        # create a file where a folder stands: access denied, code 5.
        target = self.tmp / "taken.exe"
        target.mkdir()
        with self.start_builder("-h", "-o", "-c", source=source, target=target) as builder:
            self.assertEqual(builder.message_box("程序错误"), "文件访问被拒绝\r\n" + to_wine_path(target))
            builder.press_button("程序错误", "OK")
            self.assertEqual(builder.wait(), 1)
        self.assertTrue(target.is_dir())

    def test_names_the_code_page_cannot_hold_are_stored_as_utf8_and_only_they(self):
        # Code page 1252 has no Chinese characters, nor ā, which must not turn
        # into the a of another file's name: they, and what lies below them,
        # go into extended entries; the rest stays as it always was.
        source = trees.make_tree(self.tmp / "source", {
            "文件夹/inner.txt": "x", "ok.txt": "y", "ā.txt": "z", "a.txt": "w", "café.txt": "c"})
        target = self.tmp / "setup.exe"
        self.assertEqual(builds.build_sfx_windows(source, target), 0)
        sfx = sfx_reader.read_sfx(target)
        self.assertSfxMatchesTree(sfx, source)
        self.assertEqual({e.name.decode("utf-8" if e.extended else "cp1252"): e.extended for e in sfx.entries},
                         {"文件夹": True, "文件夹\\inner.txt": True, "ā.txt": True, "ok.txt": False,
                          "a.txt": False, "café.txt": False})

    def test_a_source_a_target_and_a_program_beyond_260_characters_are_reached(self):
        deep = self.tmp.joinpath(*(f"{i}-" + "x" * 60 for i in range(5)))
        source = trees.make_tree(deep / "source", {"a.txt": "a", "sub/café.exe": "MZ"})
        target = deep / "out" / "setup.exe"
        self.assertGreater(len(to_wine_path(source)), 300)
        self.assertEqual(builds.build_sfx_windows(source, target, switches=("-h", "-o", "-c", "-mf"),
                                                  extra_args=[to_wine_path(source / "sub/café.exe")]), 0)
        sfx = sfx_reader.read_sfx(target)
        self.assertSfxMatchesTree(sfx, source)
        self.assertEqual([e.name for e in sfx.entries if e.entry_type == sfx_reader.ENTRY_PROGRAM],
                         ["sub\\café.exe".encode("cp1252")])

    def test_missing_source_shows_the_error_box(self):
        source = self.tmp / "missing"
        target = self.tmp / "setup.exe"
        with self.start_builder("-h", "-o", "-c", source=source, target=target) as builder:
            text = builder.message_box("Error")
            # The source is shown normalised: a full path with a trailing backslash.
            self.assertEqual(text, "源文件夹不存在\r\n\r\n" + to_wine_path(source) + "\\")
            builder.press_button("Error", "OK")
            # A rejected build must not look like a successful one to a script.
            self.assertNotEqual(builder.wait(), 0)
        self.assertFalse(target.exists())


if __name__ == "__main__":
    unittest.main()
