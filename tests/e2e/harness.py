"""The base of the end-to-end test cases: a temporary folder, Wine ready, no program left running."""

import tempfile
import unittest
from pathlib import Path

import programs
import sfx_reader
import trees
import wine_session


class WineTestCase(unittest.TestCase):
    """A test case with its own temporary folder (self.tmp, a Path under /tmp,
    removed afterwards), a ready Wine prefix and display, and every Windows
    program it started killed at its end (boxes left open go with them)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        wine_session.ensure_display()
        wine_session.ensure_prefix()

    def setUp(self):
        super().setUp()
        self.tmp = Path(tempfile.mkdtemp(prefix="ql-e2e-"))
        self.addCleanup(trees.remove_tree, self.tmp)
        self.addCleanup(programs.kill_all_programs)

    def assertSfxMatchesTree(self, sfx, root, codepage="cp1252"):
        """The SFX file's ordinary entries are exactly the tree below root:
        names (UTF-8 in extended entries, else in `codepage`), kinds, sizes
        and data (the checksums were checked on reading)."""
        expected = trees.tree_items(root, codepage=None)
        entries = {e.name.decode("utf-8" if e.extended else codepage): e
                   for e in sfx.entries if e.entry_type != sfx_reader.ENTRY_HELPER}
        self.assertEqual(sorted(entries), sorted(expected))
        for name, item in expected.items():
            entry = entries[name]
            self.assertEqual(entry.is_folder, item.is_folder, name)
            self.assertEqual(entry.size, len(item.data), name)
            self.assertTrue(entry.data == item.data, f"{name!r}: data differs")
