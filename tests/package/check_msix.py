"""Static checks of the sparse package, read without the packer's code: what
Windows checks when it opens a package, short of registering it.

  check_msix.py PACKAGE --version V --publisher P --class-id GUID [--ca CA.pem]

--ca: the package must be signed, and its signature verify against CA.pem.
"""

import argparse
import base64
import hashlib
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET
import zipfile

BLOCK_MAP_NS = "{http://schemas.microsoft.com/appx/2010/blockmap}"
TYPES_NS = "{http://schemas.openxmlformats.org/package/2006/content-types}"
F = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10}"
UAP10 = "{http://schemas.microsoft.com/appx/manifest/uap/windows10/10}"
DESKTOP5 = "{http://schemas.microsoft.com/appx/manifest/desktop/windows10/5}"
COM = "{http://schemas.microsoft.com/appx/manifest/com/windows10}"
# Parts of the package's frame, not of its payload: the block map lists none.
FRAME = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}


class Package(unittest.TestCase):
    args = None

    @classmethod
    def setUpClass(cls):
        with open(cls.args.package, "rb") as f:
            cls.data = f.read()
        with zipfile.ZipFile(cls.args.package) as z:
            cls.infos = z.infolist()
            cls.broken = z.testzip()
            cls.parts = {i.filename: z.read(i) for i in cls.infos}
        cls.manifest = ET.fromstring(cls.parts["AppxManifest.xml"])

    def test_every_entry_reads_back_and_the_manifest_comes_first(self):
        self.assertIsNone(self.broken)
        result = subprocess.run(["unzip", "-tq", self.args.package], capture_output=True, text=True)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertEqual("AppxManifest.xml", self.infos[0].filename)

    def test_the_block_map_describes_every_payload_file(self):
        block_map = ET.fromstring(self.parts["AppxBlockMap.xml"])
        self.assertEqual("http://www.w3.org/2001/04/xmlenc#sha256", block_map.get("HashMethod"))
        files = {f.get("Name").replace("\\", "/"): f for f in block_map.iter(BLOCK_MAP_NS + "File")}
        self.assertEqual(set(self.parts) - FRAME, set(files))
        for info in self.infos:
            if info.filename in FRAME:
                continue
            with self.subTest(file=info.filename):
                entry, data = files[info.filename], self.parts[info.filename]
                self.assertEqual(len(data), int(entry.get("Size")))
                # Signature, versions, flags, method, time, date, CRC, sizes, then the two lengths.
                name_length, extra_length = struct.unpack_from("<HH", self.data, info.header_offset + 26)
                self.assertEqual(30 + name_length + extra_length, int(entry.get("LfhSize")))
                blocks = list(entry.iter(BLOCK_MAP_NS + "Block"))
                self.assertEqual([base64.b64encode(hashlib.sha256(data[i:i + 65536]).digest()).decode()
                                  for i in range(0, len(data), 65536)], [b.get("Hash") for b in blocks])
                # Stored data needs no block sizes; deflated data would.
                self.assertEqual(zipfile.ZIP_STORED, info.compress_type)
                self.assertEqual([None] * len(blocks), [b.get("Size") for b in blocks])

    def test_the_content_types_cover_every_part(self):
        types = ET.fromstring(self.parts["[Content_Types].xml"])
        defaults = {d.get("Extension").lower() for d in types.iter(TYPES_NS + "Default")}
        overrides = {o.get("PartName") for o in types.iter(TYPES_NS + "Override")}
        uncovered = [name for name in self.parts if name != "[Content_Types].xml"
                     and "/" + name not in overrides and name.rsplit(".", 1)[-1].lower() not in defaults]
        self.assertEqual([], uncovered)

    def test_the_manifest_declares_the_verb_served_by_the_64_bit_library(self):
        identity = self.manifest.find(F + "Identity")
        self.assertEqual(("Kestrun.ContextMenu", self.args.version, "x64", self.args.publisher),
                         (identity.get("Name"), identity.get("Version"), identity.get("ProcessorArchitecture"),
                          identity.get("Publisher")))
        self.assertEqual("true", self.manifest.find(F + "Properties/" + UAP10 + "AllowExternalContent").text)
        (item,) = self.manifest.iter(DESKTOP5 + "ItemType")
        (verb,) = item.iter(DESKTOP5 + "Verb")
        (server,) = self.manifest.iter(COM + "Class")
        self.assertEqual((".bin", "QuorvexKestrun", self.args.class_id),
                         (item.get("Type"), verb.get("Id"), verb.get("Clsid")))
        self.assertEqual((self.args.class_id, "Kestrun_Tool64.dll", "STA"),
                         (server.get("Id"), server.get("Path"), server.get("ThreadingModel")))

    def test_signed_exactly_when_a_certificate_is_given(self):
        self.assertEqual(self.args.ca is not None, "AppxSignature.p7x" in self.parts)
        if self.args.ca:
            self.assertEqual(b"PKCX", self.parts["AppxSignature.p7x"][:4])
            result = subprocess.run(["osslsigncode", "verify", "-CAfile", self.args.ca, "-in", self.args.package],
                                    capture_output=True, text=True)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("package")
    parser.add_argument("--version", required=True)
    parser.add_argument("--publisher", required=True)
    parser.add_argument("--class-id", required=True)
    parser.add_argument("--ca")
    Package.args = parser.parse_args()
    unittest.main(argv=sys.argv[:1], verbosity=2)
