#!/usr/bin/env python3
"""The probex command: modes, ordering under -j, exit status, JSON shape."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

PROBEX = sys.argv[1]
SOURCE = sys.argv[2]


def run(*args):
    return subprocess.run([PROBEX, *args], capture_output=True, text=True, timeout=120)


class ProbexCommand(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        root = cls.tmp.name
        os.makedirs(os.path.join(root, "sub"))
        cls.files = []
        for i in range(12):
            path = os.path.join(root, "f%02d.dat" % i)
            with open(path, "wb") as f:
                f.write(("file number %02d with some text" % i).encode() * 3)
            cls.files.append(path)
        with open(os.path.join(root, "sub", "deep.dat"), "wb") as f:
            f.write(b"deep file content that is long enough")
        with open(os.path.join(root, "empty.dat"), "wb"):
            pass
        cls.bmp = os.path.join(SOURCE, "samples", "sample.bmp")
        with open(cls.bmp, "rb") as f:
            head = f.read(32)
        width, height = struct.unpack_from("<ii", head, 18)
        bits = struct.unpack_from("<H", head, 28)[0]
        cls.bmp_line = "Windows %dBit %dx%d RAW" % (bits, width, height)
        cls.bmp_size = "{:,}Bytes".format(os.path.getsize(cls.bmp))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_full_report_has_header_line_and_report(self):
        r = run(self.bmp)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.split("\n")
        self.assertEqual(lines[0], self.bmp)
        self.assertEqual(lines[1], self.bmp_line)
        self.assertIn("00:00:00.000 (0.000sec) / ", lines[2])
        self.assertTrue(lines[2].endswith(self.bmp_size), repr(lines[2]))
        raw = subprocess.run([PROBEX, self.bmp], capture_output=True, timeout=60).stdout
        self.assertNotIn(b"\r", raw)

    def test_one_line_mode_and_utf8_output(self):
        r = run("--one", self.files[0], os.path.join(self.tmp.name, "empty.dat"))
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0].split("\t")[1], self.files[0])
        self.assertTrue(lines[0].startswith("未対応形式 [66 69 6C 65"), lines[0])
        self.assertEqual(lines[1], "未対応形式\t" + os.path.join(self.tmp.name, "empty.dat"))

    def test_json_matches_the_record(self):
        r = run("--json", self.bmp, self.files[1], os.path.join(self.tmp.name, "empty.dat"))
        self.assertEqual(r.returncode, 0, r.stderr)
        data = json.loads(r.stdout)
        self.assertEqual(len(data), 3)
        keys = {"path", "formatId", "formatName", "errorText", "video", "audio", "extra", "duration", "fileSize"}
        for obj in data:
            self.assertEqual(set(obj), keys)
        bmp = data[0]
        self.assertEqual(bmp["formatId"], 51)
        self.assertEqual(bmp["duration"], 0.0)
        self.assertEqual(bmp["fileSize"], os.path.getsize(self.bmp))
        self.assertEqual(bmp["video"], [self.bmp_line])
        self.assertIsNone(data[1]["duration"])
        self.assertEqual(data[1]["formatName"], "未対応形式")
        self.assertEqual(data[2]["errorText"], "未対応形式")
        self.assertEqual(json.loads(run("--json", self.tmp.name + "/nothing-here").stdout)[0]["formatId"], 2)

    def test_parallel_output_keeps_input_order_and_folders_recurse(self):
        serial = run("--one", self.tmp.name)
        parallel = run("--one", "-j", "4", self.tmp.name)
        self.assertEqual(serial.returncode, 0)
        self.assertEqual(serial.stdout, parallel.stdout)
        paths = [line.split("\t")[1] for line in serial.stdout.splitlines()]
        self.assertEqual(paths, sorted(paths))
        self.assertNotIn(os.path.join(self.tmp.name, "sub", "deep.dat"), paths)
        deep = run("--one", "-r", "-j3", self.tmp.name)
        self.assertIn(os.path.join(self.tmp.name, "sub", "deep.dat"), deep.stdout)

    def test_exit_status(self):
        missing = run(self.files[0], "/nonexistent/file.mp3")
        self.assertEqual(missing.returncode, 1)
        self.assertIn("/nonexistent/file.mp3", missing.stderr)
        self.assertIn("ファイルのオープンに失敗", missing.stdout)
        for args in (["--bogus", self.bmp], [], ["-j", "0", self.bmp], ["-j"]):
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertTrue(r.stderr.startswith("probex: "), r.stderr)
        self.assertEqual(run("--version").stdout.strip(), "probex 130101")
        self.assertEqual(run("--help").returncode, 0)

    def test_progress_of_a_long_batch_only_on_a_terminal(self):
        import pty
        with tempfile.TemporaryDirectory() as d:
            for i in range(120):
                with open(os.path.join(d, "n%03d.dat" % i), "wb") as f:
                    f.write(b"not media at all %d" % i)

            def with_terminal_stderr(*args, stdout=subprocess.PIPE):
                master, slave = pty.openpty()
                p = subprocess.Popen([PROBEX, *args], stdout=stdout, stderr=slave)
                os.close(slave)
                err = b""
                while True:
                    try:
                        chunk = os.read(master, 4096)
                    except OSError:
                        break
                    if not chunk:
                        break
                    err += chunk
                out = p.communicate(timeout=120)[0]
                os.close(master)
                return out, err.decode("utf-8", "replace")

            out, err = with_terminal_stderr("--one", d)
            self.assertIn("120/120 files", err)
            self.assertIn(d, err)
            self.assertTrue(err.endswith("\r\x1b[K"), repr(err[-40:]))  # erased at the end
            self.assertNotIn("files/s", out.decode())
            self.assertEqual(len(out.decode().splitlines()), 120)
            # JSON piped elsewhere, a short batch, or stderr not a terminal: silence.
            self.assertEqual(with_terminal_stderr("--json", d)[1], "")
            self.assertEqual(with_terminal_stderr("--one", os.path.join(d, "n000.dat"))[1], "")
            self.assertEqual(run("--one", d).stderr, "")

    def test_templates_option(self):
        with tempfile.TemporaryDirectory() as d:
            r = run("--templates", d, "--one", self.bmp)
            self.assertEqual(r.returncode, 0)
        r = run("--templates", "x" * 300, self.bmp)
        self.assertEqual(r.returncode, 2)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
