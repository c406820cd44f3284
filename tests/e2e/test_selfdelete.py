"""The self-delete helper on its own under Wine: the one parameter it takes,
quoted or not, a read-only file, a file another program holds open for a
moment or for good, and the command lines it ignores. It always ends with 0."""

import os
import time

import builds
import harness
import programs
import runtime_support as rt
import trees
from programs import to_wine_path
from waiting import wait_until


class SelfDeleteHelperTest(harness.WineTestCase):
    def run_helper(self, command_line, timeout=60):
        """The helper started with exactly this text after its own quoted path."""
        helper = builds.helper_image()
        raw = f'"{to_wine_path(helper)}" {command_line}'.rstrip()
        with programs.WindowsProgram(helper, raw_command_line=raw) as program:
            return program.wait(timeout)

    def hold(self, path, milliseconds):
        """A program that holds `path` open, without delete sharing, for a while."""
        record = self.tmp / f"holder-{time.monotonic_ns()}.txt"
        holder = programs.WindowsProgram(rt.runprobe(), env={
            "QUILLON_HOLD": to_wine_path(path), "QUILLON_LINGER_MS": str(milliseconds),
            "QUILLON_RECORD": to_wine_path(record), "QUILLON_EXIT_CODE": "0"})
        self.assertTrue(wait_until(record.exists, 60), "the holder did not start")
        return holder

    def test_a_quoted_path_with_blanks_and_a_read_only_file(self):
        target = trees.make_tree(self.tmp / "a folder", {"the sfx.exe": "x"}) / "the sfx.exe"
        os.chmod(target, 0o444)
        self.assertEqual(self.run_helper(f'"{to_wine_path(target)}"'), 0)
        self.assertFalse(target.exists())

    def test_only_the_first_parameter_counts(self):
        first = trees.make_tree(self.tmp, {"first.exe": "1", "second.exe": "2"}) / "first.exe"
        second = self.tmp / "second.exe"
        self.assertEqual(self.run_helper(f'"{to_wine_path(first)}" "{to_wine_path(second)}"'), 0)
        self.assertFalse(first.exists())
        self.assertTrue(second.exists())
        # No parameter, or a folder, or nothing at the path: it ends at once and touches nothing.
        self.assertEqual(self.run_helper(""), 0)
        self.assertEqual(self.run_helper(f'"{to_wine_path(self.tmp)}"'), 0)
        self.assertEqual(self.run_helper(f'"{to_wine_path(first)}"'), 0)
        self.assertEqual(sorted(p.name for p in self.tmp.iterdir()), ["second.exe"])

    def test_a_file_held_for_a_moment_goes_once_it_is_free(self):
        target = trees.make_tree(self.tmp, {"busy.exe": "x"}) / "busy.exe"
        with self.hold(target, 1500):
            started = time.monotonic()
            self.assertEqual(self.run_helper(f'"{to_wine_path(target)}"'), 0)
            self.assertFalse(target.exists())
            # It could go only once the holder let go, well over a second after it took hold.
            self.assertGreater(time.monotonic() - started, 0.7)

    def test_a_file_held_for_good_stays_after_the_last_attempt(self):
        target = trees.make_tree(self.tmp, {"locked.exe": "x"}) / "locked.exe"
        with self.hold(target, 120_000) as holder:
            started = time.monotonic()
            self.assertEqual(self.run_helper(f'"{to_wine_path(target)}"', timeout=90), 0)
            # 1000 attempts 20 ms apart: it tried for about 20 seconds.
            self.assertGreater(time.monotonic() - started, 15)
            self.assertTrue(target.exists())
            self.assertTrue(holder.running())


if __name__ == "__main__":
    import unittest
    unittest.main()
