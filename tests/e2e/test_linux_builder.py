"""The Linux command-line builder as a user runs it: exit statuses and messages."""
import os
import stat
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("QUILLON_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
QUILLON = os.path.join(BUILD, "builder", "cli", "quillon")


def run(*args, env=None):
    return subprocess.run([QUILLON, *args], capture_output=True, text=True, timeout=120,
                          stdin=subprocess.DEVNULL, env={**os.environ, **(env or {})})


class LinuxBuilder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.src = os.path.join(self.dir.name, "src")
        os.makedirs(os.path.join(self.src, "sub"))
        with open(os.path.join(self.src, "sub", "a.txt"), "w") as f:
            f.write("hello")
        self.out = os.path.join(self.dir.name, "out.exe")

    def tearDown(self):
        if os.path.exists(self.out):
            os.chmod(self.out, stat.S_IWUSR | stat.S_IRUSR)
        self.dir.cleanup()

    def test_success_says_so_unless_told_to_be_quiet(self):
        result = run("-h", "-o", self.src, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "该自解压文件创建成功！\n")
        quiet = run("-h", "-o", "-c", self.src, self.out)
        self.assertEqual((quiet.returncode, quiet.stdout, quiet.stderr), (0, "", ""))

    def test_x86_64_stub_on_request(self):
        run("-h", "-o", "-c", self.src, self.out)
        with open(self.out, "rb") as f:
            i686 = f.read(4096)
        run("-h", "-o", "-c", self.src, self.out, env={"QUILLON_STUB_ARCH": "x86_64"})
        with open(self.out, "rb") as f:
            x64 = f.read(4096)
        machine = lambda image: image[image[60] + 4: image[60] + 6]
        self.assertEqual(machine(i686), b"\x4c\x01")
        self.assertEqual(machine(x64), b"\x64\x86")
        bad = run("-h", self.src, self.out, env={"QUILLON_STUB_ARCH": "arm"})
        self.assertEqual(bad.returncode, 2)

    def test_refused_options_and_declined_overwrite_fail(self):
        missing = run("-h", "-o", os.path.join(self.dir.name, "none"), self.out)
        self.assertEqual(missing.returncode, 1)
        self.assertIn("源文件夹不存在", missing.stderr)
        with open(self.out, "wb") as f:
            f.write(b"old")
        # Without a terminal the overwrite question is answered No.
        declined = run("-h", self.src, self.out)
        self.assertEqual(declined.returncode, 1)
        with open(self.out, "rb") as f:
            self.assertEqual(f.read(), b"old")

    def test_build_failure_is_a_program_error(self):
        with open(self.out, "wb") as f:
            f.write(b"old")
        os.chmod(self.out, stat.S_IRUSR)
        result = run("-h", "-o", "-c", self.src, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("程序错误: 文件访问被拒绝", result.stderr)

    def test_incomplete_command_lines(self):
        headless = run("-h", self.src)
        self.assertEqual((headless.returncode, headless.stdout, headless.stderr), (0, "", ""))
        usage = run(self.src)
        self.assertEqual(usage.returncode, 2)
        self.assertIn("用法:", usage.stderr)
        self.assertIn("QUILLON_CODEPAGE", usage.stderr)


if __name__ == "__main__":
    unittest.main()
