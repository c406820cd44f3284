"""Hostile files meet the same verdict everywhere: a name Windows reads as a
device or that would leave the extraction folder is refused by both builders,
by --test and --extract, and by the SFX file itself (code 13, nothing of the
entry written); a damaged file passes --test exactly when the SFX file
extracts it."""

import subprocess

import builds
import harness
import hostile_files as hostile
import programs
import runtime_support as rt
import trees
from programs import to_wine_path


def inspect(*args):
    return subprocess.run([str(builds.linux_builder()), *map(str, args)], capture_output=True, text=True,
                          timeout=120)


class Verdicts(harness.WineTestCase):
    def good_sfx(self, out):
        source = trees.make_tree(self.tmp / "source", hostile.SOURCE_TREE)
        sfx = rt.build("linux", source, self.tmp / "good.exe", "-me", "-fm", "-s", "-oo",
                       custom_folder=to_wine_path(out) + "\\")
        return sfx.read_bytes()

    def run_sfx(self, image):
        sfx = self.tmp / "hostile.exe"
        sfx.write_bytes(image)
        return programs.WindowsProgram(sfx).wait_without_windows(timeout=120)

    def build_refuses(self, builder, name):
        source = trees.make_tree(self.tmp / "named", {name: "x"})
        target = self.tmp / "named.exe"
        try:
            if builder == "linux":
                result = builds.build_sfx_linux(source, target, check=False, env={"LC_ALL": "zh_CN.UTF-8"})
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("文件名在 Windows 上无效", result.stderr)
            else:
                with programs.WindowsProgram(builds.windows_builder(),
                                             ["-h", "-o", "-c", to_wine_path(source), to_wine_path(target)]) as b:
                    self.assertIn("文件名在 Windows 上无效", b.message_box("程序错误"))
                    b.press_button("程序错误", "OK")
                    self.assertEqual(b.wait(), 1)
            self.assertFalse(target.exists())
        finally:
            trees.remove_tree(source)

    def test_hostile_names_are_refused_by_builders_inspection_and_the_sfx_file(self):
        out = self.tmp / "out"
        image = self.good_sfx(out)
        before = set(self.tmp.rglob("*"))
        earlier = {b"a.txt", b"sub", b"sub\\x.txt", hostile.HELPER_PLACEHOLDER.encode()}
        for name, renamed in hostile.hostile_names(image):
            with self.subTest(name=name):
                text = name.decode("cp1252")
                if "/" not in text:  # a POSIX name can hold everything else
                    for builder in rt.BUILDERS:
                        self.build_refuses(builder, text)
                (self.tmp / "hostile.exe").write_bytes(renamed)
                self.assertEqual(inspect("--test", self.tmp / "hostile.exe").returncode, 1)
                self.assertEqual(inspect("--extract", self.tmp / "hostile.exe", self.tmp / "x").returncode, 1)
                self.assertFalse((self.tmp / "x").exists())
                self.assertEqual(self.run_sfx(renamed), hostile.INVALID_DATA)
                self.assertEqual({trees.stored_name(p.relative_to(out).as_posix()) for p in out.rglob("*")},
                                 earlier)
                new = set(self.tmp.rglob("*")) - before - {self.tmp / "hostile.exe", out}
                self.assertEqual({p for p in new if out not in p.parents}, set())

    def test_test_passes_a_damaged_file_exactly_when_the_sfx_file_extracts_it(self):
        out = self.tmp / "out"
        for what, image, code in hostile.damaged(self.good_sfx(out)):
            with self.subTest(what=what):
                trees.remove_tree(out)
                (self.tmp / "damaged.exe").write_bytes(image)
                verdict = inspect("--test", self.tmp / "damaged.exe")
                self.assertEqual(verdict.returncode, 0 if code == 0 else 1, verdict.stderr)
                self.assertEqual(self.run_sfx(image), code)
