"""Static checks of the Windows Installer packages, read with msiinfo: what
Windows Installer will do with them, short of running it.

  check_msi.py PACKAGE...     (named Kestrun-<version>-<platform>.msi)
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile

CLASSES = "Software\\Classes\\"
REDIRECTED = ("CLSID\\", "Interface\\")
MSIDB_64BIT = 256
# The roots of the folder trees whose bitness validation checks (ICE80).
FOLDER_BITS = {"ProgramFilesFolder": 0, "ProgramFiles64Folder": MSIDB_64BIT}
ROOT_HKCU, ROOT_HKLM = "1", "2"
LOCATOR_RAW_VALUE, LOCATOR_64BIT = 2, 16
SET_PROPERTY = 51
EXE_IN_DIRECTORY, CONTINUE, IN_SCRIPT = 34, 64, 1024
MENU_PACKAGE = "Kestrun.ContextMenu.msix"
ACTIVE_SETUP = "Software\\Microsoft\\Active Setup\\Installed Components\\"
WINDOWS11 = "KESTRUN_WINDOWS_BUILD >= 22000"
POWERSHELL = '"[System64Folder]WindowsPowerShell\\v1.0\\powershell.exe" '


def table(msi, name):
    out = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True, check=True).stdout
    lines = out.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def sequence(msi):
    return {row["Action"]: (int(row["Sequence"]), row["Condition"]) for row in table(msi, "InstallExecuteSequence")}


def packaged_manifest(msi):
    """The Identity element of the menu package the package holds."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, msi], capture_output=True, check=True)
        path = next(os.path.join(d, MENU_PACKAGE) for d, _, names in os.walk(folder) if MENU_PACKAGE in names)
        root = ET.fromstring(zipfile.ZipFile(path).read("AppxManifest.xml"))
    return next(e for e in root.iter() if e.tag.rsplit("}", 1)[-1] == "Identity").attrib


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
                expected |= {"Kestrun_Tool64.dll", MENU_PACKAGE}
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
                if row["Key"].startswith(ACTIVE_SETUP):
                    continue  # the machine's and the installing user's, checked below
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
            # Under Wine a hash of the settings replaces them at any edit; the
            # menu package's, never edited, is what makes Wine replace the
            # older one of the same size.
            tables = subprocess.run(["msiinfo", "tables", msi], capture_output=True, text=True,
                                    check=True).stdout.split()
            hashed = [row["File_"] for row in table(msi, "MsiFileHash")] if "MsiFileHash" in tables else []
            self.assertEqual(["ContextMenuPackage"] if platform.startswith("x64") else [], hashed)
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
            rows = [row for row in table(msi, "Registry") if not row["Key"].startswith((CLASSES, ACTIVE_SETUP))]
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
                later = min(sequence[a][0] for a in ("PerUserFolder", "EndInstallDirWithBackslash", "FollowInstallDirApart",
                                                     "FollowInstallDir", "CostFinalize") if a in sequence)
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

    def test_registers_the_windows_11_menu_for_each_user_after_the_files_and_before_they_go(self):
        def check(msi, version, platform):
            actions = {row["Action"]: row for row in table(msi, "CustomAction")}
            active_setup = [row for row in table(msi, "Registry") if row["Key"].startswith(ACTIVE_SETUP)]
            if not platform.startswith("x64"):
                self.assertEqual([], [a for a, row in actions.items() if "powershell" in row["Target"].lower()])
                self.assertEqual([], active_setup)
                return
            properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
            components = {row["Component"]: row for row in table(msi, "Component")}
            steps = sequence(msi)
            # Windows Installer's VersionNT says 603 on Windows 10 and 11: the
            # build, read from the 64-bit view as it is.
            locators = {row["Signature_"]: row for row in table(msi, "RegLocator")}
            searches = {row["Property"]: row["Signature_"] for row in table(msi, "AppSearch")}
            build = locators[searches["KESTRUN_WINDOWS_BUILD"]]
            self.assertEqual((ROOT_HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber",
                              LOCATOR_RAW_VALUE | LOCATOR_64BIT),
                             (build["Root"], build["Key"], build["Name"], int(build["Type"])))
            # The menu package: its own 64-bit component, Windows 11 only, in
            # the external location, which holds nothing else but the library.
            package = components["ContextMenuPackage"]
            self.assertEqual(MSIDB_64BIT, int(package["Attributes"]) & MSIDB_64BIT)
            self.assertIn(WINDOWS11, package["Condition"])
            files = {row["FileName"].split("|")[-1] for row in table(msi, "File")
                     if components[row["Component_"]]["Directory_"] == package["Directory_"]}
            self.assertEqual(("INSTALLDIR64", {"Kestrun_Tool64.dll", MENU_PACKAGE}), (package["Directory_"], files))
            identity = packaged_manifest(msi)
            self.assertEqual(("Kestrun.ContextMenu", version, "x64"),
                             (identity.get("Name"), identity.get("Version"), identity.get("ProcessorArchitecture")))

            # Registration: PowerShell by its full path, immediate (so as the
            # user) after InstallFinalize, when the older version's removal
            # (RemoveExistingProducts) is over; a failure does not fail the
            # install. Removal: deferred as the user, before RemoveFiles.
            register, unregister = actions["RegisterMenuPackage"], actions["UnregisterMenuPackage"]
            self.assertEqual(EXE_IN_DIRECTORY | CONTINUE, int(register["Type"]))
            self.assertEqual(EXE_IN_DIRECTORY | CONTINUE | IN_SCRIPT, int(unregister["Type"]))  # no NO_IMPERSONATE
            self.assertLess(max(steps["InstallFinalize"][0], steps["RemoveExistingProducts"][0]),
                            steps["RegisterMenuPackage"][0])
            self.assertIn("$ContextMenuPackage = 3", steps["RegisterMenuPackage"][1])
            self.assertLess(steps["InstallInitialize"][0], steps["UnregisterMenuPackage"][0])
            self.assertLess(steps["UnregisterMenuPackage"][0], steps["RemoveFiles"][0])
            self.assertLessEqual({'REMOVE = "ALL"', "?ContextMenuPackage = 3"},
                                 set(steps["UnregisterMenuPackage"][1].split(" AND ")))
            # No path in the script, which takes the last two arguments; they
            # follow a comment sign, the folder's closing backslash doubled.
            # The template gives [ ] and { } no meaning but its property
            # references. A failure's HRESULT is the exit code.
            for action, parts in ((register, ["$a = [Environment]::GetCommandLineArgs()",
                                              "Add-AppxPackage -Path $a[-2] -ExternalLocation $a[-1]"]),
                                  (unregister, ["Get-AppxPackage -Name Kestrun.ContextMenu | Remove-AppxPackage"])):
                target = action["Target"]
                self.assertTrue(target.startswith(POWERSHELL + "-NoProfile"), target)
                script = properties[re.match(re.escape(POWERSHELL) + r'[^"]*"\[([A-Za-z]+)\]"', target).group(1)]
                for part in parts + ["trap { exit $_.Exception.HResult }", "-ErrorAction Stop"]:
                    self.assertIn(part, script)
                self.assertNotIn('"', script)
                bare = re.sub(r"\[[#!]?[A-Za-z0-9_.]+\]", "", target)
                self.assertEqual("", re.sub(r"[^\[\]{}]", "", bare), target)
            self.assertTrue(register["Target"].endswith(' # "[#ContextMenuPackage]" "[INSTALLDIR64]\\"'))

            # Every other user at their next logon, per machine on Windows 11.
            rows = {(row["Root"], row["Name"]): row for row in active_setup}
            self.assertEqual(1, len({row["Key"] for row in active_setup}))
            comma_version = version.replace(".", ",")
            self.assertEqual(("Quorvex Kestrun", comma_version, register["Target"], comma_version),
                             (rows[ROOT_HKLM, ""]["Value"], rows[ROOT_HKLM, "Version"]["Value"],
                              rows[ROOT_HKLM, "StubPath"]["Value"], rows[ROOT_HKCU, "Version"]["Value"]))
            for row in active_setup:
                component = components[row["Component_"]]
                self.assertEqual(MSIDB_64BIT, int(component["Attributes"]) & MSIDB_64BIT)
                self.assertIn("%s AND ALLUSERS" % WINDOWS11, component["Condition"])
        self.each(check)


if __name__ == "__main__":
    Package.packages = sys.argv[1:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
