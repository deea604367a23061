"""Static checks of the Windows Installer packages, read with msiinfo: what
Windows Installer will do with them, short of running it.

  check_msi.py PACKAGE...     (named Kestrun-<version>-<platform>.msi)
"""

import os
import subprocess
import sys
import unittest

CLASSES = "Software\\Classes\\"
REDIRECTED = ("CLSID\\", "Interface\\")
MSIDB_64BIT = 256
# The roots of the folder trees whose bitness validation checks (ICE80).
FOLDER_BITS = {"ProgramFilesFolder": 0, "ProgramFiles64Folder": MSIDB_64BIT}
ROOT_HKCU, ROOT_HKLM = "1", "2"
LOCATOR_RAW_VALUE, LOCATOR_64BIT = 2, 16
SET_PROPERTY = 51


def table(msi, name):
    out = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True, check=True).stdout
    lines = out.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


class Package(unittest.TestCase):
    packages = None

    def each(self, check):
        for msi in self.packages:
            _, version, platform = os.path.basename(msi)[:-len(".msi")].split("-", 2)
            with self.subTest(package=os.path.basename(msi)):
                check(msi, version, platform)

    def test_holds_the_deliverables_for_its_platform_and_never_a_boot_library(self):
        def check(msi, version, platform):
            files = {row["FileName"].split("|")[-1] for row in table(msi, "File")}
            expected = {"Kestrun.exe", "KestrunBoot.exe", "Kestrun_Tool.dll", "LORVANE_SET.INI"}
            if platform.startswith("x64"):
                expected.add("Kestrun_Tool64.dll")
            self.assertEqual(expected, files)
        self.each(check)

    def test_one_product_family_with_a_product_code_per_package(self):
        products, families = set(), set()

        def check(msi, version, platform):
            properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
            # What Programs and Features shows; per machine unless asked.
            self.assertEqual(("Kestrun", version, "Kestrun", "1"),
                             (properties["ProductName"], properties["ProductVersion"], properties["Manufacturer"],
                              properties["ALLUSERS"]))
            products.add(properties["ProductCode"])
            families.add(properties["UpgradeCode"])
        self.each(check)
        self.assertEqual((len(self.packages), 1), (len(products), len(families)))

    def test_registry_rows_follow_the_install_context_in_the_right_view(self):
        def check(msi, version, platform):
            bits = {row["Component"]: int(row["Attributes"]) & MSIDB_64BIT for row in table(msi, "Component")}
            for row in table(msi, "Registry"):
                # -1: HKLM for a per-machine install, HKCU for a per-user one.
                self.assertEqual("-1", row["Root"], row["Key"])
                if not row["Key"].startswith(CLASSES):
                    continue  # the remembered folders, checked below
                key = row["Key"][len(CLASSES):]
                if key.startswith(REDIRECTED):
                    # Class and interface keys: in the view of their library.
                    wants_64 = row["Component_"] == "Extension64"
                else:
                    # Shared keys from a 32-bit component would reach the
                    # 32-bit view only: they belong to the 64-bit one.
                    self.assertEqual("Registration", row["Component_"], key)
                    wants_64 = platform.startswith("x64")
                self.assertEqual(MSIDB_64BIT if wants_64 else 0, bits[row["Component_"]], key)
        self.each(check)

    def test_every_component_in_a_folder_of_its_own_bitness(self):
        # Validation (ICE80) rejects a 64-bit component under the 32-bit
        # Program Files and a 32-bit one under the 64-bit Program Files.
        def check(msi, version, platform):
            parents = {row["Directory"]: row["Directory_Parent"] for row in table(msi, "Directory")}

            def root(directory):
                while directory in parents and directory not in FOLDER_BITS:
                    directory = parents[directory]
                return directory
            misplaced = ["%s (%d-bit) in %s under %s" % (
                             row["Component"], 64 if int(row["Attributes"]) & MSIDB_64BIT else 32,
                             row["Directory_"], root(row["Directory_"]))
                         for row in table(msi, "Component")
                         if FOLDER_BITS.get(root(row["Directory_"])) != int(row["Attributes"]) & MSIDB_64BIT]
            self.assertFalse(misplaced, "; ".join(misplaced))
        self.each(check)

    def test_an_upgrade_replaces_the_programs_and_keeps_changed_settings(self):
        # The older version goes after the newer one is in: removed first, it
        # would take the user's settings with it. Files then go in by the
        # versioning rules, which take a program whose row has no version for
        # an unversioned file that never replaces the installed one.
        def check(msi, version, platform):
            sequence = {row["Action"]: int(row["Sequence"]) for row in table(msi, "InstallExecuteSequence")}
            order = ["InstallFiles", "WriteRegistryValues", "InstallExecute", "RemoveExistingProducts",
                     "InstallFinalize"]
            self.assertEqual([], [action for action in order if action not in sequence])
            self.assertEqual(order, sorted(order, key=sequence.__getitem__))
            programs = {row["File"]: row["Version"] for row in table(msi, "File")
                        if row["FileName"].lower().endswith((".exe", ".dll"))}
            self.assertEqual([], [name for name, file_version in programs.items() if not file_version])
            # A program whose version did not rise with the release would stay
            # the older one. (The test twins' upgrade holds the same programs.)
            if not platform.endswith("-test"):
                self.assertEqual({name: version for name in programs}, programs)
            # Under Wine a hash of the settings replaces them at any edit.
            tables = subprocess.run(["msiinfo", "tables", msi], capture_output=True, text=True,
                                    check=True).stdout.split()
            self.assertNotIn("MsiFileHash", tables)
        self.each(check)

    def test_an_upgrade_goes_into_the_folders_the_installed_version_was_given(self):
        # Else an upgrade run without INSTALLDIR installs into Program Files
        # and leaves the older folder behind, files and all. Each folder is
        # written in the install's context and read back from that context's
        # root, in the same view, into a folder the command line left empty,
        # before the per-user folder and the 64-bit folder's following are
        # decided.
        def check(msi, version, platform):
            folders = ["INSTALLDIR", "INSTALLDIR64"] if platform.startswith("x64") else ["INSTALLDIR"]
            bits = {row["Component"]: int(row["Attributes"]) & MSIDB_64BIT for row in table(msi, "Component")}
            rows = [row for row in table(msi, "Registry") if not row["Key"].startswith(CLASSES)]
            self.assertEqual(sorted((f, "[%s]" % f) for f in folders), sorted((r["Name"], r["Value"]) for r in rows))
            (key,) = {row["Key"] for row in rows}
            (view,) = {LOCATOR_64BIT if bits[row["Component_"]] else 0 for row in rows}
            locators = {row["Signature_"]: row for row in table(msi, "RegLocator")}
            found = {}
            for search in table(msi, "AppSearch"):
                locator = locators.get(search["Signature_"])
                if locator and locator["Key"] == key:
                    self.assertEqual(LOCATOR_RAW_VALUE | view, int(locator["Type"]), search["Property"])
                    found[locator["Root"], locator["Name"]] = search["Property"]
            setters = {(row["Source"], row["Target"]): row["Action"] for row in table(msi, "CustomAction")
                       if int(row["Type"]) & 0x3f == SET_PROPERTY}
            for name in ("InstallUISequence", "InstallExecuteSequence"):
                sequence = {row["Action"]: (int(row["Sequence"]), set(row["Condition"].split(" AND ")))
                            for row in table(msi, name)}
                later = min(sequence[a][0] for a in ("PerUserFolder", "FollowInstallDir", "CostFinalize")
                            if a in sequence)
                for folder in folders:
                    for root, context in ((ROOT_HKLM, "ALLUSERS"), (ROOT_HKCU, "NOT ALLUSERS")):
                        action = setters[folder, "[%s]" % found[root, folder]]
                        number, terms = sequence[action]
                        # INSTALLDIR given alone takes INSTALLDIR64 with it.
                        self.assertLessEqual({context, "NOT " + folder, "NOT INSTALLDIR"}, terms, (name, action))
                        self.assertLess(sequence["AppSearch"][0], number, (name, action))
                        self.assertLess(number, later, (name, action))
        self.each(check)

    def test_finds_the_boot_library_before_anything_is_changed(self):
        def check(msi, version, platform):
            for name in ("InstallExecuteSequence", "InstallUISequence"):
                sequence = {row["Action"]: int(row["Sequence"]) for row in table(msi, name)}
                order = ["CostInitialize", "ResolveSource", "AppSearch", "LaunchConditions", "CostFinalize"]
                self.assertEqual(order, sorted(order, key=sequence.__getitem__), name)
                if name == "InstallExecuteSequence":
                    self.assertLess(sequence["LaunchConditions"], sequence["InstallInitialize"])
                    self.assertLess(sequence["InstallValidate"], sequence["MoveFiles"])
                    self.assertLess(sequence["MoveFiles"], sequence["InstallFiles"])
        self.each(check)


if __name__ == "__main__":
    Package.packages = sys.argv[1:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
