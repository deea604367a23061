"""Checks every deliverable must pass, whatever it is."""

from pe_image import PeImage

# What a deliverable may import: the platform's own libraries and the
# vendor's boot library. No C++ or GCC runtime DLL.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
               "shell32.dll", "shlwapi.dll"}
LORVANE_SYMBOLS = {
    "i386": {"?Load_IniFile@@YAHPAD@Z", "?Kestrun@@YAHPADK@Z"},
    "amd64": {"?Load_IniFile@@YAHPEAD@Z", "?Kestrun@@YAHPEADK@Z"},
}
VS_FF_DEBUG = 0x1
VOS__WINDOWS32 = 0x4


class DeliverableChecks:
    path = None
    expected_machine = None
    # The 64-bit extension hands boots to the launcher: it never binds the
    # 32-bit-only boot library.
    binds_boot_library = True

    @classmethod
    def setUpClass(cls):
        cls.image = PeImage(cls.path)

    def test_imports_only_system_dlls_and_the_boot_library(self):
        imports = self.image.imports()
        names = {name.lower() for name in imports}
        if not self.binds_boot_library:
            self.assertEqual(set(), names - SYSTEM_DLLS)
            return
        self.assertIn("lorvane.dll", names)
        self.assertEqual(set(), names - SYSTEM_DLLS - {"lorvane.dll"})
        lorvane = [symbols for name, symbols in imports.items() if name.lower() == "lorvane.dll"][0]
        self.assertEqual(LORVANE_SYMBOLS[self.image.machine], set(lorvane))

    def test_carries_no_test_switch(self):
        self.assertNotIn(b"KESTRUN_FAULTS", self.image.data)

    def check_version_block(self, file_type, strings, debug_flag=True):
        fixed, tables = self.image.version()
        self.assertEqual(0xFEEF04BD, fixed["signature"])
        self.assertEqual((1, 0, 0, 1), fixed["file_version"])
        self.assertEqual((1, 0, 0, 1), fixed["product_version"])
        self.assertEqual(debug_flag, bool(fixed["flags"] & VS_FF_DEBUG))
        self.assertEqual(VOS__WINDOWS32, fixed["os"])
        self.assertEqual(file_type, fixed["type"])
        self.assertEqual(["040904B0"], list(tables))
        self.assertEqual(strings, tables["040904B0"])
