"""Builds a Kestrun Windows Installer package with wixl and msibuild.

  build_msi.py --platform x86|x64 --version V --manufacturer M --out X.msi
               --work DIR --launcher Kestrun.exe --console KestrunBoot.exe --extension Kestrun_Tool.dll
               [--extension64 Kestrun_Tool64.dll (x64)] [--msix <the menu package> (x64)]
               --settings LORVANE_SET.INI

The files are staged under their installed names in DIR with Kestrun.wxs.
The x64 package with --msix installs and registers the Windows 11 menu's
package (package_registration.py). With KESTRUN_SIGN_CERT and
KESTRUN_SIGN_KEY set, the programs are signed before they go into the package,
and the package after it is complete; both signatures are verified
(signing.py). Every failure ends with one line saying why.
"""

import argparse
import os
import shutil
import subprocess
import sys
import traceback
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import package_registration  # noqa: E402
import registration_rows  # noqa: E402
import signing  # noqa: E402
from pe_image import PeImage  # noqa: E402  (registration_rows put it on the path)
from table_edits import (EditError, apply, create_table, delete, drop_table, insert, sequence,  # noqa: E402
                         table_rows, update)

# ProductCode = a name-based UUID of platform and version: a new version is a
# new product (major upgrade); the same build made twice is the same product.
PRODUCT_CODE_NAMESPACE = uuid.UUID("9ABA854F-D73C-42BA-8F24-A66CD60D6635")
MSIDB_COMPONENT_REGISTRY_KEYPATH = 4
MSIDB_COMPONENT_64BIT = 256
CLASSES = "Software\\Classes\\"
# HKMU: HKLM for a per-machine install, HKCU for a per-user one.
ROOT_HKMU = -1
ROOT_HKCU = 1
ROOT_HKLM = 2
LOCATOR_RAW_VALUE = 2
LOCATOR_64BIT = 16
REMEMBERED_KEY = "Software\\Kestrun"


class BuildError(Exception):
    """A failure of this step: its first line says why, the rest shows the
    output that tells more."""


def fail(message):
    """Prints the details first and ends with the one line saying why."""
    reason, _, details = message.partition("\n")
    if details.strip():
        print(details.rstrip(), file=sys.stderr)
    sys.exit("build_msi.py: " + reason.rstrip(":"))


def run_wixl(work, platform, version, manufacturer, msi, msix_name):
    product_code = str(uuid.uuid5(PRODUCT_CODE_NAMESPACE, "%s %s" % (platform, version))).upper()
    command = ["wixl", "-a", platform, "-o", msi,
               "-D", "Version=" + version, "-D", "ProductCode=" + product_code,
               "-D", "Platform=" + platform, "-D", "Manufacturer=" + manufacturer]
    if msix_name:
        command += ["-D", "Msix=" + msix_name]
    result = subprocess.run(command + ["Kestrun.wxs"], cwd=work, capture_output=True, text=True)
    # wixl leaves out what it does not know with a warning and still exits 0;
    # a package missing an attribute is not the package described.
    noise = [line for line in (result.stdout + result.stderr).splitlines() if line.strip()]
    if result.returncode != 0 or noise:
        raise BuildError("wixl failed (exit code %d):\n%s" % (result.returncode, "\n".join(noise)))


def registry_edits(rows, platform, actions):
    """actions: those the execute sequence already has. wixl schedules the
    registry actions only when it wrote rows itself."""
    edits, keypath = [], None
    for action, number in (("RemoveRegistryValues", 2600), ("WriteRegistryValues", 5000)):
        if action not in actions:
            edits.append(sequence("InstallExecuteSequence", action, number))
    for index, (key, name, value, component) in enumerate(rows):
        row_id = "Registry%02d" % index
        edits.append(insert("Registry", ["Registry"], Registry=row_id, Root=ROOT_HKMU, Key=CLASSES + key,
                            Name=name, Value=value, Component_=component))
        if key.endswith("\\shell\\open\\command") and component == "Registration":
            keypath = row_id
    if keypath is None:
        raise BuildError("no open command among the registry rows")
    # The open command stands for the registration: repair checks it.
    attributes = MSIDB_COMPONENT_REGISTRY_KEYPATH | (MSIDB_COMPONENT_64BIT if platform == "x64" else 0)
    edits.append(update("Component", {"Component": "Registration"}, KeyPath=keypath, Attributes=attributes))
    return edits


def file_edits(work, names, hashed, keep_hash):
    """wixl leaves File.Version empty, and the Installer takes a file whose row
    has no version for an unversioned one, which never replaces a versioned
    file already installed: an upgrade would keep the older programs. The
    versions and languages are those of the programs' own resources.
    wixl also hashes every file, but a hash belongs to unversioned files only,
    and the settings are better left to their dates: Windows keeps them when
    the user changed them since the install, hash or no hash, while Wine
    replaces them whenever a hash differs. The menu package keeps its hash:
    nobody edits it, and without one Wine would keep the older version's file
    of the same size."""
    edits = []
    for name in names:
        if name.lower().endswith((".exe", ".dll")):
            fixed, tables = PeImage(os.path.join(work, name)).version()
            version = "%d.%d.%d.%d" % fixed["file_version"]
            language = ",".join(sorted({str(int(key[:4], 16)) for key in tables}))
            edits.append(update("File", {"File": name}, Version=version, Language=language))
    if keep_hash is None:
        return edits + [drop_table("MsiFileHash")]
    if keep_hash not in hashed:
        raise BuildError("wixl wrote no hash of %s" % keep_hash)
    return edits + [delete("MsiFileHash", {"File_": key}) for key in hashed if key != keep_hash]


def upgrade_edits():
    """The newer version's files and keys go in first, under the file-versioning
    rules (a settings file the user changed since it was installed stays). The
    older product's removal then finds each component, of the same GUID, still
    used by the newer one and drops only what the newer one no longer has.
    The newer product is registered after that removal: Wine's deletes the
    whole UpgradeCode registration, the newer product's entry too."""
    return [
        sequence("InstallExecuteSequence", "InstallExecute", 5900),
        update("InstallExecuteSequence", {"Action": "RemoveExistingProducts"}, Sequence=5950),
    ]


def search_and_copy_edits(platform, secure_properties):
    """The user's Lorvane.dll: found beside the package (or in LORVANEDIR),
    copied into the install folder, and the copy removed at uninstall. The
    package folder is known only after ResolveSource, so the search runs after
    it and before the launch conditions, ahead of InstallInitialize: a refusal
    changes nothing."""
    edits = [
        create_table("DrLocator",
                     "CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255), "
                     "`Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)"),
        create_table("MoveFile",
                     "CREATE TABLE `MoveFile` (`FileKey` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
                     "`SourceName` CHAR(255) LOCALIZABLE, `DestName` CHAR(255) LOCALIZABLE, "
                     "`SourceFolder` CHAR(72), `DestFolder` CHAR(72) NOT NULL, `Options` SHORT NOT NULL "
                     "PRIMARY KEY `FileKey`)"),
        insert("Signature", ["Signature"], Signature="LorvaneDll", FileName="Lorvane.dll"),
        insert("DrLocator", ["Signature_"], Signature_="LorvaneDll", Path="[LORVANE_SEARCH_DIR]", Depth=0),
        insert("AppSearch", ["Property", "Signature_"], Property="LORVANE_DLL", Signature_="LorvaneDll"),
        # SourceFolder holds the file's full path: SourceName stays empty.
        insert("MoveFile", ["FileKey"], FileKey="LorvaneCopy", Component_="Launcher", DestName="Lorvane.dll",
               SourceFolder="LORVANE_DLL", DestFolder="INSTALLDIR", Options=0),
        # 2: at uninstall only.
        insert("RemoveFile", ["FileKey"], FileKey="LorvaneCopy", Component_="Launcher", FileName="Lorvane.dll",
               DirProperty="INSTALLDIR", InstallMode=2),
        update("Property", {"Property": "SecureCustomProperties"},
               Value=";".join(["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED", "LORVANEDIR", "LORVANE_DLL"]
                              + secure_properties)),
    ]
    for table in ("InstallUISequence", "InstallExecuteSequence"):
        edits += [
            update(table, {"Action": "LaunchConditions"}, Sequence=870),
            sequence(table, "ResolveSource", 850, "NOT Installed"),
            sequence(table, "SearchGivenFolder", 851, "NOT Installed AND LORVANEDIR"),
            sequence(table, "SearchPackageFolder", 852, "NOT Installed AND NOT LORVANEDIR"),
            sequence(table, "AppSearch", 860, "NOT Installed"),
            sequence(table, "PerUserFolder", 990, "NOT ALLUSERS AND NOT INSTALLDIR"),
        ]
        if platform == "x64":
            # After FollowInstallDirApart (991), which keeps the Windows 11
            # menu's folder apart where there is one.
            edits.append(sequence(table, "FollowInstallDir", 992, "INSTALLDIR AND NOT INSTALLDIR64"))
    edits.append(sequence("InstallExecuteSequence", "MoveFiles", 3800))
    return edits


def remembered_folder_edits(platform):
    """The folders an install went into, for the next version's upgrade, which
    is run without them: it would install into Program Files, and the older
    product's removal, which keeps every component the newer one uses, would
    leave the older folder behind, files and all. The install writes its
    folders under a key of its own in its context's root, with the
    Registration component (in its view; removed at uninstall). The next install
    reads both roots into properties of their own (a search knows no root -1)
    and copies its context's value into a folder the command line left empty
    (RememberedDir and the like, Kestrun.wxs). The 64-bit folder first: its
    condition asks whether INSTALLDIR was given, and INSTALLDIR given alone
    takes INSTALLDIR64 with it (FollowInstallDir)."""
    folders = ["INSTALLDIR64", "INSTALLDIR"] if platform == "x64" else ["INSTALLDIR"]
    view = LOCATOR_64BIT if platform == "x64" else 0  # Registration's
    edits, number = [], 861
    for folder in folders:
        edits.append(insert("Registry", ["Registry"], Registry="Remembered" + folder, Root=ROOT_HKMU,
                            Key=REMEMBERED_KEY, Name=folder, Value="[%s]" % folder, Component_="Registration"))
        suffix = folder[len("INSTALLDIR"):]
        for root, context, action in ((ROOT_HKLM, "ALLUSERS", "RememberedDir"),
                                      (ROOT_HKCU, "NOT ALLUSERS", "RememberedUserDir")):
            found = "%s_%s" % (folder, "HKLM" if root == ROOT_HKLM else "HKCU")
            edits += [
                insert("RegLocator", ["Signature_"], Signature_=found, Root=root, Key=REMEMBERED_KEY, Name=folder,
                       Type=LOCATOR_RAW_VALUE | view),
                insert("AppSearch", ["Property", "Signature_"], Property=found, Signature_=found),
            ]
            given = " AND ".join("NOT " + f for f in folders[folders.index(folder):])
            for table in ("InstallUISequence", "InstallExecuteSequence"):
                edits.append(sequence(table, action + suffix, number, "%s AND %s AND %s" % (context, given, found)))
            number += 1
    return edits


def main():
    try:
        build()
    except (BuildError, EditError, signing.SigningError, ValueError) as e:
        fail(str(e))
    except subprocess.CalledProcessError as e:
        fail("%s failed (exit code %d):\n%s%s" % (" ".join(e.cmd[:2]), e.returncode, e.stdout or "", e.stderr or ""))
    except OSError as e:
        fail(str(e))
    except Exception as e:  # noqa: BLE001  a fault of this script: show where
        traceback.print_exc()
        fail("%s: %s" % (type(e).__name__, e))


def build():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--platform", choices=["x86", "x64"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--manufacturer", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--console", required=True)
    parser.add_argument("--extension", required=True)
    parser.add_argument("--extension64")
    parser.add_argument("--msix")
    parser.add_argument("--settings", required=True)
    args = parser.parse_args()
    if (args.platform == "x64") != (args.extension64 is not None):
        raise BuildError("--extension64 belongs to the x64 package, and only to it")
    if args.msix and args.platform != "x64":
        raise BuildError("--msix belongs to the x64 package only: Windows 11 has no 32-bit edition")
    msix_name = package_registration.INSTALLED_NAME if args.msix else None

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    staged = {"Kestrun.exe": args.launcher, "KestrunBoot.exe": args.console, "Kestrun_Tool.dll": args.extension,
              "LORVANE_SET.INI": args.settings}
    if args.extension64:
        staged["Kestrun_Tool64.dll"] = args.extension64
    if msix_name:
        staged[msix_name] = args.msix
    for name, source in staged.items():
        shutil.copyfile(source, os.path.join(work, name))
    shutil.copyfile(os.path.join(HERE, "Kestrun.wxs"), os.path.join(work, "Kestrun.wxs"))

    signer = signing.from_environment()
    if signer:
        for name in staged:
            if name.endswith((".exe", ".dll")):
                signer.sign(os.path.join(work, name))

    # The type library's HELPDIR is one value both libraries write: whichever
    # registers last wins. The package names the launcher's folder for both.
    libraries = [(os.path.join(work, "Kestrun_Tool.dll"), "Kestrun_Tool.dll", "INSTALLDIR", "Extension")]
    if args.extension64:
        libraries.append((os.path.join(work, "Kestrun_Tool64.dll"), "Kestrun_Tool64.dll", "INSTALLDIR", "Extension64"))
    rows = registration_rows.package_rows(libraries, "Kestrun.exe", "Registration")

    msi = os.path.join(work, "Kestrun.msi")
    run_wixl(work, args.platform, args.version, args.manufacturer, msi, msix_name)
    actions = {row["Action"] for row in table_rows(msi, "InstallExecuteSequence")}
    hashed = [row["File_"] for row in table_rows(msi, "MsiFileHash")]
    secure = [package_registration.BUILD_PROPERTY] if msix_name else []
    keep_hash = package_registration.FILE_KEY if msix_name else None
    edits = (registry_edits(rows, args.platform, actions) + search_and_copy_edits(args.platform, secure)
             + remembered_folder_edits(args.platform) + upgrade_edits()
             + file_edits(work, staged, hashed, keep_hash))
    if msix_name:
        edits += package_registration.edits(args.version)
    apply(msi, edits)
    out = os.path.abspath(args.out)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    if os.path.exists(out):
        os.remove(out)
    if signer:
        signer.sign(msi, out)
    else:
        shutil.copyfile(msi, out)
    print(out)


if __name__ == "__main__":
    main()
