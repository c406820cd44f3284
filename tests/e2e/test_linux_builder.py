"""The Linux command-line builder as a user runs it: exit statuses and messages."""
import fcntl
import glob
import os
import pty
import resource
import signal
import stat
import subprocess
import tempfile
import unittest

from waiting import wait_until

BUILD = os.environ.get("QUILLON_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
QUILLON = os.path.join(BUILD, "builder", "cli", "quillon")
# The messages follow the locale; these tests read the Chinese ones.
CHINESE = {**os.environ, "LC_ALL": "zh_CN.UTF-8"}


def project_version():
    """The version the build defines (the project's, in its CMake cache)."""
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.strip().split("=", 1)[1]
    raise AssertionError("no project version in the CMake cache")


def run(*args, env=None):
    return subprocess.run([QUILLON, *args], capture_output=True, text=True, timeout=120,
                          stdin=subprocess.DEVNULL, env={**CHINESE, **(env or {})})


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

    def test_help_and_version_on_standard_output(self):
        version = run("--version")
        self.assertEqual((version.returncode, version.stderr), (0, ""))
        lines = version.stdout.splitlines()
        self.assertEqual(lines[0], f"quillon {project_version()}")
        self.assertRegex(lines[1], r"^libdeflate \d+\.\d+")
        for arch, line in zip(("i686", "x86_64"), lines[2:]):
            stub = os.path.getsize(os.path.join(BUILD, f"win-{arch}", "stub", "sfxhead.exe"))
            self.assertTrue(line.startswith(f"stub {arch}: sfxhead.exe {stub} bytes, selfdelete.exe "), line)
        help_text = run("--help")
        self.assertEqual((help_text.returncode, help_text.stderr), (0, ""))
        self.assertIn("--version", help_text.stdout)
        usage = run("--list")
        self.assertEqual((usage.returncode, usage.stdout), (2, ""))
        self.assertIn("Usage: quillon --list [--json] SFX", usage.stderr)

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

    def test_messages_and_help_follow_the_locale(self):
        missing = os.path.join(self.dir.name, "none")
        for locale, refusal, usage in [
                ("C.UTF-8", "Error: The source folder does not exist\n\n", "Usage:\n"),
                ("zh_CN.UTF-8", "Error: 源文件夹不存在\n\n", "用法:\n")]:
            with self.subTest(locale=locale):
                env = {"LC_ALL": "", "LC_MESSAGES": "", "LANG": locale}
                self.assertEqual(run("-h", "-o", missing, self.out, env=env).stderr, f"{refusal}{missing}/\n")
                self.assertTrue(run(self.src, env=env).stderr.startswith(usage))

    def test_build_failure_is_a_program_error(self):
        with open(self.out, "wb") as f:
            f.write(b"old")
        os.chmod(self.out, stat.S_IRUSR)
        result = run("-h", "-o", "-c", self.src, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"程序错误: 文件访问被拒绝\n{self.out}\n", result.stderr)

    def test_progress_line_on_a_terminal_only(self):
        master, slave = pty.openpty()
        try:
            process = subprocess.Popen([QUILLON, "-h", "-o", self.src, self.out], stdin=subprocess.DEVNULL,
                                       stdout=subprocess.PIPE, stderr=slave, env=CHINESE)
        finally:
            os.close(slave)
        shown = b""
        while True:
            try:
                piece = os.read(master, 65536)
            except OSError:  # the terminal's other side has closed
                break
            if not piece:
                break
            shown += piece
        os.close(master)
        self.assertEqual(process.wait(timeout=120), 0)
        self.assertEqual(process.stdout.read().decode(), "该自解压文件创建成功！\n")
        process.stdout.close()
        # The last drawing shows everything done, then the line is taken away.
        self.assertIn(b"\r100%  5 B / 5 B  ", shown)
        self.assertIn(b"/sub/a.txt\x1b[K", shown)
        self.assertTrue(shown.endswith(b"\r\x1b[K"), shown)

    def test_incomplete_command_lines(self):
        headless = run("-h", self.src)
        self.assertEqual((headless.returncode, headless.stdout, headless.stderr), (0, "", ""))
        usage = run(self.src)
        self.assertEqual(usage.returncode, 2)
        self.assertIn("用法:", usage.stderr)
        self.assertIn("QUILLON_CODEPAGE", usage.stderr)

    def test_an_interrupted_build_takes_its_file_away_and_keeps_the_old_target(self):
        with open(os.path.join(self.src, "big.bin"), "wb") as f:
            # Random bytes of half the byte values: packed, not stored, so that the build takes its time.
            f.write(os.urandom(48 << 20).translate(bytes(range(128)) * 2))
        with open(self.out, "wb") as f:
            f.write(b"the earlier SFX file")
        env = {**os.environ, "QUILLON_LEVEL": "12", "QUILLON_THREADS": "1"}
        for sig, status in [(signal.SIGTERM, 143), (signal.SIGINT, 130), (signal.SIGHUP, 129)]:
            with self.subTest(signal=sig):
                builder = subprocess.Popen([QUILLON, "-h", "-o", "-c", self.src, self.out], env=env,
                                           stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                started = wait_until(lambda: glob.glob(self.out + ".~*"), 60)
                self.assertTrue(started, "the build did not start writing")
                builder.send_signal(sig)
                self.assertEqual(builder.wait(60), status)
                self.assertEqual(glob.glob(self.out + ".~*"), [])
                with open(self.out, "rb") as f:
                    self.assertEqual(f.read(), b"the earlier SFX file")

    def test_running_out_of_memory_is_a_program_error_that_leaves_nothing(self):
        # Under these limits the workers' buffers, or what the build takes
        # before them, cannot be had: the build fails as any other does. Above
        # them the need varies from run to run (the C library reserves an arena
        # per thread as the threads start), so a higher limit may let it pass.
        for name in ("a.bin", "b.bin"):
            with open(os.path.join(self.src, name), "wb") as f:
                f.write(bytes(20_000_000))
        for megabytes in (50, 100, 150):
            with self.subTest(limit=megabytes):
                limit = (megabytes << 20, megabytes << 20)
                result = subprocess.run([QUILLON, "-h", "-o", "-c", "--threads=8", self.src, self.out],
                                        capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL,
                                        env=CHINESE,
                                        preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, limit))
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("程序错误", result.stderr)
                self.assertEqual(glob.glob(self.out + "*"), [])

    def test_a_build_takes_away_what_killed_builds_left_and_only_that(self):
        def leftover(name, claimed=False):
            path = self.out + name
            with open(path, "w") as f:
                f.write("left")
            if claimed:  # another build is still writing it
                held = open(path)
                fcntl.flock(held, fcntl.LOCK_EX)
                self.addCleanup(held.close)
            return path
        gone = leftover(".~0123456789")
        kept = [leftover(".~ABCDEF0123", claimed=True), leftover(".~abcdef0123"), leftover(".~12345"),
                leftover("x.~0123456789")]
        os.mkdir(self.out + ".~1111111111")
        result = run("-h", "-o", "-c", self.src, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.exists(gone))
        for path in kept + [self.out + ".~1111111111"]:
            self.assertTrue(os.path.exists(path), path)

    def test_only_code_pages_that_keep_ascii(self):
        for value in ["500", "864", "65001", "1252x", " 1252"]:
            for command in [("-h", "-o", "-c", self.src, self.out), ("--test", self.out)]:
                result = run(*command, env={"QUILLON_CODEPAGE": value})
                self.assertEqual(result.returncode, 2, (value, command))
                self.assertIn("is not a Windows ANSI or OEM code page", result.stderr)
        self.assertEqual(run("-h", "-o", "-c", self.src, self.out, env={"QUILLON_CODEPAGE": "850"}).returncode, 0)


class Inspection(unittest.TestCase):
    """--test, --list and --extract on files as users get them: signed, and
    damaged after signing."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.src = os.path.join(self.dir.name, "src")
        os.makedirs(os.path.join(self.src, "sub"))
        with open(os.path.join(self.src, "sub", "data.bin"), "wb") as f:
            f.write(os.urandom(100000))
        self.out = os.path.join(self.dir.name, "out.exe")
        result = run("-h", "-o", "-c", "-d", self.src, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)

    def sign(self):
        key, cert = (os.path.join(self.dir.name, name) for name in ("key.pem", "cert.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-subj", "/CN=Quillon test", "-days", "2"], check=True, capture_output=True)
        signed = os.path.join(self.dir.name, "signed.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.out, "-out", signed],
                       check=True, capture_output=True)
        return signed

    def test_a_signed_sfx_verifies_passes_extracts_and_lists_its_signature(self):
        signed = self.sign()
        self.assertGreater(os.path.getsize(signed), os.path.getsize(self.out))
        verify = subprocess.run(["osslsigncode", "verify", "-in", signed, "-CAfile",
                                 os.path.join(self.dir.name, "cert.pem")], capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        extracted = os.path.join(self.dir.name, "signed-tree")
        self.assertEqual(run("--extract", signed, extracted).returncode, 0)
        with open(os.path.join(self.src, "sub", "data.bin"), "rb") as a, \
                open(os.path.join(extracted, "sub", "data.bin"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        result = run("--test", signed)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("OK: 2 files and 1 folder", result.stdout)
        self.assertIn("signed", result.stdout)
        listing = run("--list", signed)
        self.assertEqual(listing.returncode, 0, listing.stderr)
        self.assertIn("a signature of", listing.stdout)
        # Anything else behind the end record is a fault, also behind a signature.
        with open(signed, "ab") as f:
            f.write(b"tail")
        damaged = run("--test", signed)
        self.assertEqual(damaged.returncode, 1)
        self.assertIn("bytes follow the end record", damaged.stderr)

    def test_extract_writes_the_tree(self):
        target = os.path.join(self.dir.name, "x")
        result = run("--extract", self.out, target)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.src, "sub", "data.bin"), "rb") as a, \
                open(os.path.join(target, "sub", "data.bin"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.assertEqual(sorted(os.listdir(target)), ["sub"])
        self.assertEqual(run("--extract", self.out).returncode, 2)
        self.assertEqual(run("--extract", self.out, "").returncode, 2)

    def test_extract_that_fails_while_writing_names_the_entry_and_leaves_nothing(self):
        # Files may not pass 4 KiB: the free-space check passes, the writing fails.
        def limit():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        target = os.path.join(self.dir.name, "x")
        result = subprocess.run([QUILLON, "--extract", self.out, target], capture_output=True, text=True,
                                timeout=60, preexec_fn=limit)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("cannot unpack entry 'sub\\data.bin'", result.stderr)
        self.assertNotIn(self.out + ":", result.stderr)  # the SFX file is not to blame
        self.assertFalse(os.path.exists(target))

    def test_extract_refuses_what_the_file_system_cannot_take_before_writing(self):
        # A file system of 64 KiB for 100 kB of data, in a mount namespace of its own.
        target = os.path.join(self.dir.name, "small")
        os.mkdir(target)
        script = f'mount -t tmpfs -o size=64k tmpfs "$1" && exec "$2" --extract "$3" "$1"/x'
        result = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", target, QUILLON, self.out],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("bytes free", result.stderr)
        self.assertNotIn("files were written", result.stderr)


class Package(unittest.TestCase):
    """The Debian package, unpacked into a throw-away root, with its program at work."""

    def test_the_package_holds_the_builders_and_its_program_builds_a_sound_sfx(self):
        with tempfile.TemporaryDirectory() as tmp:
            made = subprocess.run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", tmp],
                                  capture_output=True, text=True, timeout=600)
            self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
            deb, = glob.glob(os.path.join(tmp, f"quillon_{project_version()}_amd64.deb"))
            depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True).stdout
            for library in ("libdeflate0", "zlib1g"):
                self.assertIn(library, depends)
            root = os.path.join(tmp, "root")
            subprocess.run(["dpkg", "-x", deb, root], check=True)
            for path in ("usr/share/quillon/quillon.exe", "usr/share/quillon/x86_64/quillon.exe",
                         "usr/share/man/man1/quillon.1.gz", "usr/share/doc/quillon/README.md"):
                self.assertTrue(os.path.isfile(os.path.join(root, path)), path)
            with open(os.path.join(root, "usr/share/quillon/quillon.exe"), "rb") as exe:
                image = exe.read()
            pe = int.from_bytes(image[0x3C:0x40], "little")
            self.assertEqual(image[pe + 4:pe + 6], b"\x4c\x01")  # the shipping builder is i686

            installed = os.path.join(root, "usr/bin/quillon")
            src = os.path.join(tmp, "src")
            os.makedirs(src)
            with open(os.path.join(src, "a.txt"), "w") as f:
                f.write("from the package")
            sfx = os.path.join(tmp, "out.exe")
            for args in (["-h", "-o", "-c", src, sfx], ["--test", sfx]):
                result = subprocess.run([installed, *args], capture_output=True, text=True, timeout=120)
                self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("OK: 1 file", result.stdout)


if __name__ == "__main__":
    unittest.main()
