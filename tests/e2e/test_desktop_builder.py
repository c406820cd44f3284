"""The Windows builder's main window under Wine, driven through its real
controls: the first start, stored settings, building with the progress
window, cancelling, a refused and a failed build, the start from a complete
command line, the save dialog, the links and the keyboard."""

import os
import time

import builds
import desktop_support as ds
import programs
import runtime_support as rt
import screenshot
import sfx_reader
import trees
import wine_session
from desktop_support import ID, MAIN, PROGRESS, SUCCESS_TEXT, VK_ESCAPE, VK_F1, VK_F4, VK_RETURN, VK_TAB
from programs import to_wine_path
from waiting import wait_until

CANCEL_TEXT = "Quillon 已中止\r\n目标自解压文件已被删除"


def ids(*names):
    return {ID[name] for name in names}


class DesktopBuilderTest(ds.DesktopTestCase):
    def main_controls(self, builder):
        return ds.states(builder, self.title, MAIN)

    def fill(self, builder, source, target):
        builder.set_text(self.title, ID["kESource"], source)
        builder.set_text(self.title, ID["kETarget"], target)

    def make(self, builder):
        builder.press_button(self.title, control_id=ID["kBMake"], window_class=MAIN)

    def refused(self, builder):
        """The text of the validation's error box, which is then closed."""
        text = builder.message_box("Error")
        builder.press_button("Error", "OK")
        builder.wait_window_gone("Error")
        return text

    def test_first_start_shows_the_initial_state_and_creates_the_empty_key(self):
        builder = self.start()
        controls = self.main_controls(builder)
        checked = {i for i, c in controls.items() if c.checked}
        self.assertEqual(checked, ids("kRbIconDefault", "kRbOpenFolder", "kCbOpenFolder", "kRbWdExtraction",
                                      "kRbDmImmediately", "kRbTemp", "kRbUacNone", "kRbOmPrompt"))
        disabled = {i for i, c in controls.items() if not c.enabled}
        self.assertEqual(disabled, ids(
            "kEIcon", "kBIcon", "kLExecutableFile", "kEExecutableFile", "kBExecutableFile", "kLCmdParameters",
            "kECmdParameters", "kLWorkingDir", "kRbWdExtraction", "kRbWdSource", "kRbWdCurrent", "kLDeleteMode",
            "kRbDmImmediately", "kRbDmOnReboot", "kRbDmDoNotDelete", "kLUacAutoElevation", "kRbUacNone",
            "kRbUacHighest", "kRbUacAdministrator", "kECustomDir", "kLCustom", "kBEnvVars"))
        self.assertEqual(controls[ID["kBMake"]].text, "制作自解压文件")
        self.assertEqual(controls[ID["kGbSourceTarget"]].text, " 源文件夹和目标文件")
        self.assertEqual(controls[ID["kESource"]].text, "")
        self.assertEqual(ds.settings(), {})
        screenshot.screenshot("main-window-first-start")

    def test_stored_settings_fill_the_window_and_the_rules_follow_clicks(self):
        ds.set_setting("Source", "REG_SZ", r"C:\stored")
        ds.set_setting("ExtractionMode", "REG_SZ", "1")  # a string: not a number, ignored
        ds.set_setting("ExtractionFolder", "REG_DWORD", 7)
        ds.set_setting("SilentMode", "REG_DWORD", 5)
        ds.set_setting("CustomFolder", "REG_EXPAND_SZ", r"%TEMP%\x")
        ds.set_setting("UACAutoElevation", "REG_DWORD", 2)
        ds.set_setting("DeleteMode", "REG_DWORD", 1)
        builder = self.start()
        controls = self.main_controls(builder)
        self.assertEqual(controls[ID["kESource"]].text, r"C:\stored")
        self.assertEqual(controls[ID["kECustomDir"]].text, r"%TEMP%\x")
        for name in ("kRbOpenFolder", "kRbTemp", "kCbSilent", "kRbUacAdministrator", "kRbDmOnReboot"):
            self.assertTrue(controls[ID[name]].checked, name)
        self.assertFalse(controls[ID["kRbDmOnReboot"]].enabled)

        builder.check_control(self.title, ID["kRbExecuteFile"])
        controls = self.main_controls(builder)
        for name in ("kEExecutableFile", "kRbDmOnReboot", "kRbUacHighest", "kRbWdCurrent"):
            self.assertTrue(controls[ID[name]].enabled, name)
        self.assertFalse(controls[ID["kCbOpenFolder"]].enabled)
        screenshot.screenshot("main-window-execute-mode-with-elevation")

        builder.check_control(self.title, ID["kRbUacNone"])
        controls = self.main_controls(builder)
        self.assertFalse(controls[ID["kRbDmOnReboot"]].enabled)
        self.assertTrue(controls[ID["kRbDmImmediately"]].checked)

    def test_make_builds_under_the_progress_window_and_ends_the_builder(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "alpha", "sub/b.bin": os.urandom(50_000)})
        target = self.tmp / "out.exe"
        builder = self.start("-pn")  # of the command line only: it counts, but is not stored
        self.fill(builder, to_wine_path(source), to_wine_path(target))
        self.make(builder)
        self.assertEqual(builder.message_box("Information"), SUCCESS_TEXT)
        # The success box is shown while the progress window is still there.
        self.assertIn(PROGRESS, [w.class_name for w in builder.list_windows()])
        builder.press_button("Information", "OK")
        self.assertEqual(builder.wait(), 0)
        sfx = sfx_reader.read_sfx(target)
        self.assertSfxMatchesTree(sfx, source)
        self.assertTrue(all(e.extended for e in sfx.entries))
        stored = ds.settings()
        self.assertEqual(stored["Source"], ("REG_SZ", to_wine_path(source) + "\\"))
        self.assertEqual(stored["OpenFolder"], ("REG_DWORD", "0x1"))
        self.assertEqual(len(stored), 16)

    def test_on_a_chinese_system_paths_typed_in_the_window_build(self):
        # Code page 936, and a folder whose last character ends in the byte 0x5C.
        source = trees.make_tree(self.tmp / "源文件夹乗", {"说明.txt": "中文", "子乗/a.txt": "a"})
        target = self.tmp / "输出.exe"
        builder = self.start(env=wine_session.chinese_locale())
        self.assertEqual(self.main_controls(builder)[ID["kBMake"]].text, "制作自解压文件")
        self.fill(builder, to_wine_path(source), to_wine_path(target))
        self.make(builder)
        self.assertEqual(builder.message_box("Information"), SUCCESS_TEXT)
        screenshot.screenshot("main-window-code-page-936")
        builder.press_button("Information", control_id=1)  # "确定" on this system
        self.assertEqual(builder.wait(), 0)
        self.assertSfxMatchesTree(sfx_reader.read_sfx(target), source, codepage="cp936")

    def test_cancel_deletes_the_target_and_keeps_the_window_with_its_values(self):
        # Random bytes of half the byte values: packed, not stored, so that the build takes its time.
        block = os.urandom(1 << 20).translate(bytes(range(128)) * 2)
        source = trees.make_tree(self.tmp / "source", {})
        for i in range(3):
            (source / f"big{i}.bin").write_bytes(block * 120)
        target = self.tmp / "big.exe"
        builder = self.start()
        self.fill(builder, to_wine_path(source), to_wine_path(target))
        self.make(builder)
        builder.wait_window(self.title, window_class=PROGRESS)
        self.assertFalse(builder.window_style(self.title, window_class=PROGRESS) & ds.WS_SYSMENU)  # no close box
        # Until the first chunk is reported.
        progress = wait_until(lambda: ds.states(builder, self.title, PROGRESS), 30,
                              done=lambda states: (line := states[ID["kLSize"]].text) and not line.startswith("0 B"))
        line = progress[ID["kLSize"]].text
        self.assertRegex(line, r"^\d+\.\d\d MB / 360\.00 MB   \(\d+%\)$")
        self.assertEqual(progress[ID["kLProgressTarget"]].text, to_wine_path(target))
        self.assertTrue(progress[ID["kLProgressSource"]].text.startswith(to_wine_path(source) + "\\big"))
        screenshot.screenshot("progress-window-mid-build")
        # Esc and Alt+F4 do nothing; Enter presses the cancel button, which has the focus.
        builder.send_key(self.title, VK_ESCAPE)
        builder.send_key(self.title, VK_F4, alt=True)
        time.sleep(1)  # give them the time to act wrongly
        self.assertEqual({w.class_name for w in builder.list_windows()}, {PROGRESS, MAIN})
        self.assertTrue(ds.states(builder, self.title, PROGRESS)[ID["kBCancel"]].focused)
        builder.send_key(self.title, VK_RETURN)
        self.assertEqual(builder.message_box("Warning", timeout=60), CANCEL_TEXT)
        self.assertFalse(target.exists())
        builder.press_button("Warning", "OK")
        builder.wait_window_gone(self.title, window_class=PROGRESS)
        self.assertEqual(self.main_controls(builder)[ID["kESource"]].text, to_wine_path(source))
        self.assertTrue(builder.running())

    def test_enter_presses_the_make_button_from_any_field(self):
        builder = self.start()
        # From the make button Tab goes to the source field, then past the
        # browse buttons and the target to a radio button and a check box.
        # The field has the focus again once the box has gone.
        for tabs, field in ((1, "kESource"), (4, "kRbIconDefault"), (2, "kCbOpenFolder")):
            for _ in range(tabs):
                builder.send_key(self.title, VK_TAB)
            focused = lambda: self.main_controls(builder)[ID[field]].focused
            self.assertTrue(wait_until(focused), field)
            builder.send_key(self.title, VK_RETURN)
            self.assertTrue(self.refused(builder).startswith("源文件夹不存在"), field)
            self.assertTrue(wait_until(focused), field)

    def test_a_refused_build_keeps_the_window_and_stores_full_paths(self):
        builder = self.start(cwd=self.tmp)
        self.fill(builder, "no-such-folder", "out.exe")
        self.make(builder)
        missing = to_wine_path(self.tmp / "no-such-folder") + "\\"
        self.assertEqual(builder.message_box("Error"), "源文件夹不存在\r\n\r\n" + missing)
        builder.press_button("Error", "OK")
        builder.wait_window(self.title, window_class=MAIN)
        self.assertEqual(ds.settings()["Source"], ("REG_SZ", missing))
        self.assertEqual(ds.settings()["Target"], ("REG_SZ", to_wine_path(self.tmp / "out.exe")))

    def test_a_failed_build_names_the_path_and_keeps_the_window_and_the_saved_settings(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "alpha"})
        (self.tmp / "file.txt").write_text("not a folder")
        target = self.tmp / "file.txt" / "setup.exe"
        builder = self.start()
        self.fill(builder, to_wine_path(source), to_wine_path(target))
        builder.check_control(self.title, ID["kCbSilent"])
        self.make(builder)
        # The message with its full stop, and the path beneath it.
        self.assertEqual(builder.message_box("Quillon"), "无效的文件名.\r\n" + to_wine_path(target))
        screenshot.screenshot("build-error-with-path")
        builder.press_button("Quillon", "OK")
        builder.wait_window_gone(self.title, window_class=PROGRESS)
        controls = self.main_controls(builder)
        self.assertEqual(controls[ID["kETarget"]].text, to_wine_path(target))
        self.assertTrue(controls[ID["kCbSilent"]].checked)
        stored = ds.settings()
        self.assertEqual(stored["Target"], ("REG_SZ", to_wine_path(target)))
        self.assertEqual(stored["SilentMode"], ("REG_DWORD", "0x1"))

    def test_a_refused_start_from_a_complete_command_line_keeps_its_values_and_writes_no_settings(self):
        missing = self.tmp / "missing"
        builder = programs.WindowsProgram(builds.windows_builder(),
                                          ["-fd", "-s", to_wine_path(missing), to_wine_path(self.tmp / "auto.exe")])
        self.addCleanup(builder.kill)
        refusal = "源文件夹不存在\r\n\r\n" + to_wine_path(missing) + "\\"
        self.assertEqual(self.refused(builder), refusal)
        controls = self.main_controls(builder)
        self.assertEqual(controls[ID["kESource"]].text, to_wine_path(missing))
        self.assertEqual(controls[ID["kETarget"]].text, to_wine_path(self.tmp / "auto.exe"))
        self.assertTrue(controls[ID["kRbDesktop"]].checked)
        self.assertTrue(controls[ID["kCbSilent"]].checked)
        self.make(builder)
        self.assertEqual(self.refused(builder), refusal)
        self.assertIsNone(ds.settings())

    def test_the_save_dialog_starts_in_the_targets_folder_with_its_name(self):
        folder = self.tmp / "out folder"
        folder.mkdir()
        builder = self.start()
        builder.set_text(self.title, ID["kETarget"], to_wine_path(folder / "setup.exe"))
        builder.press_button(self.title, control_id=ID["kBTarget"], window_class=MAIN)
        builder.wait_window("Save As")
        self.assertEqual(ds.states(builder, "Save As")[1148].text, "setup.exe")
        # A new name is saved in that folder, with the filter's extension.
        builder.set_text("Save As", 1148, "renamed")
        builder.press_button("Save As", "Save")
        builder.wait_window_gone("Save As")
        self.assertEqual(self.main_controls(builder)[ID["kETarget"]].text, to_wine_path(folder / "renamed.exe"))

    def test_a_complete_command_line_builds_at_once_without_touching_the_settings(self):
        source = trees.make_tree(self.tmp / "source", {"a.txt": "alpha"})
        target = self.tmp / "auto.exe"
        builder = programs.WindowsProgram(builds.windows_builder(), [to_wine_path(source), to_wine_path(target)])
        self.addCleanup(builder.kill)
        self.assertEqual(builder.message_box("Information"), SUCCESS_TEXT)
        builder.press_button("Information", "OK")
        self.assertEqual(builder.wait(), 0)
        self.assertSfxMatchesTree(sfx_reader.read_sfx(target), source)
        self.assertIsNone(ds.settings())

    def test_the_icon_browser_starts_from_the_field_and_completes_the_name(self):
        icons = trees.make_tree(self.tmp / "icons", {"APP.ICO": b"\0", "lib.dll": b"\0"})
        builder = self.start()
        builder.check_control(self.title, ID["kRbIconCustom"])

        def browse(text):
            builder.set_text(self.title, ID["kEIcon"], text)
            builder.press_button(self.title, control_id=ID["kBIcon"], window_class=MAIN)
            builder.wait_window("Open")
            controls = builder.controls("Open")
            return {c.class_name: c.text for c in controls if c.control_id in (1136, 1137)}

        # A file the filters do not name selects the last filter.
        self.assertEqual(browse(to_wine_path(icons / "lib.dll"))["ComboBox"], "可执行文件 (*.exe)")
        builder.press_button("Open", "Cancel")
        builder.wait_window_gone("Open")
        # An .ICO in capitals selects the icons, in the field's folder; a name
        # typed without extension gets the selected filter's.
        filters = browse(to_wine_path(icons / "APP.ICO"))
        self.assertEqual(filters["ComboBox"], "图标 (*.ico)")
        builder.set_text("Open", 1148, "new")
        builder.press_button("Open", "Open")
        builder.wait_window_gone("Open")
        self.assertEqual(self.main_controls(builder)[ID["kEIcon"]].text, to_wine_path(icons / "new.ico"))

    def test_f1_opens_the_about_box_and_the_links_open_their_web_addresses(self):
        record = self.tmp / "opened.txt"
        ds.open_web_addresses_with(self, rt.runprobe())
        builder = self.start(env={"QUILLON_RECORD": to_wine_path(record)})

        def opened(title, link):
            """What the shell was asked to open when the link was clicked."""
            record.unlink(missing_ok=True)
            builder.press_button(title, control_id=ID[link])
            if not wait_until(lambda: record.exists() and "arg=" in record.read_text()):
                return None
            return [line[4:] for line in record.read_text().splitlines() if line.startswith("arg=")]

        builder.send_key(self.title, VK_F1)
        about = builder.window_text("关于...")
        self.assertIn("Quillon", about)
        self.assertIn("Version " + self.title.split()[1] + ".0.0", about)
        self.assertIn("quillon.example/quillon", about)
        screenshot.screenshot("about-box")
        self.assertEqual(opened("关于...", "kAboutWebLink"), ["https://quillon.example/quillon"])
        builder.send_key("关于...", VK_ESCAPE)
        builder.wait_window_gone("关于...")
        builder.send_key(self.title, VK_ESCAPE)
        time.sleep(1)  # nothing is to happen: give it the time to happen wrongly
        builder.wait_window(self.title, window_class=MAIN)
        self.assertTrue(builder.running())
        self.assertEqual(opened(self.title, "kLWeb"), ["https://quillon.example"])
        self.assertEqual(opened(self.title, "kLDonate"), ["https://quillon.example/donate"])


if __name__ == "__main__":
    import unittest
    unittest.main()
