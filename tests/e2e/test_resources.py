"""SFX files whose stub carries a custom icon, copied version information and
an elevation manifest, built by the Linux builder and by the Windows builder
under Wine: both read back identically through Windows' own resource
functions (resprobe), and both extract."""
import shutil
import unittest
from pathlib import Path

import builds
import harness as h
import programs
import sfx_reader
import trees
import wine_session
from programs import to_wine_path

WINDOWS_TESTS = wine_session.BUILD_DIR / "win-x86_64" / "tests" / "windows"
FIXTURES = WINDOWS_TESTS / "resfixtures"
PROBE = WINDOWS_TESTS / "resprobe" / "resprobe.exe"
FIXTURE_EXIT_CODE = 42  # what every fixture program returns


def probe(path, *options):
    """resprobe's listing of a file: one line per resource, icon group entries,
    manifest level, and the version functions' language and file version."""
    result = programs.run_windows(PROBE, [*options, to_wine_path(path)])
    if result.returncode != 0:
        raise wine_session.HarnessError(f"resprobe failed on {path}: {result.stdout!r}")
    return result.stdout.decode("ascii").replace("\r", "")


def image_part(path):
    data = Path(path).read_bytes()
    return data[:sfx_reader.container_start(data)]


class ResourceSfx(h.WineTestCase):
    def setUp(self):
        super().setUp()
        self.src = self.tmp / "src"
        trees.make_tree(self.src, {"readme.txt": "resource test\r\n", "data/blob.bin": bytes(range(256)) * 300,
                                   "empty": None})

    def build_both(self, switches, extra_args):
        """The same build with both builders; returns the two SFX paths."""
        linux, windows = self.tmp / "linux.exe", self.tmp / "windows.exe"
        builds.build_sfx_linux(self.src, linux, ("-h", "-o", "-c", *switches), extra_args)
        builds.build_sfx_windows(self.src, windows, ("-h", "-o", "-c", *switches),
                                 [to_wine_path(a) if isinstance(a, Path) else a for a in extra_args])
        # One editor in both builders: the edited stub images are the same bytes.
        self.assertEqual(image_part(linux), image_part(windows))
        return linux, windows

    def run_and_check_extraction(self, sfx, expected_exit=0):
        """Runs the SFX (built with -fc) in an empty folder and compares what it
        extracted there with the source tree."""
        folder = self.tmp / ("run-" + sfx.stem)
        folder.mkdir()
        result = programs.run_windows(sfx, cwd=folder, timeout=120)
        self.assertEqual(result.returncode, expected_exit)
        self.assertEqual(trees.tree_items(folder), trees.tree_items(self.src))

    def test_icon_file(self):
        icon = self.tmp / "app.ico"
        shutil.copy(FIXTURES / "three.ico", icon)
        for sfx in self.build_both(["-ic", "-fc"], [icon]):
            listing = probe(sfx)
            groups = [line for line in listing.splitlines() if line.startswith("#14 ")]
            self.assertEqual(len(groups), 1, listing)
            self.assertTrue(groups[0].startswith("#14 MAINICON 0 size 48 "), listing)
            images = [line.split()[1] for line in listing.splitlines() if line.startswith("#3 ")]
            self.assertEqual(images, ["#1", "#2", "#3"])
            self.assertIn("  entry 32x32 colors 0 planes 1 bpp 32 bytes 4264 id 2\n", listing)
            self.assertTrue(listing.endswith("version none\n"))
            self.assertNotIn("#24 ", listing)
            self.assertEqual(probe(sfx, "--icon"), "icon 2 32x32\n")
            self.run_and_check_extraction(sfx)

    def test_executable_icon_with_version_and_administrator_manifest(self):
        source = self.tmp / "tool.exe"
        shutil.copy(FIXTURES / "res_named.exe", source)
        linux, windows = self.build_both(["-ic", "-iv", "-ua", "-fc"], [source])
        listing = probe(linux)
        self.assertEqual(probe(windows), listing)
        source_listing = probe(source)
        lines = listing.splitlines()
        # The first group of the source (ZEBRA, English, images 7 and 8) under the stub's name.
        zebra = next(l for l in source_listing.splitlines() if l.startswith("#14 ZEBRA 1033 "))
        self.assertIn(zebra.replace("ZEBRA", "MAINICON"), lines)
        self.assertEqual([l for l in lines if l.startswith("#3 ")],
                         [l for l in source_listing.splitlines() if l.startswith(("#3 #7 1033", "#3 #8 1033"))])
        # Both version blocks, byte for byte; the version functions read the Czech one.
        self.assertEqual([l for l in lines if l.startswith("#16 ")],
                         [l for l in source_listing.splitlines() if l.startswith("#16 ")])
        self.assertTrue(listing.endswith("version 1029 1.2.3.4\n"), listing)
        # The manifest in the version language, asking for administrator rights.
        self.assertIn("#24 #1 1029 size 420 ", listing)
        self.assertIn("  level requireAdministrator\n", listing)
        self.assertEqual(probe(linux, "--icon"), "icon 8 32x32\n")
        for sfx in (linux, windows):
            self.run_and_check_extraction(sfx)

    def test_run_mode_takes_icon_and_version_of_the_program(self):
        shutil.copy(FIXTURES / "res_numbered.exe", self.src / "prog.exe")
        linux, windows = self.build_both(["-mf", "-ua", "-dn", "-fc"], [self.src / "prog.exe"])
        listing = probe(linux)
        self.assertEqual(probe(windows), listing)
        lines = listing.splitlines()
        self.assertEqual([l.split()[:3] for l in lines if l.startswith("#14 ")],
                         [["#14", "MAINICON", "1031"]])  # the group in its first language only
        self.assertEqual([l.split()[1] for l in lines if l.startswith("#3 ")], ["#20", "#22"])  # each image once
        self.assertTrue(listing.endswith("version 1033 9.8.7.6\n"), listing)
        self.assertIn("#24 #1 1033 size 420 ", listing)
        self.assertIn("  level requireAdministrator\n", listing)
        for sfx in (linux, windows):
            self.run_and_check_extraction(sfx, FIXTURE_EXIT_CODE)

    def test_highest_available_manifest_without_icon(self):
        linux, windows = self.build_both(["-uh", "-fc"], [])
        listing = probe(linux)
        self.assertEqual(probe(windows), listing)
        self.assertIn("#24 #1 0 size 416 ", listing)
        self.assertIn("  level highestAvailable\n", listing)
        self.assertIn("#14 MAINICON 1029 size 146 ", listing)  # the stub's own icon stays
        self.run_and_check_extraction(linux)


if __name__ == "__main__":
    unittest.main()
