"""SFX files and their windows under Wine: the failure message, the overwrite
question with both answers, and the progress window (with a screenshot under
build/e2e-artifacts/ for review: the English texts, the bar and the caption)."""

import os

import builds
import harness
import programs
import runtime_support as rt
import screenshot
import trees
from programs import to_wine_path
from waiting import wait_until

BOX = "Error"  # the platform's caption of a message box that names none


class RuntimeWindowsTest(harness.WineTestCase):
    def test_a_bare_stub_names_itself_in_its_message_and_exits_38(self):
        stub = self.tmp / "bare.exe"
        stub.write_bytes(builds.stub_image().read_bytes())
        with programs.WindowsProgram(stub) as program:
            subject, _, text = program.message_box(BOX).partition("\r\n\r\n")
            self.assertEqual(subject, to_wine_path(stub))
            self.assertTrue(text)
            self.assertFalse(text.endswith((".", " ", "\n")), "trailing full stops and blanks are trimmed")
            program.press_button(BOX, "OK")
            self.assertEqual(program.wait(), 38)

    def question(self, program, answered):
        """The next overwrite question: its lines, once it is not one answered before."""
        return wait_until(lambda: program.message_box(BOX).split("\r\n"), 30,
                          done=lambda lines: lines[1] not in answered)

    def test_the_overwrite_question_asks_for_each_existing_file(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "new a", "b.txt": "new b", "c.txt": "new c"})
        out = trees.make_tree(self.tmp / "out", {"a.txt": "old a", "b.txt": "old b"})
        os.chmod(out / "a.txt", 0o444)  # replaced all the same when the answer is Yes
        # Silent mode: no progress window, but the question is still asked.
        sfx = rt.build("linux", source, self.tmp / "ask.exe", "-me", "-fm", "-s",
                       custom_folder=to_wine_path(out) + "\\")
        answers = {to_wine_path(out / "a.txt"): "Yes", to_wine_path(out / "b.txt"): "No"}
        with programs.WindowsProgram(sfx) as program:
            answered = []
            for _ in answers:
                lines = self.question(program, answered)
                classes = [w.class_name for w in program.list_windows()]
                self.assertNotIn("quillonwindowclass", classes, "silent mode shows no progress window")
                self.assertIn(lines[1], answers)
                self.assertEqual(lines[2:], ["", "Overwrite file?"])
                self.assertTrue(lines[0] and not lines[0].endswith((".", " ")), lines[0])
                program.press_button(BOX, answers[lines[1]])
                answered.append(lines[1])
            self.assertEqual(program.wait(), 0)
        self.assertEqual((out / "a.txt").read_text(), "new a")
        self.assertEqual(rt.windows_attributes(out / "a.txt"), 0)  # the entry's attributes, not read-only
        self.assertEqual((out / "b.txt").read_text(), "old b")
        self.assertEqual((out / "c.txt").read_text(), "new c")

    def test_the_progress_window_shows_while_extracting(self):
        # Many small files keep the stub busy long enough to look at its window.
        source = trees.make_tree(self.tmp / "source",
                                 {f"part{i // 100}/file{i}.txt": f"content {i}\n" * 20 for i in range(4000)})
        out = self.tmp / "out"
        sfx = rt.build("linux", source, self.tmp / "window.exe", "-me", "-fm",
                       custom_folder=to_wine_path(out) + "\\")
        with programs.WindowsProgram(sfx) as program:
            shown = lambda: [w for w in program.list_windows() if w.class_name == "quillonwindowclass"]
            progress = wait_until(shown, 60, done=lambda found: found or not program.running())
            self.assertEqual(len(progress), 1, "the progress window did not show")
            self.assertEqual(progress[0].title, "")
            screenshot.screenshot("runtime-progress-window")
            self.assertEqual(program.wait(timeout=300), 0)
        self.assertEqual(len(list(out.rglob("*.txt"))), 4000)


if __name__ == "__main__":
    import unittest
    unittest.main()
