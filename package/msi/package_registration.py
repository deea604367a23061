"""The Windows 11 menu's package in the x64 Windows Installer package: the
sparse .msix that gives Kestrun_Tool64.dll its packaged verb, installed beside
the library (its external location) and registered for each user.

On Windows 11 only (build 22000 or later), the package
- installs the .msix (component ContextMenuPackage);
- registers it for the installing user once the files are in place, after
  InstallFinalize (an immediate action, so impersonated), through
  powershell.exe by its full path: Add-AppxPackage -Path -ExternalLocation;
- per machine, registers it for every other user at their next logon through
  Active Setup (component ActiveSetup: HKLM, the same command), and marks it
  done for the installing user (ActiveSetupUser: HKCU), so that it does not
  run again for them;
- at uninstall removes the registration for the current user before the files
  go (deferred, impersonated, before RemoveFiles).
Windows 10 installs as before: no file, no action, no key of these.

Windows Installer's VersionNT and WindowsBuild are no use here: msiexec is
manifested up to Windows 8.1, and on Windows 10 and 11 they report 603 and
9600. The build comes from CurrentBuildNumber in the registry's 64-bit view.

A failed registration does not fail the install (the classic item works
without it): the actions ignore the exit code, which the script makes the
failure's HRESULT, and Windows' installer log records it (Wine's does not).

Quoting. The folder is any Windows allows: blanks, apostrophes (a per-user
install under C:\\Users\\O'Brien), brackets, braces, dollar signs. So no path
ever goes into PowerShell's source. The scripts are constant, held in
properties (a property's value is put into formatted text as it is, where the
text itself would give [ ] and { } a meaning), and the paths follow as
arguments after a comment sign: powershell.exe joins the arguments after
-Command into the script, where they are a comment, and the script reads them
back, split by the platform's rules, with GetCommandLineArgs. No path holds a
double quote, and neither does the script; the folder's closing backslash is
doubled, as a backslash before a closing quote escapes it.
"""

from table_edits import insert, sequence, update

PACKAGE_NAME = "Kestrun.ContextMenu"
# One name in every version: the component keeps its GUID and its key file,
# and an upgrade replaces the file in place (its hash tells Wine it differs).
INSTALLED_NAME = "Kestrun.ContextMenu.msix"
COMPONENT = "ContextMenuPackage"
FILE_KEY = "ContextMenuPackage"
BUILD_PROPERTY = "KESTRUN_WINDOWS_BUILD"
WINDOWS11 = "%s >= 22000" % BUILD_PROPERTY
# A component whose condition is false at uninstall stays installed under
# Wine (the build is read at installs only); Windows removes it either way.
REMOVAL = 'REMOVE = "ALL"'
ACTIVE_SETUP_KEY = "Software\\Microsoft\\Active Setup\\Installed Components\\{9F9CA3F4-2245-45C3-9869-A5B6E42B2A5C}"
ACTIVE_SETUP_NAME = "Quorvex Kestrun"
CURRENT_VERSION_KEY = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
# The last two arguments, which the comment sign keeps out of the script.
REGISTER_SCRIPT = ("trap { exit $_.Exception.HResult }; $a = [Environment]::GetCommandLineArgs(); "
                   "Add-AppxPackage -Path $a[-2] -ExternalLocation $a[-1] -ErrorAction Stop")
UNREGISTER_SCRIPT = ("trap { exit $_.Exception.HResult }; "
                     "Get-AppxPackage -Name %s | Remove-AppxPackage -ErrorAction Stop" % PACKAGE_NAME)
REGISTER_PROPERTY = "KestrunRegisterScript"
UNREGISTER_PROPERTY = "KestrunUnregisterScript"
# The 64-bit PowerShell, never one found along the search path.
POWERSHELL = ('"[System64Folder]WindowsPowerShell\\v1.0\\powershell.exe" '
              "-NoProfile -NonInteractive -WindowStyle Hidden -Command")
REGISTER_COMMAND = '%s "[%s]" # "[#%s]" "[INSTALLDIR64]\\"' % (POWERSHELL, REGISTER_PROPERTY, FILE_KEY)
# The package's path follows as a comment too: the script has no use for it,
# the log says which registration went.
UNREGISTER_COMMAND = '%s "[%s]" # "[#%s]"' % (POWERSHELL, UNREGISTER_PROPERTY, FILE_KEY)

TYPE_EXE_IN_DIRECTORY = 34
TYPE_CONTINUE = 64      # the exit code is logged, not acted on
TYPE_IN_SCRIPT = 1024   # deferred; without 2048 it runs as the user
COMPONENT_REGISTRY_KEYPATH = 4
COMPONENT_64BIT = 256
ROOT_HKCU, ROOT_HKLM = 1, 2
LOCATOR_RAW_VALUE, LOCATOR_64BIT = 2, 16
INSTALL_FINALIZE = 6600
REMOVE_FILES = 3500


def active_setup_version(version):
    """Active Setup compares versions in the comma form."""
    return version.replace(".", ",")


def edits(version):
    for script in (REGISTER_SCRIPT, UNREGISTER_SCRIPT):
        assert '"' not in script, "a double quote would end the script's argument"
    registry_components = COMPONENT_REGISTRY_KEYPATH | COMPONENT_64BIT
    result = [
        # The build, as raw text ("22631") in the 64-bit view.
        insert("RegLocator", ["Signature_"], Signature_=BUILD_PROPERTY, Root=ROOT_HKLM, Key=CURRENT_VERSION_KEY,
               Name="CurrentBuildNumber", Type=LOCATOR_RAW_VALUE | LOCATOR_64BIT),
        insert("AppSearch", ["Property", "Signature_"], Property=BUILD_PROPERTY, Signature_=BUILD_PROPERTY),
        insert("Property", ["Property"], Property=REGISTER_PROPERTY, Value=REGISTER_SCRIPT),
        insert("Property", ["Property"], Property=UNREGISTER_PROPERTY, Value=UNREGISTER_SCRIPT),
        update("Component", {"Component": COMPONENT}, Condition="%s OR %s" % (WINDOWS11, REMOVAL)),
        # Active Setup is per machine: a per-user install has no other users.
        update("Component", {"Component": "ActiveSetup"}, Condition="(%s AND ALLUSERS) OR %s" % (WINDOWS11, REMOVAL),
               KeyPath="ActiveSetupStub", Attributes=registry_components),
        update("Component", {"Component": "ActiveSetupUser"},
               Condition="(%s AND ALLUSERS) OR %s" % (WINDOWS11, REMOVAL),
               KeyPath="ActiveSetupDone", Attributes=registry_components),
        # The key whole: created, and removed at uninstall.
        insert("Registry", ["Registry"], Registry="ActiveSetupKey", Root=ROOT_HKLM, Key=ACTIVE_SETUP_KEY,
               Name="*", Component_="ActiveSetup"),
        insert("Registry", ["Registry"], Registry="ActiveSetupName", Root=ROOT_HKLM, Key=ACTIVE_SETUP_KEY,
               Value=ACTIVE_SETUP_NAME, Component_="ActiveSetup"),
        insert("Registry", ["Registry"], Registry="ActiveSetupStub", Root=ROOT_HKLM, Key=ACTIVE_SETUP_KEY,
               Name="StubPath", Value=REGISTER_COMMAND, Component_="ActiveSetup"),
        insert("Registry", ["Registry"], Registry="ActiveSetupVersion", Root=ROOT_HKLM, Key=ACTIVE_SETUP_KEY,
               Name="Version", Value=active_setup_version(version), Component_="ActiveSetup"),
        # The installing user was registered by the install itself.
        insert("Registry", ["Registry"], Registry="ActiveSetupUserKey", Root=ROOT_HKCU, Key=ACTIVE_SETUP_KEY,
               Name="*", Component_="ActiveSetupUser"),
        insert("Registry", ["Registry"], Registry="ActiveSetupDone", Root=ROOT_HKCU, Key=ACTIVE_SETUP_KEY,
               Name="Version", Value=active_setup_version(version), Component_="ActiveSetupUser"),
        insert("CustomAction", ["Action"], Action="RegisterMenuPackage", Type=TYPE_EXE_IN_DIRECTORY | TYPE_CONTINUE,
               Source="TARGETDIR", Target=REGISTER_COMMAND),
        insert("CustomAction", ["Action"], Action="UnregisterMenuPackage",
               Type=TYPE_EXE_IN_DIRECTORY | TYPE_CONTINUE | TYPE_IN_SCRIPT, Source="TARGETDIR",
               Target=UNREGISTER_COMMAND),
        # After InstallFinalize the files are in place, and the older version's
        # removal, which takes its registration away (RemoveExistingProducts,
        # within the transaction), is over: the newer one registers last.
        sequence("InstallExecuteSequence", "RegisterMenuPackage", INSTALL_FINALIZE + 10,
                 "$%s = 3" % COMPONENT),
        sequence("InstallExecuteSequence", "UnregisterMenuPackage", REMOVE_FILES - 10,
                 '%s AND ?%s = 3' % (REMOVAL, COMPONENT)),
    ]
    # The menu's folder within the launcher's goes first at uninstall, and the
    # launcher's is then left empty: RemoveFolders (after RemoveFiles) takes
    # it. (Wine's RemoveFiles tries the outer folder first, by the tables'
    # order of folders, and keeps it.)
    result += [
        insert("CreateFolder", ["Directory_", "Component_"], Directory_="INSTALLDIR", Component_="Launcher"),
        sequence("InstallExecuteSequence", "RemoveFolders", 3600),
        sequence("InstallExecuteSequence", "CreateFolders", 3700),
    ]
    # A folder given on the command line may lack its closing backslash.
    apart = "INSTALLDIR AND NOT INSTALLDIR64 AND " + WINDOWS11
    for table in ("InstallUISequence", "InstallExecuteSequence"):
        result += [sequence(table, "EndInstallDirWithBackslash", 989, apart + ' AND NOT INSTALLDIR >> "\\"'),
                   sequence(table, "FollowInstallDirApart", 991, apart)]
    return result
