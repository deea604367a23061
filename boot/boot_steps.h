#pragma once
// The boot request's steps, in their order, for every program that drives
// one: the settings file, Load_IniFile, the download address, then Kestrun
// on the calling thread. The steps show nothing: they return the outcome,
// tell the observer of each step and ask it where the driving program has a
// say. LIBRARY is the program's binding of the boot library
// (imported_boot_library.h or loaded_boot_library.h), called the same way
// whichever it is.

#include "boot_outcome.h"
#include "download_address.h"
#include "path_buffer.h"
#include "settings_file.h"

#include <windows.h>

// The observer of a program that adds nothing to the steps: every hook keeps
// the request as the launcher runs it. An observer of its own derives from
// it and hides the hooks it needs; the steps call them through the
// observer's own type, so the empty ones compile away.
class CSilentBootObserver
{
public:
    // Fills szSettingsPath with the settings file to use: by default the one
    // in the folder of the registered launcher.
    SETTINGS_LOOKUP FindSettingsFile(PATHBUFFER& szSettingsPath) { return LocateSettingsFile(szSettingsPath); }
    // Load_IniFile returned nResult (nonzero): true to call it again.
    bool RetryPreparation(int /*nResult*/) { return false; }
    // Load_IniFile returned 0.
    void DevicePrepared() {}
    // True, with the address, when the program gives one: DnLoadAddr is then
    // not read.
    bool GivenAddress(DWORD* /*pdwDownloadAddress*/) { return false; }
    void AddressRead(LPCSTR /*pszSettingsPath*/, DWORD /*dwDownloadAddress*/) {}
    // Around the transfer; pszImagePath is what the library is given.
    void TransferStarting(LPCSTR /*pszImagePath*/, DWORD /*dwDownloadAddress*/) {}
    void TransferEnded(int /*nResult*/) {}
};

// The settings file, the device and the address: BOOT_PREPARED with the
// address in *pdwDownloadAddress, or how it failed (the address untouched).
template <class LIBRARY, class OBSERVER>
BOOT_OUTCOME PrepareBoot(const LIBRARY& library, OBSERVER& observer, PATHBUFFER& szSettingsPath,
                         DWORD* pdwDownloadAddress)
{
    const SETTINGS_LOOKUP lookup = observer.FindSettingsFile(szSettingsPath);
    if (lookup != SETTINGS_FOUND)
        return SettingsOutcome(lookup);

    for (int nResult; (nResult = library.LoadIniFile(szSettingsPath)) != 0;) {
        if (!observer.RetryPreparation(nResult))
            return BOOT_NOT_CONNECTED;
    }
    observer.DevicePrepared();

    if (!observer.GivenAddress(pdwDownloadAddress)) {
        *pdwDownloadAddress = ReadDownloadAddress(szSettingsPath);
        observer.AddressRead(szSettingsPath, *pdwDownloadAddress);
    }
    return BOOT_PREPARED;
}

// The whole request, waiting for the transfer. The download address is
// stored in *pdwDownloadAddress (when not null) once it is known.
template <class LIBRARY, class OBSERVER>
BOOT_OUTCOME RunBootSteps(const LIBRARY& library, OBSERVER& observer, LPCSTR pszImagePath,
                          DWORD* pdwDownloadAddress)
{
    PATHBUFFER szSettingsPath;
    DWORD dwDownloadAddress = 0;
    const BOOT_OUTCOME prepared = PrepareBoot(library, observer, szSettingsPath, &dwDownloadAddress);
    if (prepared != BOOT_PREPARED)
        return prepared;
    if (pdwDownloadAddress != NULL)
        *pdwDownloadAddress = dwDownloadAddress;

    // The library takes a writable string: give it our own copy.
    PATHBUFFER szImagePath = {};
    CopyPath(szImagePath, pszImagePath);
    observer.TransferStarting(szImagePath, dwDownloadAddress);
    const int nResult = library.Kestrun(szImagePath, dwDownloadAddress);
    observer.TransferEnded(nResult);
    return nResult == 0 ? BOOT_BOOTED : BOOT_TRANSFER_FAILED;
}
