"""The small windows the main window opens, under Wine: the command-line
generator (its line, the clipboard, and that the line builds what the window
builds), the command-line help and the environment variables."""

import os

import builds
import desktop_support as ds
import driver
import programs
import runtime_support as rt
import screenshot
import sfx_reader
import trees
from desktop_support import ID, MAIN, SUCCESS_TEXT, VK_ESCAPE, VK_RETURN, VK_SPACE, VK_TAB
from programs import to_wine_path
from waiting import wait_until

GENERATOR = "从当前界面选项生成命令行参数"
HELP = "命令行支持"


class DesktopWindowsTest(ds.DesktopTestCase):
    def open(self, builder, control, title):
        builder.press_button(self.title, control_id=ID[control], window_class=MAIN)
        builder.wait_window(title)

    def test_the_generated_line_builds_what_the_window_builds(self):
        source = trees.make_tree(self.tmp / "my source", {"data/a.txt": "alpha", "b.bin": os.urandom(30_000)})
        (source / "run.exe").write_bytes(rt.runprobe().read_bytes())
        target = self.tmp / "out.exe"
        builder = self.start()
        builder.set_text(self.title, ID["kESource"], to_wine_path(source) + "\\")
        builder.set_text(self.title, ID["kETarget"], to_wine_path(target))
        builder.check_control(self.title, ID["kCbOpenFolder"])  # off, so no disabled box holds a value
        builder.check_control(self.title, ID["kRbExecuteFile"])
        builder.set_text(self.title, ID["kEExecutableFile"], to_wine_path(source / "run.exe"))
        builder.set_text(self.title, ID["kECmdParameters"], '/S "x y"')
        builder.check_control(self.title, ID["kRbDocuments"])
        builder.check_control(self.title, ID["kCbSilent"])
        builder.check_control(self.title, ID["kRbUacAdministrator"])

        self.open(builder, "kLCmdLineGen", GENERATOR)
        line = ds.states(builder, GENERATOR)[ID["kMCmdLine"]].text
        self.assertEqual(line, " ".join([
            to_wine_path(builds.windows_builder()), "-mf", "-fp", "-we", "-di", "-s", "-ua", "-op",
            f'"{to_wine_path(source)}\\\\"', to_wine_path(target), f'"{to_wine_path(source / "run.exe")}"',
            r'" /S \"x y\""']))
        # Tab from the text box to the copy button, and Space presses it.
        focused = lambda control: ds.states(builder, GENERATOR)[ID[control]].focused
        builder.send_key(GENERATOR, VK_TAB)
        self.assertTrue(wait_until(lambda: focused("kBCopy")))
        builder.send_key(GENERATOR, VK_SPACE)
        # What was copied stays selected, and shows so: the text box has the focus back.
        self.assertTrue(wait_until(lambda: focused("kMCmdLine")))
        self.assertEqual(driver.clipboard_text(), line)
        self.assertEqual(builder.send_message(GENERATOR, ID["kMCmdLine"], ds.EM_GETSEL), len(line) << 16)
        screenshot.screenshot("command-line-generator")
        builder.send_key(GENERATOR, VK_ESCAPE)
        builder.wait_window_gone(GENERATOR)

        builder.press_button(self.title, control_id=ID["kBMake"], window_class=MAIN)
        self.assertEqual(builder.message_box("Information"), SUCCESS_TEXT)
        builder.press_button("Information", "OK")
        self.assertEqual(builder.wait(), 0)
        window_image = target.read_bytes()
        from_window = sfx_reader.read_sfx_bytes(window_image)
        target.unlink()

        with programs.WindowsProgram(builds.windows_builder(), raw_command_line=line + " -h -o -c") as again:
            self.assertEqual(again.wait_without_windows(300), 0)
        line_image = target.read_bytes()
        from_line = sfx_reader.read_sfx_bytes(line_image)
        self.assertEqual(from_line.entries, from_window.entries)
        # The same stub resources: icon and version of run.exe, the manifest of -ua.
        self.assertTrue(line_image[:from_line.container_start] == window_image[:from_window.container_start])
        self.assertEqual(from_line.config.cmd_parameters, b'/S "x y"')
        from_line.config.instance_id = from_window.config.instance_id
        self.assertEqual(from_line.config, from_window.config)

    def test_the_help_window_shows_the_help_text(self):
        builder = self.start()
        self.open(builder, "kLCmdLine", HELP)
        controls = ds.states(builder, HELP)
        lines = controls[ID["kMCmdLine"]].text.split("\r\n")
        self.assertEqual(len(lines), 57)
        self.assertEqual(lines[0], "用法:")
        self.assertTrue(lines[56].startswith("quillon.exe -mf -fp -i -wc C:\\Source "), lines[56])
        self.assertTrue(controls[ID["kBClose"]].focused)
        screenshot.screenshot("command-line-help")
        builder.send_key(HELP, VK_ESCAPE)
        builder.wait_window_gone(HELP)

    def test_the_environment_window_lists_the_variables_and_inserts_one(self):
        # More rows than the list shows, so that it has a vertical scroll bar.
        fill = {f"QUILLON_ROW_{i:02}": "x" for i in range(40)}
        builder = self.start(env={"QUILLON_SAMPLE": "中文 value", **fill})
        environment = f"{self.title} - 这台计算机上的环境变量"
        builder.check_control(self.title, ID["kRbCustom"])
        builder.set_text(self.title, ID["kECustomDir"], "")

        # Esc chooses nothing, but the custom folder gets the focus.
        self.open(builder, "kBEnvVars", environment)
        rows = builder.list_items(environment, ID["kVleEnvVars"])
        self.assertIn(["%QUILLON_SAMPLE%", "中文 value"], rows)
        self.assertTrue(all(key.startswith("%") and key.endswith("%") for key, _value in rows))
        # The columns fit the list's width beside the vertical scroll bar.
        style = builder.window_style(environment, ID["kVleEnvVars"])
        self.assertEqual(style & (ds.WS_VSCROLL | ds.WS_HSCROLL), ds.WS_VSCROLL)
        screenshot.screenshot("environment-variables")
        builder.send_key(environment, VK_ESCAPE)
        builder.wait_window_gone(environment)
        custom_folder = lambda: ds.states(builder, self.title, MAIN)[ID["kECustomDir"]]
        self.assertTrue(wait_until(lambda: custom_folder().focused))
        self.assertEqual(custom_folder().text, "")

        # Enter at once takes the first row.
        self.open(builder, "kBEnvVars", environment)
        builder.send_key(environment, VK_RETURN)
        builder.wait_window_gone(environment)
        self.assertEqual(custom_folder().text, rows[0][0])


if __name__ == "__main__":
    import unittest
    unittest.main()
