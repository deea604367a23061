"""Static checks of Kestrun.exe: what Windows sees before it runs a line."""

import sys
import unittest

from pe_image import PeImage
from deliverable_checks import DeliverableChecks


class LauncherImage(DeliverableChecks, unittest.TestCase):
    path = None

    def test_is_a_windows_gui_program(self):
        self.assertEqual(self.expected_machine, self.image.machine)
        self.assertFalse(self.image.is_dll)
        self.assertEqual("gui", self.image.subsystem)

    def test_version_block(self):
        self.check_version_block(file_type=1, strings={
            "CompanyName": "",
            "FileDescription": "Kestrun Module",
            "FileVersion": "1, 0, 0, 1",
            "InternalName": "Kestrun",
            "OriginalFilename": "Kestrun.EXE",
            "ProductName": "Kestrun Module",
            "ProductVersion": "1, 0, 0, 1",
            "OLESelfRegister": "",
        })

    def test_exports_nothing(self):
        self.assertEqual([], self.image.exports())


if __name__ == "__main__":
    LauncherImage.path, LauncherImage.expected_machine = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
