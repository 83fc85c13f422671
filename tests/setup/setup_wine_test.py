#!/usr/bin/env python3
"""The setup program of the release under Wine, in a prefix of its own on a private
Xvfb: silent installs with bad or missing addresses refuse, a silent install puts the
programs, config.ini, the shortcuts and the uninstall entry in place, the installed
program starts, a second install keeps the address, and the silent uninstall removes
what setup installed and keeps the teacher's notes and settings."""

import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import setup_support as sup  # noqa: E402

PREFIX = os.environ.get("TAVREL_SETUP_WINEPREFIX",
                        os.path.join(sup.SOURCE_DIR, "build", "wineprefix-setup"))
DRIVE_C = os.path.join(PREFIX, "drive_c")
INSTALL_DIR = os.path.join(DRIVE_C, "Program Files (x86)", "Vantor Tavrel")
INSTALL_DIR_WIN = "C:\\Program Files (x86)\\Vantor Tavrel"
START_MENU_DIR = os.path.join(DRIVE_C, "ProgramData", "Microsoft", "Windows", "Start Menu",
                              "Programs", "Vantor Tavrel")
START_MENU_LINK = os.path.join(START_MENU_DIR, "Vantor Tavrel.lnk")
DESKTOP_LINK = os.path.join(DRIVE_C, "users", "Public", "Desktop", "Vantor Tavrel.lnk")
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantor Tavrel"
SETTINGS_KEY = "HKCU\\Software\\Vantor Login\\Vantor Tavrel\\config"
HTTPS = "https://10.0.0.5:8443"
HTTP = "http://10.0.0.5:8080"
DIALOG_CLASS = "#32770"
TEACHER_ID_EDIT = "1036"  # IDC_TEACHER_ID
OK_BUTTON = "1"  # IDOK
NEXT_BUTTON = "1"  # the setup window's Next, Install and Finish
BACK_BUTTON = "3"
SETUP_TITLE = "Vantor Tavrel 설치"
NEXT_TEXT = "다음 >"
INSTALL_TEXT = "설치"
FINISH_TEXT = "마침"
MAIN_CLASS = "Vantor Tavrel"
TEACHER_ID = "teacher01"
CLASSROOM_SIM = os.environ.get(
    "TAVREL_CLASSROOM_SIM",
    os.path.join(sup.SOURCE_DIR, "build", "native", "tools", "classroom-sim", "classroom-sim"))
WAIT_S = 120


class Wine:
    """A private X display and the prefix's own Wine server for the whole test."""

    def __init__(self):
        subprocess.run([os.path.join(sup.SOURCE_DIR, "scripts", "wine-prefix"), PREFIX],
                       check=True, timeout=300)
        # A Korean Windows, as on the pads: the setup program shows its Korean pages.
        self.env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", LANG="ko_KR.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.env.pop("LC_ALL", None)
        # A run that was stopped may have left its Wine server behind, bound to a display
        # that is gone: programs started now would join it.
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        if not display:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + display

    def run(self, args, timeout=WAIT_S):
        return subprocess.run(["wine"] + args, env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True,
                              encoding="utf-8", errors="replace", timeout=timeout)

    def start(self, args, cwd):
        return subprocess.Popen(["wine"] + args, env=self.env, cwd=cwd,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                stdin=subprocess.DEVNULL)

    def settle(self):
        """Waits until every process of the prefix has ended (the uninstaller runs on
        as a copy of itself after the one started has returned)."""
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=WAIT_S)

    def ui_driver(self, args):
        return self.run([os.path.join(sup.WIN_BUILD_DIR, "bin", "ui-driver.exe")] + args)

    def reg_query(self, key):
        """{value name: (type, data)} of a key in the 32-bit view, or None when absent."""
        out = self.run(["reg", "query", key, "/reg:32"])
        if out.returncode != 0:
            return None
        values = {}
        for line in out.stdout.splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3:
                values[parts[0]] = (parts[1], parts[2])
        return values

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.xvfb.kill()
        self.xvfb.wait()


def user_desktop():
    users = [d for d in glob.glob(os.path.join(DRIVE_C, "users", "*"))
             if os.path.basename(d) != "Public"]
    assert len(users) == 1, users
    return os.path.join(users[0], "Desktop")


def remove_traces(wine):
    """A run starts from a prefix without the product, whatever an earlier run left."""
    for path in (INSTALL_DIR, START_MENU_DIR, os.path.join(user_desktop(), "NoteSave")):
        shutil.rmtree(path, ignore_errors=True)
    if os.path.exists(DESKTOP_LINK):
        os.remove(DESKTOP_LINK)
    for key in (UNINSTALL_KEY, SETTINGS_KEY):
        wine.run(["reg", "delete", key, "/f", "/reg:32"])


def link_target_named(path, name):
    with open(path, "rb") as f:
        data = f.read()
    return name.encode("ascii") in data or name.encode("utf-16-le") in data


class Classroom:
    """classroom-sim with its log-in web server over HTTP, its events gathered by a
    reader thread until it ends."""

    def __enter__(self):
        self.process = subprocess.Popen([CLASSROOM_SIM, "--web", "--no-https", "--no-media"],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self.events = []
        self.web_port = 0
        for line in self.process.stdout:
            event = json.loads(line)
            self.events.append(event)
            if event.get("kind") == "listening" and event.get("role") == "web":
                self.web_port = event["port"]
                break
        if not self.web_port:
            self.process.kill()
            self.process.wait()
            raise RuntimeError("classroom-sim did not start its web server")
        self.reader = threading.Thread(target=self._read)
        self.reader.start()
        return self

    def _read(self):
        for line in self.process.stdout:
            try:
                self.events.append(json.loads(line))
            except ValueError:
                pass

    def __exit__(self, *exc):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.flush()
        except OSError:
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.reader.join()
        self.process.stdout.close()
        self.process.stdin.close()
        return False


class SetupWineTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = sup.source_version()
        names = sup.release_names(cls.version)
        cls.setup = os.path.join(sup.RELEASE_DIR, names["setup"])
        cls.zip = os.path.join(sup.RELEASE_DIR, names["zip"])
        cls.wine = Wine()
        try:
            remove_traces(cls.wine)
        except BaseException:
            cls.wine.close()
            raise
        # A copy with a path Wine reads without quoting trouble.
        cls.tmp = tempfile.mkdtemp(prefix="tavrel-setup-")
        shutil.copy(cls.setup, os.path.join(cls.tmp, "setup.exe"))
        cls.setup_copy = os.path.join(cls.tmp, "setup.exe")

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def install(self, *switches):
        # The setup program does all its work in its own process: its end is the end.
        return self.wine.run([self.setup_copy, "/S"] + list(switches)).returncode

    def uninstall(self):
        result = self.wine.run([os.path.join(INSTALL_DIR, "uninstall.exe"), "/S"])
        self.wine.settle()
        return result.returncode

    def assert_nothing_installed(self):
        self.assertFalse(os.path.exists(INSTALL_DIR))
        self.assertFalse(os.path.exists(START_MENU_LINK))
        self.assertFalse(os.path.exists(DESKTOP_LINK))
        self.assertIsNone(self.wine.reg_query(UNINSTALL_KEY))

    def assert_config(self, https, http):
        with open(os.path.join(INSTALL_DIR, "config.ini"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], b"\xff\xfe", "config.ini is not UTF-16LE with a BOM")
        text = data[2:].decode("utf-16-le")
        self.assertEqual(text, "[default]\r\nloginhttps=%s\r\nloginhttp=%s\r\n" % (https, http))

    def test_1_silent_install_without_a_usable_address_refuses(self):
        cases = [
            ("no address", []),
            ("https address over http", ["/LOGINHTTPS=http://10.0.0.5:8443"]),
            ("http address without host", ["/LOGINHTTP=http://"]),
            ("blank inside", ["/LOGINHTTPS=https://10.0.0.5 :8443"]),
            ("good https, bad http", ["/LOGINHTTPS=" + HTTPS, "/LOGINHTTP=ftp://10.0.0.5"]),
        ]
        for name, switches in cases:
            with self.subTest(case=name):
                self.assertEqual(self.install(*switches), 2)
                self.assert_nothing_installed()

    def test_2_silent_install_puts_everything_in_place(self):
        self.assertEqual(self.install("/LOGINHTTPS=" + HTTPS, "/LOGINHTTP=" + HTTP), 0)
        with zipfile.ZipFile(self.zip) as z:
            for name in sup.SHIPPED_FILES:
                with self.subTest(file=name):
                    with open(os.path.join(INSTALL_DIR, name), "rb") as f:
                        installed = f.read()
                    self.assertEqual(installed, z.read("Vantor Tavrel/" + name))
                    self.assertEqual(sup.fixed_versions(installed), (self.version, self.version))
        self.assertTrue(os.path.isfile(os.path.join(INSTALL_DIR, "uninstall.exe")))
        self.assert_config(HTTPS, HTTP)
        for link in (START_MENU_LINK, DESKTOP_LINK):
            with self.subTest(link=link):
                self.assertTrue(os.path.isfile(link))
                self.assertTrue(link_target_named(link, "VTUpdaterT.exe"))

        entry = self.wine.reg_query(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        uninstaller = '"%s\\uninstall.exe"' % INSTALL_DIR_WIN
        expected = {
            "DisplayName": ("REG_SZ", "Vantor Tavrel"),
            "DisplayVersion": ("REG_SZ", sup.version_text(self.version)),
            "Publisher": ("REG_SZ", "Vantor Login"),
            "UninstallString": ("REG_SZ", uninstaller),
            "QuietUninstallString": ("REG_SZ", uninstaller + " /S"),
            "InstallLocation": ("REG_SZ", INSTALL_DIR_WIN),
            "DisplayIcon": ("REG_SZ", INSTALL_DIR_WIN + "\\Vantor Tavrel.exe,0"),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
        }
        for name, value in expected.items():
            with self.subTest(value=name):
                self.assertEqual(entry.get(name), value)
        kind, size = entry.get("EstimatedSize", ("", "0"))
        self.assertEqual(kind, "REG_DWORD")
        on_disk = sum(os.path.getsize(os.path.join(d, f))
                      for d, _, files in os.walk(INSTALL_DIR) for f in files)
        self.assertAlmostEqual(int(size, 16), on_disk // 1024, delta=8)

    def test_3_installed_program_logs_in_at_the_classroom(self):
        with Classroom() as classroom:
            # A second install with new addresses changes them in the existing file.
            https = "https://127.0.0.1:1"  # nothing listens: the log-in falls back to HTTP
            http = "http://127.0.0.1:%d" % classroom.web_port
            self.assertEqual(self.install("/LOGINHTTPS=" + https, "/LOGINHTTP=" + http), 0)
            self.assert_config(https, http)
            program = self.wine.start([os.path.join(INSTALL_DIR, "Vantor Tavrel.exe")],
                                      INSTALL_DIR)
            try:
                found = self.wine.ui_driver(["wait", "--class", DIALOG_CLASS, "--timeout",
                                             "60000"])
                self.assertEqual(found.returncode, 0, "the log-in dialog did not appear")
                dialog = found.stdout.strip()
                self.assertEqual(
                    self.wine.ui_driver(["set-text", dialog, TEACHER_ID_EDIT, TEACHER_ID])
                    .returncode, 0, "the dialog has no teacher ID field")
                self.assertEqual(self.wine.ui_driver(["click", dialog, OK_BUTTON]).returncode, 0)
                # The panel shows once the session with the lectern PC is up.
                panel = self.wine.ui_driver(["wait", "--class", MAIN_CLASS, "--timeout",
                                             "60000"])
                self.assertEqual(panel.returncode, 0, "the panel did not appear")
            finally:
                subprocess.run(["wineserver", "-k"], env=self.wine.env)
                program.wait(timeout=WAIT_S)
                self.wine.settle()
        # The address of config.ini reached the web server (over HTTP after the HTTPS
        # port refused), and the session went on through the relay to the lectern PC.
        steps = [
            ("log-in at the web server", {"kind": "login_request", "scheme": "http",
                                          "val3": TEACHER_ID, "valid": True}),
            ("identified at the relay", {"kind": "identity", "role": "relay", "ok": True,
                                         "teacher": TEACHER_ID}),
            ("connected to the lectern PC", {"kind": "conn_open", "role": "lectern"}),
        ]
        for name, fields in steps:
            with self.subTest(step=name):
                self.assertTrue(
                    any(all(e.get(k) == v for k, v in fields.items()) for e in classroom.events),
                    classroom.events)

    def test_4_second_install_without_address_keeps_it(self):
        with open(os.path.join(INSTALL_DIR, "config.ini"), "rb") as f:
            before = f.read()
        self.assertEqual(self.install(), 0)
        with open(os.path.join(INSTALL_DIR, "config.ini"), "rb") as f:
            self.assertEqual(f.read(), before)

    def test_5_silent_uninstall_keeps_notes_and_settings(self):
        notes = os.path.join(user_desktop(), "NoteSave")
        os.makedirs(notes, exist_ok=True)
        note = os.path.join(notes, "20260101_090000.jpg")
        with open(note, "wb") as f:
            f.write(b"\xff\xd8note")
        setting = os.path.join(INSTALL_DIR, "setting.ini")
        with open(setting, "wb") as f:
            f.write(b"\xff\xfe" + "[setting]\r\nmonitor=1\r\n".encode("utf-16-le"))
        self.assertEqual(self.wine.run(["reg", "add", SETTINGS_KEY, "/v", "language", "/d", "Eng",
                                        "/f"]).returncode, 0)

        self.assertEqual(self.uninstall(), 0)
        for name in list(sup.SHIPPED_FILES) + ["config.ini", "uninstall.exe", "language"]:
            with self.subTest(removed=name):
                self.assertFalse(os.path.exists(os.path.join(INSTALL_DIR, name)))
        self.assertFalse(os.path.exists(START_MENU_DIR))
        self.assertFalse(os.path.exists(DESKTOP_LINK))
        self.assertIsNone(self.wine.reg_query(UNINSTALL_KEY))
        # What is the teacher's stays, and so does the folder that still holds some.
        self.assertTrue(os.path.isfile(note))
        self.assertTrue(os.path.isfile(setting))
        self.assertIn("setting.ini", os.listdir(INSTALL_DIR))
        settings = self.wine.reg_query(SETTINGS_KEY)
        self.assertEqual((settings or {}).get("language"), ("REG_SZ", "Eng"))

    def test_6_uninstall_of_an_untouched_installation_leaves_no_folder(self):
        shutil.rmtree(INSTALL_DIR, ignore_errors=True)
        self.assertEqual(self.install("/LOGINHTTPS=" + HTTPS), 0)
        with open(os.path.join(INSTALL_DIR, "config.ini"), "rb") as f:
            self.assertEqual(f.read()[2:].decode("utf-16-le"),
                             "[default]\r\nloginhttps=%s\r\n" % HTTPS)
        self.assertEqual(self.uninstall(), 0)
        self.assert_nothing_installed()

    def test_7_pages_ask_for_the_address_in_korean(self):
        setup = self.wine.start([self.setup_copy], self.tmp)
        try:
            found = self.wine.ui_driver(["wait", "--class", DIALOG_CLASS, "--timeout", "60000"])
            self.assertEqual(found.returncode, 0, "no setup window")
            window = found.stdout.strip()
            # The first page's caption ends in a blank.
            self.assertEqual(self.wine.ui_driver(["text", window]).stdout.strip(), SETUP_TITLE)
            # The clicks are posted: each step waits for the page it leads to. The text
            # is read by a message to the setup's window, so it is answered only once
            # the page (its fields, the focus) is up.
            self.click(window, NEXT_BUTTON)
            self.wait_button_text(window, NEXT_BUTTON, INSTALL_TEXT)
            # Nothing typed: the page stays and says why.
            self.click(window, NEXT_BUTTON)
            box = self.wait_second_window(SETUP_TITLE, window)
            self.assertEqual(self.wine.ui_driver(["message-text", box]).stdout.strip(),
                             "로그인 서버 주소를 하나 이상 입력하세요.")
            self.click(box, OK_BUTTON)
            self.wait_gone(box)
            # Back and on again: the page opens with the HTTPS field focused.
            self.click(window, BACK_BUTTON)
            self.wait_button_text(window, NEXT_BUTTON, NEXT_TEXT)
            self.click(window, NEXT_BUTTON)
            self.wait_button_text(window, NEXT_BUTTON, INSTALL_TEXT)
            self.type_keys(["type", "--delay", "20", HTTPS], ["key", "Tab"],
                           ["type", "--delay", "20", HTTP])
            self.click(window, NEXT_BUTTON)
            self.wait_button_text(window, NEXT_BUTTON, FINISH_TEXT)
            self.click(window, NEXT_BUTTON)
            self.assertEqual(setup.wait(timeout=WAIT_S), 0)
        finally:
            if setup.poll() is None:
                setup.kill()
                setup.wait()
        self.assert_config(HTTPS, HTTP)
        self.assertIsNotNone(self.wine.reg_query(UNINSTALL_KEY))
        self.assertEqual(self.uninstall(), 0)
        self.assert_nothing_installed()

    def wait_second_window(self, title, first):
        """Another top-level dialog with the title: a message box of the first."""
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            listing = self.wine.ui_driver(["list", "--class", DIALOG_CLASS, "--title", title])
            for line in listing.stdout.splitlines():
                handle = line.split("\t")[0].strip()
                if handle and handle != first:
                    return handle
        self.fail("no message box came")

    def click(self, window, button):
        self.assertEqual(self.wine.ui_driver(["click", window, button]).returncode, 0)

    def wait_gone(self, window):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if self.wine.ui_driver(["info", window]).returncode != 0:
                return
        self.fail("the message box stayed")

    def wait_button_text(self, window, button, text):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if self.wine.ui_driver(["text", window, button]).stdout.strip() == text:
                return
        self.fail("the button never read %r" % text)

    def type_keys(self, *commands):
        # Without a window manager the keyboard goes to the window under the pointer:
        # Wine's desktop, which hands it to its focused control.
        for args in [["mousemove", "5", "5"]] + list(commands):
            subprocess.run(["xdotool"] + args, env=self.wine.env, check=True, timeout=60)


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=False)
