"""SFX files as a user runs them, under Wine, without any window: extraction of
a whole tree, the exit codes of damaged files, one instance at a time, run
mode with its parameters, working folder and exit code, the clean-up and the
self-deletion."""

import os

import builds
import harness
import programs
import runtime_support as rt
import sfx_reader
import trees
from programs import to_wine_path
from waiting import wait_until

# Odd seconds: the container keeps times to two seconds.
BASE_TIME = 1_600_000_001


class SilentRuntimeTest(harness.WineTestCase):
    def make_mixed_source(self):
        source = trees.make_tree(self.tmp / "source", {
            "readme.txt": "top level\r\n",
            "docs/guide/chapter.txt": "nested two levels down\n" * 2000,
            "docs/empty": None,
            "docs/zero.txt": b"",
            "big.bin": os.urandom(sfx_reader.CHUNK_SIZE + 4321),  # two chunks
            "caf\xe9.txt": "a Latin-1 name",
            ".hidden.txt": "hidden",
            "locked.txt": "read-only",
        })
        for i, path in enumerate(sorted(source.rglob("*"))):
            if path.is_file():
                os.utime(path, (BASE_TIME, BASE_TIME + 86_400 * i))
        os.chmod(source / "locked.txt", 0o444)
        return source

    def assertExtracted(self, source, out):
        self.assertEqual(trees.tree_items(out), trees.tree_items(source))
        for path in source.rglob("*"):
            extracted = out / path.relative_to(source)
            name = str(path.relative_to(source))
            self.assertEqual(rt.windows_attributes(extracted), rt.windows_attributes(path), name)
            if path.is_file():
                mtime = int(path.stat().st_mtime)
                self.assertEqual(int(extracted.stat().st_mtime), mtime - mtime % 2, name)

    def run_sfx(self, sfx, args=(), env=None, cwd=None):
        """Runs a silent SFX file; a window it shows fails the test at once."""
        return programs.WindowsProgram(sfx, args, env=env, cwd=cwd).wait_without_windows(timeout=120)

    def test_both_builders_extract_a_mixed_tree_to_a_custom_folder(self):
        source = self.make_mixed_source()
        for builder in rt.BUILDERS:
            with self.subTest(builder=builder):
                out = self.tmp / f"out-{builder}" / "deeper"  # neither level exists yet
                sfx = rt.build(builder, source, self.tmp / f"{builder}.exe", "-me", "-fm", "-s",
                               custom_folder=to_wine_path(out) + "\\")
                self.assertEqual(self.run_sfx(sfx), 0)
                self.assertExtracted(source, out)

    def test_damaged_files_end_with_their_codes_and_write_nothing_wrong(self):
        source = trees.make_tree(self.tmp / "source", {"a.bin": os.urandom(200_000)})
        out = self.tmp / "out"
        sfx = rt.build("linux", source, self.tmp / "good.exe", "-me", "-fm", "-s", "-oo",
                       custom_folder=to_wine_path(out) + "\\")
        image = sfx.read_bytes()
        packed = sfx_reader.read_sfx_bytes(image).by_name()[b"a.bin"].body_offset + 8  # behind the chunk header

        truncated = self.tmp / "truncated.exe"
        truncated.write_bytes(image[:-30])
        # One byte in the middle of the packed data of a.bin.
        flipped = bytearray(image)
        flipped[packed + 5000] ^= 0x40
        damaged = self.tmp / "damaged.exe"
        damaged.write_bytes(bytes(flipped))

        self.assertEqual(self.run_sfx(truncated), 13)
        self.assertFalse(out.exists(), "a cut file is refused before anything is written")
        self.assertEqual(self.run_sfx(damaged), 160)
        self.assertEqual(self.run_sfx(sfx), 0)
        self.assertEqual((out / "a.bin").read_bytes(), (source / "a.bin").read_bytes())

    def test_names_altered_after_the_build_cannot_leave_the_extraction_folder(self):
        placeholder = "zzzzzzzzzzzz.txt"
        source = trees.make_tree(self.tmp / "source", {"a.txt": "first", placeholder: "payload"})
        (source / "probe.exe").write_bytes(rt.runprobe().read_bytes())
        out = self.tmp / "one" / "two" / "out"
        sfx = rt.build("linux", source, self.tmp / "good.exe", "-mf", "-fm", "-s", "-oo",
                       executable=source / "probe.exe", custom_folder=to_wine_path(out) + "\\")
        image = sfx.read_bytes()
        before = set(self.tmp.rglob("*"))
        # Each name has the placeholder's length, so only the name and the
        # checksum change and the container stays well-formed.
        for name in ["..\\..\\escape.txt", "x/../../esc1.txt", "zzzzzzz:zzzz.txt", "CON.zzzzzzzz.txt"]:
            with self.subTest(name=name):
                bad = self.tmp / "tampered.exe"
                bad.write_bytes(sfx_reader.rename_entry(image, placeholder.encode(), name.encode()))
                self.assertEqual(self.run_sfx(bad), 13)
                # The entries before it were cleaned up as in any failed run,
                # and nothing new stands outside the extraction folder.
                self.assertEqual(list(out.rglob("*")), [])
                new = set(self.tmp.rglob("*")) - before - {bad, out}
                self.assertEqual({p for p in new if p not in out.parents}, set())

    def test_a_second_start_of_a_one_instance_sfx_fails_while_the_first_runs(self):
        source = trees.make_tree(self.tmp / "source", {})
        (source / "probe.exe").write_bytes(rt.runprobe().read_bytes())
        sfx = rt.build("linux", source, self.tmp / "once.exe", "-mf", "-ft", "-s", "-i",
                       executable=source / "probe.exe")
        record = self.tmp / "record.txt"
        env = {"QUILLON_RECORD": to_wine_path(record), "QUILLON_LINGER_MS": "4000"}
        with programs.WindowsProgram(sfx, env=env) as first:
            self.assertTrue(wait_until(record.exists, 60), "the first run did not start its program")
            second = {"QUILLON_RECORD": to_wine_path(self.tmp / "second.txt")}
            self.assertEqual(rt.full_exit_code(sfx, env=second), 1152)
            self.assertEqual(first.wait(timeout=120), 3)
        self.assertFalse((self.tmp / "second.txt").exists())

    def test_run_mode_passes_parameters_and_the_exit_code_and_cleans_up(self):
        source = trees.make_tree(self.tmp / "source", {"data/input.txt": "input"})
        (source / "bin").mkdir()
        (source / "bin" / "probe.exe").write_bytes(rt.runprobe().read_bytes())
        sfx = rt.build("linux", source, self.tmp / "run.exe", "-mf", "-ft", "-s",
                       executable=source / "bin" / "probe.exe", parameters='/switch "quoted arg"')
        instance = sfx_reader.read_sfx(sfx).config.instance_id
        record = self.tmp / "record.txt"
        env = {"QUILLON_RECORD": to_wine_path(record)}

        self.assertEqual(self.run_sfx(sfx, ["first", "second arg"], env=env), 3)
        probe = rt.read_record(record)
        self.assertEqual(probe["args"], ["/switch", "quoted arg", "first", "second arg"])
        self.assertTrue(probe["cmdline"].endswith(' /switch "quoted arg" "first" "second arg"'), probe["cmdline"])
        extraction = rt.linux_path(probe["cwd"])
        self.assertEqual(extraction.name.lower(), f"~sfx{instance}".lower())
        self.assertEqual(extraction.parent, rt.temp_folder())
        # DeleteMode 0: the files and the folders the stub made are gone.
        self.assertFalse(extraction.exists())

    def test_working_folder_and_delete_modes(self):
        source = trees.make_tree(self.tmp / "source", {"keep/me.txt": "kept"})
        (source / "probe.exe").write_bytes(rt.runprobe().read_bytes())
        record = self.tmp / "record.txt"
        env = {"QUILLON_RECORD": to_wine_path(record)}
        here = trees.make_tree(self.tmp / "current", {})
        out = self.tmp / "out"
        for switch, expected in [("-ws", self.tmp / "sfx"), ("-wc", here), ("-we", out)]:
            with self.subTest(working_folder=switch):
                sfx = rt.build("linux", source, self.tmp / "sfx" / "run.exe", "-mf", "-fm", "-s", "-oo", switch,
                               "-dn", executable=source / "probe.exe", custom_folder=to_wine_path(out) + "\\")
                self.assertEqual(self.run_sfx(sfx, env=env, cwd=here), 3)
                self.assertEqual(rt.linux_path(rt.read_record(record)["cwd"].rstrip("\\")), expected)
                # DeleteMode 2 keeps everything.
                self.assertEqual((out / "keep" / "me.txt").read_text(), "kept")

        existing = trees.make_tree(self.tmp / "existing", {"foreign.txt": "not ours"})
        sfx = rt.build("linux", source, self.tmp / "clean.exe", "-mf", "-fm", "-s", "-di",
                       executable=source / "probe.exe", custom_folder=to_wine_path(existing) + "\\")
        self.assertEqual(self.run_sfx(sfx, env=env), 3)
        # DeleteMode 0 removes what the stub extracted and the folders it made;
        # the folder that existed stays with what it held before.
        self.assertEqual(sorted(p.name for p in existing.rglob("*")), ["foreign.txt"])

    def test_the_sfx_file_deletes_itself_after_a_successful_run(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "a"})
        out = self.tmp / "out"
        # -oo: a helper left in the temporary folder by an earlier run is
        # replaced without a question.
        sfx = rt.build("linux", source, self.tmp / "self.exe", "-me", "-fm", "-s", "-oo", "-d",
                       custom_folder=to_wine_path(out) + "\\")
        # Straight under Wine: the driver's job would take the helper down with it.
        self.assertEqual(programs.run_windows(sfx, timeout=120).returncode, 0)
        self.assertTrue(wait_until(lambda: not sfx.exists(), 30))
        self.assertEqual((out / "a.txt").read_text(), "a")
        self.assertTrue((rt.temp_folder() / "xsfxdel~.exe").exists())

        # A failed run leaves the SFX file alone.
        damaged = self.tmp / "damaged.exe"
        image = bytearray(rt.build("linux", source, self.tmp / "again.exe", "-me", "-fm", "-s", "-oo", "-d",
                                   custom_folder=to_wine_path(out) + "\\").read_bytes())
        image[-sfx_reader.ENTRY_HEADER_SIZE - 4] ^= 1  # the last entry's checksum, before the end record
        damaged.write_bytes(bytes(image))
        self.assertEqual(programs.run_windows(damaged, timeout=120).returncode, 23)
        # A helper started at the end would be running now, or be done with the file.
        self.assertEqual(programs.running_programs("xsfxdel~"), [])
        self.assertTrue(damaged.exists())

    def test_only_a_helper_this_run_wrote_is_started(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "a"})
        out = self.tmp / "out"
        helper = rt.temp_folder() / "xsfxdel~.exe"
        record = self.tmp / "record.txt"
        env = {"QUILLON_RECORD": to_wine_path(record)}
        self.addCleanup(lambda: helper.rmdir() if helper.is_dir() else helper.unlink(missing_ok=True))

        # Existing files are kept (-os), but a program that stands under the
        # helper's name is the stub's to replace, not to start.
        helper.unlink(missing_ok=True)
        helper.write_bytes(rt.runprobe().read_bytes())
        sfx = rt.build("linux", source, self.tmp / "keep.exe", "-me", "-fm", "-s", "-os", "-d",
                       custom_folder=to_wine_path(out) + "\\")
        self.assertEqual(programs.run_windows(sfx, env=env, timeout=120).returncode, 0)
        self.assertTrue(wait_until(lambda: not sfx.exists(), 30), "the helper this run wrote deletes the SFX file")
        self.assertFalse(record.exists(), "the program that stood there was started")
        self.assertEqual(helper.read_bytes(), builds.helper_image().read_bytes())

        # Where the helper cannot be written the run still succeeds; the SFX
        # file then stays, and nothing is started.
        helper.unlink()
        helper.mkdir()
        sfx = rt.build("linux", source, self.tmp / "stays.exe", "-me", "-fm", "-s", "-oo", "-d",
                       custom_folder=to_wine_path(out) + "\\")
        self.assertEqual(programs.run_windows(sfx, env=env, timeout=120).returncode, 0)
        self.assertEqual(programs.running_programs("xsfxdel~"), [])
        self.assertTrue(sfx.exists())
        self.assertEqual((out / "a.txt").read_text(), "a")


if __name__ == "__main__":
    import unittest
    unittest.main()
