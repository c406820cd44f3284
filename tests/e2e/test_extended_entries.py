"""Extended entries (UTF-8 names, 64-bit sizes) as the SFX file reads them
under Wine, in SFX files made from the stub image (crafted_sfx): the program to
run may lie beyond 260 characters; messages name UTF-8 paths as they are; and
the tampered names of the hardening rounds, stored as UTF-8, are refused with
13. Whole trees of such entries, from both builders, are test_any_tree's."""

import os

import harness
import hostile_files as hostile
import programs
import runtime_support as rt
import sfx_reader
import trees
from crafted_sfx import entry, sfx_image
from programs import to_wine_path
from trees import DEEP


class ExtendedEntriesTest(harness.WineTestCase):
    def write(self, image, name="crafted.exe"):
        path = self.tmp / name
        path.write_bytes(image)
        return path

    def run_sfx(self, image, env=None, name="crafted.exe"):
        """Runs a silent SFX file; a window it shows fails the test at once."""
        return programs.WindowsProgram(self.write(image, name), env=env).wait_without_windows(timeout=600)

    def test_a_program_beyond_260_characters_runs_and_everything_is_cleaned_up(self):
        out = self.tmp / "out"
        record = self.tmp / "record.txt"
        program = f"{DEEP}/程序 😀.exe"
        entries = [entry("/".join(DEEP.split("/")[:i + 1]), folder=True) for i in range(6)]
        entries += [entry("a.txt", b"a"), entry(program, rt.runprobe().read_bytes(), kind=1)]
        env = {"QUILLON_RECORD": to_wine_path(record), "QUILLON_EXIT_CODE": "42"}
        self.assertEqual(self.run_sfx(sfx_image(out, entries, run=True), env), 42)
        self.assertEqual(rt.linux_path(rt.read_record(record)["cwd"].rstrip("\\")), out)
        self.assertFalse(out.exists(), "the files and the deep folders are gone after the run")

    def test_the_overwrite_question_and_the_failure_message_name_utf8_paths(self):
        out = trees.make_tree(self.tmp / "out", {"Ελληνικά 😀.txt": "old"})
        image = sfx_image(out, [entry("Ελληνικά 😀.txt", b"new")], overwrite=0)
        with programs.WindowsProgram(self.write(image, "ask.exe")) as program:
            lines = program.message_box("Error").split("\r\n")
            self.assertEqual(lines[1], to_wine_path(out / "Ελληνικά 😀.txt"))
            program.press_button("Error", "No")
            self.assertEqual(program.wait(), 0)
        self.assertEqual((out / "Ελληνικά 😀.txt").read_text(), "old")

        # A damaged chunk: the message names the file it was unpacked into.
        damaged = bytearray(sfx_image(out, [entry("中文 ☃.bin", os.urandom(5000))], silent=False))
        damaged[-sfx_reader.ENTRY_HEADER_SIZE - 4 - 100] ^= 0x40
        with programs.WindowsProgram(self.write(bytes(damaged), "damaged.exe")) as program:
            subject = program.message_box("Error").partition("\r\n\r\n")[0]
            self.assertEqual(subject, to_wine_path(out / "中文 ☃.bin"))
            program.press_button("Error", "OK")
            self.assertEqual(program.wait(), hostile.BAD_ARGUMENTS)

    def test_tampered_names_stored_as_utf8_are_refused_with_13_and_nothing_of_them_is_written(self):
        out = self.tmp / "out"
        names = [name.decode("cp1252").encode("utf-8") for name in hostile.HOSTILE_NAMES]
        # Forms only UTF-8 has: overlong dots, an encoded zero, a surrogate half.
        names += [b"\xc0\xae\xc0\xae\\x.txt", b"a\xc0\x80.txt", b"\xed\xa0\x80.txt", b"\xff.txt"]
        before = set(self.tmp.rglob("*"))
        for name in names:
            with self.subTest(name=name):
                image = sfx_image(out, [entry("a.txt", b"first", extended=False), entry(name, b"payload"),
                                        entry("later.txt", b"later")])
                self.assertEqual(self.run_sfx(image, name="hostile.exe"), hostile.INVALID_DATA)
                self.assertEqual(sorted(p.name for p in out.rglob("*")), ["a.txt"])
                new = set(self.tmp.rglob("*")) - before - {self.tmp / "hostile.exe", out}
                self.assertEqual({p for p in new if out not in p.parents}, set())


if __name__ == "__main__":
    import unittest
    unittest.main()
