"""The Linux builder and the Windows builder (x86_64, under Wine) write the
same container for the same source tree and options: the same entries with
the same names, kinds, sizes, data, checksums, attributes and DOS times, and
the same ConfigBlock. Known differences: the order of entries within a folder
(the Linux builder lists names in byte order, Wine, like NTFS, by their
upper-case form). Both convert file times to local time with today's offset
from UTC, also in time zones with daylight saving time."""

import datetime
import json
import os
import subprocess
import unittest
import zoneinfo
from pathlib import Path

import builds
import harness
import programs
import sfx_reader
import trees
from programs import to_wine_path

# Mid-2021, an odd second: DOS times have two-second steps.
SOME_MTIME = 1625140801
BEFORE_1980 = 300000000  # 1979: both clamp to the first DOS time


class BuildersAgreeTest(harness.WineTestCase):
    def make_source(self):
        root = trees.make_tree(self.tmp / "source", {
            "readme.txt": "top level file\n",
            "docs/guide/chapter1.txt": "two levels down\n" * 100,
            "docs/guide/Chapter2.txt": "mixed case sorts differently\n",
            "docs/_index.txt": "an underscore sorts after letters in Wine's order\n",
            "empty-folder": None,
            "empty-file.txt": b"",
            "bin/data.bin": bytes(range(256)) * 16,
            # Above one chunk: 9 MiB and a bit, so the file gets two chunks.
            "big/large.bin": os.urandom(sfx_reader.CHUNK_SIZE + 4321),
            ".hidden": "dot-files count as hidden",
            ".config/settings.ini": "[a]\nb=1\n",
            "read-only.txt": "cannot be written",
            "locked-folder/inside.txt": "the folder is read-only",
            "café.txt": "a Latin-1 name",
            "Upper.txt": "capital",
        })
        os.chmod(root / "read-only.txt", 0o444)
        os.utime(root / "readme.txt", (SOME_MTIME, SOME_MTIME))
        os.utime(root / "empty-file.txt", (BEFORE_1980, BEFORE_1980))
        os.chmod(root / "locked-folder", 0o555)
        return root

    def build_both(self, source, switches=("-h", "-o", "-c"), linux_extra=(), windows_extra=()):
        linux_target = self.tmp / "linux.exe"
        windows_target = self.tmp / "windows.exe"
        builds.build_sfx_linux(source, linux_target, switches, linux_extra)
        builds.build_sfx_windows(source, windows_target, switches, windows_extra)
        # The Linux builder's check passes the files of both.
        for target in (linux_target, windows_target):
            check = subprocess.run([builds.linux_builder(), "--test", target], capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stderr)
        return sfx_reader.read_sfx(linux_target), sfx_reader.read_sfx(windows_target)

    def walk_order(self, root, sibling_key):
        """Entry names of a depth-first walk that lists each folder's items in
        the order of sibling_key(name bytes)."""
        names = []

        def walk(folder, prefix):
            children = sorted(folder.iterdir(), key=lambda p: sibling_key(p.name.encode("cp1252")))
            for child in children:
                name = prefix + child.name.encode("cp1252")
                names.append(name)
                if child.is_dir():
                    walk(child, name + b"\\")

        walk(Path(root), b"")
        return names

    def test_same_entries_for_the_same_tree(self):
        source = self.make_source()
        linux, windows = self.build_both(source)

        self.assertSfxMatchesTree(linux, source)
        self.assertSfxMatchesTree(windows, source)
        linux_entries, windows_entries = linux.by_name(), windows.by_name()
        self.assertEqual(sorted(linux_entries), sorted(windows_entries))
        for name, ours in linux_entries.items():
            theirs = windows_entries[name]
            with self.subTest(name=name):
                self.assertEqual(
                    (ours.entry_type, ours.is_folder, ours.size, ours.checksum, ours.attributes, ours.dos_time),
                    (theirs.entry_type, theirs.is_folder, theirs.size, theirs.checksum, theirs.attributes,
                     theirs.dos_time))
                # The same packer in both: the same zlib streams, byte for byte.
                self.assertEqual(ours.chunks, theirs.chunks)
                self.assertTrue(ours.streams == theirs.streams)

        # What both builders derive from the POSIX metadata.
        expected_attributes = {
            b"readme.txt": 0x20, b"docs": 0x10, b"empty-folder": 0x10, b".hidden": 0x22,
            b".config": 0x12, b".config\\settings.ini": 0x20, b"read-only.txt": 0x21,
            b"locked-folder": 0x11, b"locked-folder\\inside.txt": 0x20
        }
        for name, attributes in expected_attributes.items():
            self.assertEqual(linux_entries[name].attributes, attributes, name)
        self.assertEqual(linux_entries[b"readme.txt"].dos_time, trees.dos_time_of(SOME_MTIME))
        self.assertEqual(linux_entries[b"empty-file.txt"].dos_time, 0x00210000)  # 1980-01-01 00:00:00
        self.assertEqual([unpacked for unpacked, _ in linux_entries[b"big\\large.bin"].chunks],
                         [sfx_reader.CHUNK_SIZE, 4321])

        # The one difference: the order of names inside a folder.
        self.assertEqual([e.name for e in linux.entries], self.walk_order(source, lambda name: name))
        self.assertEqual([e.name for e in windows.entries],
                         self.walk_order(source, lambda name: name.decode("cp1252").upper()))

    def test_same_config_block_and_special_entries(self):
        source = trees.make_tree(self.tmp / "source", {
            "setup/install.exe": b"MZ not really a program, only packed",
            "payload.txt": "data",
        })
        custom_folder = r"%TEMP%\quillon agree"
        parameters = '"first parameter" second'
        switches = ("-h", "-o", "-c", "-mf", "-fm", "-i", "-s", "-d", "-dr", "-ws", "-oo")
        linux, windows = self.build_both(
            source, switches,
            linux_extra=[source / "setup" / "install.exe", custom_folder, parameters],
            windows_extra=[to_wine_path(source / "setup" / "install.exe"), custom_folder, parameters])

        ours, theirs = linux.config, windows.config
        self.assertNotEqual(ours.instance_id, "")
        ours.instance_id = theirs.instance_id = "random per build"
        self.assertEqual(ours, theirs)
        self.assertEqual((ours.extraction_mode, ours.extraction_folder, ours.one_instance, ours.silent_mode,
                          ours.self_delete_mode, ours.delete_mode, ours.working_directory, ours.overwrite_mode),
                         (1, 5, 1, 1, 1, 1, 1, 1))
        self.assertEqual(ours.custom_folder, (custom_folder + "\\").encode())
        self.assertEqual(ours.cmd_parameters, parameters.encode())

        helper = builds.helper_image("x86_64").read_bytes()
        for sfx in (linux, windows):
            with self.subTest(builder="linux" if sfx is linux else "windows"):
                first = sfx.entries[0]
                self.assertEqual((first.entry_type, first.name, first.dos_time, first.attributes),
                                 (sfx_reader.ENTRY_HELPER, sfx_reader.HELPER_NAME, 0, 0))
                self.assertEqual(first.data, helper)
                program_names = [e.name for e in sfx.entries if e.entry_type == sfx_reader.ENTRY_PROGRAM]
                self.assertEqual(program_names, [b"setup\\install.exe"])
        self.assertEqual({e.name: (e.entry_type, e.attributes, e.dos_time, e.data) for e in linux.entries},
                         {e.name: (e.entry_type, e.attributes, e.dos_time, e.data) for e in windows.entries})

        # What --list --json says of both files, against the independent reader.
        for target, sfx in ((self.tmp / "linux.exe", linux), (self.tmp / "windows.exe", windows)):
            with self.subTest(json=target.name):
                listing = subprocess.run([builds.linux_builder(), "--list", "--json", target],
                                         capture_output=True, text=True, check=True)
                document = json.loads(listing.stdout)
                self.assertEqual(document["configuration"] | {"instance_id": None}, {
                    "mode": "run", "extraction_folder": "custom", "custom_folder": custom_folder + "\\",
                    "parameters": parameters, "instance_id": None, "open_folder": False, "one_instance": True,
                    "silent": True, "self_delete": True, "delete_files": "at_restart",
                    "working_folder": "sfx_folder", "existing_files": "overwrite", "compression": True})
                self.assertEqual(document["stub"]["architecture"], "x86_64")
                self.assertEqual(document["entries"], [{
                    "name": e.name.decode("cp1252"), "kind": "folder" if e.is_folder else "file",
                    "size": e.size, "packed_size": sum(8 + packed for _, packed in e.chunks),
                    "time": trees.decode_dos_time(e.dos_time).isoformat() if e.dos_time else None,
                    "attributes": e.attributes, "checksum": e.checksum,
                    "program": e.entry_type == sfx_reader.ENTRY_PROGRAM,
                    "helper": e.entry_type == sfx_reader.ENTRY_HELPER,
                } for e in sfx.entries])

    def test_local_times_in_a_zone_with_daylight_saving_time(self):
        zone_name = "America/New_York"
        zone = zoneinfo.ZoneInfo(zone_name)
        january, july = 1610000001, 1625140801  # 2021, standard and daylight saving time
        source = trees.make_tree(self.tmp / "source", {"january.txt": "winter", "july.txt": "summer"})
        os.utime(source / "january.txt", (january, january))
        os.utime(source / "july.txt", (july, july))
        linux_target, windows_target = self.tmp / "linux.exe", self.tmp / "windows.exe"
        builds.build_sfx_linux(source, linux_target, env={"TZ": zone_name})
        builds.build_sfx_windows(source, windows_target, env={"TZ": zone_name})
        linux = sfx_reader.read_sfx(linux_target).by_name()
        windows = sfx_reader.read_sfx(windows_target).by_name()

        today = datetime.datetime.now(zone).utcoffset()
        for name, moment in ((b"january.txt", january), (b"july.txt", july)):
            with_today_offset = trees.dos_time(
                datetime.datetime.fromtimestamp(moment, datetime.timezone.utc) + today)
            self.assertEqual(linux[name].dos_time, with_today_offset, name)
            self.assertEqual(windows[name].dos_time, with_today_offset, name)

    def test_reproducible_builds_in_both(self):
        # With SOURCE_DATE_EPOCH each builder writes the same bytes in any time
        # zone: times clamped to it and stored in UTC, the identifier from the content.
        epoch, before = 1700000000, 1600000001
        source = trees.make_tree(self.tmp / "source", {"old.txt": "before", "new.txt": "after"})
        os.utime(source / "old.txt", (before, before))
        utc = lambda moment: trees.dos_time(datetime.datetime.fromtimestamp(moment, datetime.timezone.utc))
        for name, build in (("linux", builds.build_sfx_linux), ("windows", builds.build_sfx_windows)):
            images = []
            for zone in ("Asia/Tokyo", "America/New_York"):
                target = self.tmp / f"{name}-{zone.replace('/', '-')}.exe"
                build(source, target, env={"TZ": zone, "SOURCE_DATE_EPOCH": str(epoch)})
                images.append(target.read_bytes())
            self.assertTrue(images[0] == images[1], name)
            entries = sfx_reader.read_sfx_bytes(images[0]).by_name()
            self.assertEqual(entries[b"new.txt"].dos_time, utc(epoch), name)
            self.assertEqual(entries[b"old.txt"].dos_time, utc(before), name)

    def test_linked_folders_are_reparse_points_in_both(self):
        source = trees.make_tree(self.tmp / "source", {"real/file.txt": "data"})
        os.symlink("real", source / "alias")
        os.symlink("..", source / "real" / "up")  # a loop: listed, not entered
        linux, windows = (sfx.by_name() for sfx in self.build_both(source))
        self.assertEqual(linux[b"alias"].attributes, 0x410)
        self.assertEqual(sorted(linux), [b"alias", b"alias\\file.txt", b"alias\\up", b"real",
                                         b"real\\file.txt", b"real\\up"])
        self.assertEqual({n: (e.attributes, e.data) for n, e in linux.items()},
                         {n: (e.attributes, e.data) for n, e in windows.items()})

    def test_both_sfx_files_extract_the_source_tree(self):
        source = trees.make_tree(self.tmp / "source", {
            "readme.txt": "top level\n",
            "docs/deep/notes.txt": "nested\n" * 1000,
            "data/blob.bin": os.urandom(70000),
            "empty.txt": b"",
            "café.txt": "Latin-1 name",
        })
        for builder, build in (("linux", builds.build_sfx_linux), ("windows", builds.build_sfx_windows)):
            with self.subTest(builder=builder):
                extracted = self.tmp / f"extracted-{builder}"
                sfx = self.tmp / f"{builder}.exe"
                # Silent, into a custom folder, overwriting: no window at all.
                build(source, sfx, ("-h", "-o", "-c", "-s", "-oo", "-fm"), [to_wine_path(extracted)])
                with programs.WindowsProgram(sfx) as program:
                    self.assertEqual(program.wait_without_windows(120), 0)
                self.assertEqual(trees.tree_items(extracted), trees.tree_items(source))


if __name__ == "__main__":
    unittest.main()
