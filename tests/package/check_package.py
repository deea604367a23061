"""Static checks of the user's package: what a Windows user unpacks."""

import configparser
import io
import os
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "static"))
from pe_image import PeImage  # noqa: E402

PACKAGE_FILES = {"Kestrun.exe", "KestrunBoot.exe", "Kestrun_Tool.dll", "Kestrun_Tool64.dll", "LORVANE_SET.INI",
                 "install.cmd", "uninstall.cmd", "README.txt"}
TEXT_FILES = ["LORVANE_SET.INI", "install.cmd", "uninstall.cmd", "README.txt"]


class Package(unittest.TestCase):
    zip_path = machine = version = platform = None

    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(cls.zip_path) as z:
            cls.entries = {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}
        cls.top = "Kestrun-%s-%s/" % (cls.version, cls.platform)

    def file(self, name):
        return self.entries[self.top + name]

    def test_holds_exactly_the_package_files_in_one_folder(self):
        self.assertEqual({self.top + f for f in PACKAGE_FILES}, set(self.entries))

    def test_never_ships_a_boot_library(self):
        shipped = [n for n in self.entries if os.path.basename(n).lower() == "lorvane.dll"]
        self.assertEqual([], shipped)

    def test_deliverables_are_built_for_the_package_platform(self):
        for name, is_dll in (("Kestrun.exe", False), ("Kestrun_Tool.dll", True)):
            with self.subTest(name=name):
                image = self.image_of(name)
                self.assertEqual(self.machine, image.machine)
                self.assertEqual(is_dll, image.is_dll)
                # The user supplies the boot library: both need it beside them.
                self.assertIn("lorvane.dll", {d.lower() for d in image.imports()})
        # The console program loads the library itself, from its own folder.
        image = self.image_of("KestrunBoot.exe")
        self.assertEqual((self.machine, "console"), (image.machine, image.subsystem))
        self.assertNotIn("lorvane.dll", {d.lower() for d in image.imports()})
        # The library for 64-bit Explorer hands boots to the launcher.
        image = self.image_of("Kestrun_Tool64.dll")
        self.assertEqual("amd64", image.machine)
        self.assertTrue(image.is_dll)
        self.assertNotIn("lorvane.dll", {d.lower() for d in image.imports()})

    def image_of(self, name):
        with tempfile.NamedTemporaryFile(suffix=os.path.splitext(name)[1], delete=False) as f:
            f.write(self.file(name))
        try:
            return PeImage(f.name)
        finally:
            os.unlink(f.name)

    def test_text_files_are_plain_windows_text_with_the_version_filled_in(self):
        for name in TEXT_FILES:
            with self.subTest(name=name):
                data = self.file(name)
                data.decode("ascii")
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "every line ends with CRLF")
                self.assertTrue(data.endswith(b"\r\n"))
                self.assertNotIn(b"@PROJECT_VERSION@", data)
        self.assertIn(self.version.encode(), self.file("README.txt"))
        self.assertIn(self.version.encode(), self.file("install.cmd"))

    def test_sample_settings_hold_the_download_address_and_no_simulated_device(self):
        settings = configparser.ConfigParser(inline_comment_prefixes=(";",))
        settings.optionxform = str
        settings.read_file(io.StringIO(self.file("LORVANE_SET.INI").decode("ascii")))
        self.assertEqual(["QUORVEX_KESTRUN"], settings.sections())
        address = int(settings["QUORVEX_KESTRUN"]["DnLoadAddr"], 0)
        self.assertTrue(0 < address <= 0xFFFFFFFF)

    def test_read_me_tells_the_user_to_place_the_boot_library(self):
        text = " ".join(self.file("README.txt").decode("ascii").split())
        self.assertIn("Copy the vendor's boot library Lorvane.dll into this folder", text)
        self.assertIn("It is not part of this package", text)


if __name__ == "__main__":
    Package.zip_path, Package.platform, Package.machine, Package.version = sys.argv[1:5]
    unittest.main(argv=sys.argv[:1], verbosity=2)
