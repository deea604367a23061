"""Static checks of Kestrun_Tool.dll: exports, imports, resources, version."""

import os
import re
import struct
import sys
import unittest

from deliverable_checks import DeliverableChecks

HERE = os.path.dirname(os.path.abspath(__file__))
RT_STRING = 6
RT_VERSION = 16


def identifiers():
    text = open(os.path.join(HERE, "..", "..", "shellext", "kestrun_ids.h")).read()
    return dict(re.findall(r'#define KESTRUN_(\w+)_TEXT +"([0-9A-F-]+)"', text))


def string_table_entry(block, index):
    """The index-th (0..15) string of a string table block."""
    offset = 0
    for i in range(16):
        n = struct.unpack_from("<H", block, offset)[0]
        text = block[offset + 2:offset + 2 + 2 * n].decode("utf-16-le")
        if i == index:
            return text
        offset += 2 + 2 * n
    raise IndexError(index)


class ExtensionImage(DeliverableChecks, unittest.TestCase):
    path = None
    tool64 = False

    def test_is_a_dll_for_the_expected_machine(self):
        self.assertEqual(self.expected_machine, self.image.machine)
        self.assertTrue(self.image.is_dll)

    def test_exports_exactly_the_four_entries_in_order(self):
        self.assertEqual([(1, "DllCanUnloadNow"), (2, "DllGetClassObject"), (3, "DllRegisterServer"),
                          (4, "DllUnregisterServer")], self.image.exports())

    def test_resources_by_type_and_id(self):
        resources = self.image.resources()
        self.assertEqual({("REGISTRY", 101), ("TYPELIB", 1), (RT_STRING, 7), (RT_VERSION, 1)}, set(resources))
        # String 100 lives in block 100 / 16 + 1 = 7, at position 100 % 16 = 4.
        self.assertEqual("Kestrun_Tool", string_table_entry(resources[(RT_STRING, 7)], 4))
        self.assertEqual(b"MSFT", resources[("TYPELIB", 1)][:4])

    def test_registration_script(self):
        script = self.image.resources()[("REGISTRY", 101)]
        ids = identifiers()
        text = script.decode("ascii")
        self.assertNotIn("\n", text.replace("\r\n", ""), "every line ends with CR LF")
        lines = [line.strip() for line in text.split("\r\n") if line.strip() not in ("", "{", "}")]
        clsid, libid = "{%s}" % ids["CLSID"], "{%s}" % ids["LIBID"]
        self.assertEqual([
            "HKCR",
            "Kestrun_Tool.Quorvex_Kestrun.1 = s 'Quorvex_Kestrun Class'",
            "CLSID = s '%s'" % clsid,
            "Kestrun_Tool.Quorvex_Kestrun = s 'Quorvex_Kestrun Class'",
            "CLSID = s '%s'" % clsid,
            "CurVer = s 'Kestrun_Tool.Quorvex_Kestrun.1'",
            "NoRemove CLSID",
            "ForceRemove %s = s 'Quorvex_Kestrun Class'" % clsid,
            "ProgID = s 'Kestrun_Tool.Quorvex_Kestrun.1'",
            "VersionIndependentProgID = s 'Kestrun_Tool.Quorvex_Kestrun'",
            "ForceRemove 'Programmable'",
            "InprocServer32 = s '%MODULE%'",
            "val ThreadingModel = s 'Apartment'",
            "'TypeLib' = s '%s'" % libid,
            "NoRemove *",
            "NoRemove ShellEx",
            "NoRemove ContextMenuHandlers",
            "ForceRemove Quorvex_Kestrun = s '%s'" % clsid,
        ], lines)

    def test_type_library_carries_the_identifiers(self):
        import uuid
        typelib = self.image.resources()[("TYPELIB", 1)]
        for name in ("CLSID", "IID", "LIBID"):
            self.assertIn(uuid.UUID(identifiers()[name]).bytes_le, typelib, name)
        # SYS_WIN32 (1) or, in the 64-bit library, SYS_WIN64 (3) in the low
        # bits of the header's flags.
        self.assertEqual(3 if self.tool64 else 1, struct.unpack_from("<I", typelib, 20)[0] & 0xF)

    def test_version_block(self):
        self.check_version_block(file_type=2, strings={
            "CompanyName": "",
            "FileDescription": "Kestrun_Tool Module",
            "FileVersion": "1, 0, 0, 1",
            "InternalName": "Kestrun_Tool",
            "OriginalFilename": "Kestrun_Tool64.DLL" if self.tool64 else "Kestrun_Tool.DLL",
            "ProductName": "Kestrun_Tool Module",
            "ProductVersion": "1, 0, 0, 1",
            "OLESelfRegister": "",
        })


if __name__ == "__main__":
    ExtensionImage.path, ExtensionImage.expected_machine = sys.argv[1], sys.argv[2]
    # --tool64: the 64-bit library, which hands boots to the launcher.
    ExtensionImage.tool64 = "--tool64" in sys.argv[3:]
    ExtensionImage.binds_boot_library = not ExtensionImage.tool64
    unittest.main(argv=sys.argv[:1], verbosity=2)
