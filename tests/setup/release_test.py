#!/usr/bin/env python3
"""scripts/release end to end: it builds the shipped x86 programs, writes the setup
program, the zip and the checksums named with the version of Version.h, and says that
nothing is signed. Its output is the release the setup tests under Wine install."""

import hashlib
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import setup_support as sup  # noqa: E402

MAKE_SETUP = os.path.join(sup.SOURCE_DIR, "installer", "make-setup")


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = sup.source_version()
        cls.names = sup.release_names(cls.version)
        # A stale file of another version must not survive next to the new release
        # unnoticed; one of this version must be replaced.
        os.makedirs(sup.RELEASE_DIR, exist_ok=True)
        for name in cls.names.values():
            with open(os.path.join(sup.RELEASE_DIR, name), "wb") as f:
                f.write(b"stale")
        cls.result = subprocess.run(
            [os.path.join(sup.SOURCE_DIR, "scripts", "release"), "--no-setup",
             "--out", sup.RELEASE_DIR, "--build", sup.WIN_BUILD_DIR],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
        print(cls.result.stdout)

    def path(self, kind):
        return os.path.join(sup.RELEASE_DIR, self.names[kind])

    def test_script_succeeds_and_says_nothing_is_signed(self):
        self.assertEqual(self.result.returncode, 0)
        self.assertIn("NOT SIGNED", self.result.stdout)
        self.assertIn(sup.version_text(self.version), self.result.stdout)

    def test_every_output_is_new_and_named_with_the_version(self):
        for kind in ("setup", "zip", "sums"):
            with self.subTest(kind=kind):
                self.assertIn(sup.version_text(self.version), self.names[kind])
                with open(self.path(kind), "rb") as f:
                    self.assertNotEqual(f.read(), b"stale")

    def test_checksums_verify_and_name_both_files(self):
        check = subprocess.run(["sha256sum", "-c", "--strict", self.names["sums"]],
                               cwd=sup.RELEASE_DIR, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
        self.assertEqual(check.returncode, 0, check.stdout)
        with open(self.path("sums"), encoding="ascii") as f:
            lines = f.read().splitlines()
        listed = {}
        for line in lines:
            digest, name = line.split("  ", 1)
            listed[name] = digest
        self.assertEqual(sorted(listed), sorted([self.names["setup"], self.names["zip"]]))
        for kind in ("setup", "zip"):
            with self.subTest(kind=kind), open(self.path(kind), "rb") as f:
                self.assertEqual(listed[self.names[kind]], hashlib.sha256(f.read()).hexdigest())

    def test_zip_holds_the_program_folder_with_the_version(self):
        with zipfile.ZipFile(self.path("zip")) as z:
            files = sorted(n for n in z.namelist() if not n.endswith("/"))
            self.assertEqual(files, sorted("Vantor Tavrel/" + f for f in sup.SHIPPED_FILES))
            for name in files:
                with self.subTest(file=name):
                    versions = sup.fixed_versions(z.read(name))
                    self.assertIsNotNone(versions, "no version resource")
                    self.assertEqual(versions, (self.version, self.version))

    def test_setup_program_carries_the_version(self):
        with open(self.path("setup"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], b"MZ")
        self.assertEqual(sup.fixed_versions(data), (self.version, self.version))


class MakeSetupTest(unittest.TestCase):
    def test_prints_the_version_of_version_h(self):
        out = subprocess.run([MAKE_SETUP, "--version"], stdout=subprocess.PIPE, text=True)
        self.assertEqual(out.returncode, 0)
        self.assertEqual(out.stdout.strip(), sup.version_text(sup.source_version()))

    def test_refuses_a_program_folder_without_every_shipped_file(self):
        for missing in sup.SHIPPED_FILES:
            with self.subTest(missing=missing), tempfile.TemporaryDirectory() as folder:
                for name in sup.SHIPPED_FILES:
                    if name != missing:
                        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                        with open(os.path.join(folder, name), "wb") as f:
                            f.write(b"MZ")
                target = os.path.join(folder, "setup.exe")
                out = subprocess.run([MAKE_SETUP, folder, target], stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True)
                self.assertNotEqual(out.returncode, 0)
                self.assertIn(missing, out.stdout)
                self.assertFalse(os.path.exists(target))


if __name__ == "__main__":
    unittest.main(verbosity=2)
