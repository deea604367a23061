"""Static checks of KestrunBoot.exe: a console program that binds the boot
library at run time, never by import, and has no user interface to show."""

import os
import re
import sys
import unittest

from deliverable_checks import DeliverableChecks

HERE = os.path.dirname(os.path.abspath(__file__))
DEF_FILES = {"i386": "lorvane_x86.def", "amd64": "lorvane_x64.def"}


def decorated_names(machine):
    """The decorated exports the import declarations name for this machine."""
    text = open(os.path.join(HERE, "..", "..", "boot", DEF_FILES[machine])).read()
    return re.findall(r"==\s*(\S+)", text)


class ConsoleImage(DeliverableChecks, unittest.TestCase):
    path = None
    # Loaded from its own folder: a missing library must not stop it in the
    # loader before it can say so.
    binds_boot_library = False

    def test_is_a_windows_console_program(self):
        self.assertEqual(self.expected_machine, self.image.machine)
        self.assertFalse(self.image.is_dll)
        self.assertEqual("console", self.image.subsystem)

    def test_looks_up_the_decorated_names_of_the_import_declarations(self):
        names = decorated_names(self.image.machine)
        self.assertEqual(2, len(names))
        for name in names:
            self.assertIn(name.encode() + b"\0", self.image.data)

    def test_cannot_show_a_window(self):
        self.assertNotIn("user32.dll", {name.lower() for name in self.image.imports()})

    def test_version_block(self):
        self.check_version_block(file_type=1, debug_flag=False, strings={
            "CompanyName": "",
            "FileDescription": "Kestrun console boot",
            "FileVersion": "1, 0, 0, 1",
            "InternalName": "KestrunBoot",
            "OriginalFilename": "KestrunBoot.exe",
            "ProductName": "Kestrun Module",
            "ProductVersion": "1, 0, 0, 1",
        })

    def test_exports_nothing(self):
        self.assertEqual([], self.image.exports())


if __name__ == "__main__":
    ConsoleImage.path, ConsoleImage.expected_machine = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
