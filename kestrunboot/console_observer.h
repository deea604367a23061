#pragma once
// The console program's part in the boot request's steps (boot_steps.h):
// it tells each step on standard output and every failure on standard
// error, checks the settings file before the boot library reads it, gives
// the --settings file and the --address, waits for the device when asked to,
// and keeps Ctrl+C away from the transfer.

#include "boot_image.h"
#include "boot_options.h"
#include "boot_steps.h"
#include "console_output.h"

class CConsoleBootObserver : public CSilentBootObserver
{
public:
    CConsoleBootObserver(const BOOT_OPTIONS& options, const BOOT_IMAGE& image, const COutputStream& output,
                         const COutputStream& errors);

    SETTINGS_LOOKUP FindSettingsFile(PATHBUFFER& szSettingsPath);
    bool RetryPreparation(int nResult);
    void DevicePrepared();
    bool GivenAddress(DWORD* pdwDownloadAddress);
    void AddressRead(LPCSTR pszSettingsPath, DWORD dwDownloadAddress);
    void TransferStarting(LPCSTR pszImagePath, DWORD dwDownloadAddress);
    void TransferEnded(int nResult);

private:
    SETTINGS_LOOKUP ReportLookup(SETTINGS_LOOKUP lookup) const;
    bool CheckSettingsFile() const;
    void ReportNotConnected() const;

    const BOOT_OPTIONS& m_options;
    const BOOT_IMAGE& m_image;
    const COutputStream& m_output;
    const COutputStream& m_errors;
    WIDEPATHBUFFER m_szSettingsPath = {};   // the settings file by its true name
    bool m_bWaiting = false;
    unsigned long long m_nWaitStartMs = 0;
    unsigned long long m_nTransferStartMs = 0;
};
