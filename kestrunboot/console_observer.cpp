#include "console_observer.h"

#include "ansi_name.h"
#include "boot_message.h"
#include "console_interrupt.h"
#include "console_messages.h"
#include "download_address.h"
#include "tool_registration.h"

#include <cwchar>

namespace {

// A settings file is a few hundred bytes: anything near this is not one,
// and the profile reader would read all of it on every lookup.
const unsigned long long MAX_SETTINGS_FILE_SIZE = 1024 * 1024;

// How long Load_IniFile rests between tries while waiting for the device.
const unsigned long long RETRY_INTERVAL_MS = 500;

const char USE_SETTINGS_OPTION[] = " or name the settings file with --settings FILE.";

} // namespace

CConsoleBootObserver::CConsoleBootObserver(const BOOT_OPTIONS& options, const BOOT_IMAGE& image,
                                           const COutputStream& output, const COutputStream& errors)
    : m_options(options), m_image(image), m_output(output), m_errors(errors)
{
}

SETTINGS_LOOKUP CConsoleBootObserver::FindSettingsFile(PATHBUFFER& szSettingsPath)
{
    if (m_options.pszSettings == nullptr) {
        const SETTINGS_LOOKUP lookup = LocateSettingsFile(szSettingsPath);
        if (lookup != SETTINGS_FOUND)
            return ReportLookup(lookup);
        // The path as the boot library reads it, for the checks and the lines.
        MultiByteToWideChar(CP_ACP, 0, szSettingsPath, -1, m_szSettingsPath, PATH_BUFFER_SIZE);
        if (!CheckSettingsFile())
            return SETTINGS_REFUSED;
        CLine(m_output).Text("Settings: ").Text(m_szSettingsPath).Text(" (in the folder of the registered Kestrun.exe)");
        return SETTINGS_FOUND;
    }

    // A relative name would be looked for in the Windows folder by the
    // profile reader: the library is given the full path.
    const DWORD cchFull = GetFullPathNameW(m_options.pszSettings, PATH_BUFFER_SIZE, m_szSettingsPath, NULL);
    if (cchFull == 0 || cchFull >= PATH_BUFFER_SIZE) {
        CLine(m_errors).Text(ERROR_PREFIX).Text("the settings file's full path is longer than 259 characters: ")
            .Text(m_options.pszSettings);
        return SETTINGS_REFUSED;
    }
    if (!CheckSettingsFile())
        return SETTINGS_REFUSED;
    if (!AnsiNameForBootLibrary(m_szSettingsPath, szSettingsPath)) {
        CLine(m_errors).Text(ERROR_PREFIX).Text(MESSAGE_NAME_NOT_PASSABLE).Text(" Settings file: ").Text(m_szSettingsPath);
        return SETTINGS_REFUSED;
    }
    CLine(m_output).Text("Settings: ").Text(m_szSettingsPath).Text(" (--settings)");
    return SETTINGS_FOUND;
}

SETTINGS_LOOKUP CConsoleBootObserver::ReportLookup(SETTINGS_LOOKUP lookup) const
{
    CLine line(m_errors);
    line.Text(ERROR_PREFIX).Text(MESSAGE_READ_INFO_ERROR).Text(" ");
    switch (lookup) {
    case SETTINGS_NO_COMMAND:
        line.Text("The launcher's registration HKEY_CLASSES_ROOT\\").Text(LAUNCHER_COMMAND_KEY)
            .Text(" is missing, empty or unreadable. Install Kestrun,").Text(USE_SETTINGS_OPTION);
        break;
    case SETTINGS_NO_DIRECTORY:
        line.Text("The launcher's registration HKEY_CLASSES_ROOT\\").Text(LAUNCHER_COMMAND_KEY)
            .Text(" names no folder. Reinstall Kestrun,").Text(USE_SETTINGS_OPTION);
        break;
    default:
        line.Text("The folder of the registered Kestrun.exe is longer than 244 characters, too long for the "
                  "settings file's path. Install Kestrun in a shorter folder,")
            .Text(USE_SETTINGS_OPTION);
        break;
    }
    return lookup;
}

bool CConsoleBootObserver::CheckSettingsFile() const
{
    const FILE_FACTS facts = ReadFileFacts(m_szSettingsPath);
    DWORD dwError = facts.dwError;
    if (facts.bFound && !facts.bFolder && facts.cbSize <= MAX_SETTINGS_FILE_SIZE) {
        dwError = CheckReadable(m_szSettingsPath);
        if (dwError == ERROR_SUCCESS)
            return true;
    }
    CLine line(m_errors);
    line.Text(ERROR_PREFIX).Text("settings file ").Text(m_szSettingsPath);
    if (!facts.bFound)
        line.Text(" not found (error ").Decimal(dwError).Text(").");
    else if (facts.bFolder)
        line.Text(" is a folder, not a file.");
    else if (facts.cbSize > MAX_SETTINGS_FILE_SIZE)
        line.Text(" is ").Decimal(facts.cbSize).Text(" bytes: too large for a settings file (at most ")
            .Decimal(MAX_SETTINGS_FILE_SIZE).Text(").");
    else
        line.Text(" cannot be read (error ").Decimal(dwError).Text("). Close what holds it, or check its permissions.");
    return false;
}

bool CConsoleBootObserver::RetryPreparation(int nResult)
{
    const unsigned long long nNowMs = GetTickCount64();
    const unsigned long long nLimitMs = m_options.nWaitSeconds * 1000ull;
    if (!m_bWaiting && nLimitMs > 0) {
        m_bWaiting = true;
        m_nWaitStartMs = nNowMs;
        CLine(m_output).Text("Waiting up to ").Decimal(m_options.nWaitSeconds)
            .Text(" s for the device (Load_IniFile returned ").Integer(nResult)
            .Text("); Ctrl+C stops.");
    }
    const unsigned long long nWaitedMs = nNowMs - m_nWaitStartMs;
    if (!m_bWaiting || nWaitedMs >= nLimitMs) {
        CLine line(m_errors);
        line.Text(ERROR_PREFIX).Text(MESSAGE_NOT_CONNECTED).Text(" (Load_IniFile returned ")
            .Integer(nResult);
        if (m_bWaiting)
            line.Text(", still after ").Decimal(m_options.nWaitSeconds).Text(" s). Check the board's cable and boot mode.");
        else
            line.Text(") Plug the board in, or let KestrunBoot wait for it with --wait-device SECONDS.");
        return false;
    }
    const unsigned long long nRestMs = nLimitMs - nWaitedMs;
    Sleep(static_cast<DWORD>(nRestMs < RETRY_INTERVAL_MS ? nRestMs : RETRY_INTERVAL_MS));
    return true;
}

void CConsoleBootObserver::DevicePrepared()
{
    if (m_bWaiting)
        CLine(m_output).Text("Device ready after ").Seconds(GetTickCount64() - m_nWaitStartMs).Text(" s.");
}

bool CConsoleBootObserver::GivenAddress(DWORD* pdwDownloadAddress)
{
    if (!m_options.bAddressGiven)
        return false;
    *pdwDownloadAddress = m_options.nAddress;
    CLine(m_output).Text("Load address: ").Address(m_options.nAddress).Text(" (--address)");
    return true;
}

void CConsoleBootObserver::AddressRead(LPCSTR pszSettingsPath, DWORD dwDownloadAddress)
{
    // The profile reader gives 0 for a key it does not find: say which it was.
    char szValue[2] = {};
    GetPrivateProfileStringA(SETTINGS_SECTION, DOWNLOAD_ADDRESS_KEY, "?", szValue, sizeof(szValue), pszSettingsPath);
    CLine line(m_output);
    line.Text("Load address: ").Address(dwDownloadAddress);
    if (szValue[0] == '?' && szValue[1] == '\0')
        line.Text(" (no DnLoadAddr in section [QUORVEX_KESTRUN] of the settings: 0, as Kestrun.exe takes it)");
    else
        line.Text(" (DnLoadAddr of the settings)");
}

void CConsoleBootObserver::TransferStarting(LPCSTR pszImagePath, DWORD)
{
    {
        CLine line(m_output);
        line.Text("Image: ").Text(m_image.szPath).Text(", ").Decimal(m_image.facts.cbSize).Text(" bytes");
        WIDEPATHBUFFER szGiven = {};
        MultiByteToWideChar(CP_ACP, 0, pszImagePath, -1, szGiven, PATH_BUFFER_SIZE);
        if (std::wcscmp(szGiven, m_image.szPath) != 0)
            line.Text(", given to the boot library by its short name ").Text(szGiven);
    }
    BeginTransfer();
    m_nTransferStartMs = GetTickCount64();
}

void CConsoleBootObserver::TransferEnded(int nResult)
{
    EndTransfer();
    const unsigned long long nMs = GetTickCount64() - m_nTransferStartMs;
    if (nResult == 0) {
        CLine(m_output).Text("Booted in ").Seconds(nMs).Text(" s.");
        return;
    }
    CLine(m_errors).Text(ERROR_PREFIX).Text(MESSAGE_KESTRUN_ERROR).Text(" The transfer failed after ").Seconds(nMs)
        .Text(" s (Kestrun returned ").Integer(nResult)
        .Text("). Check the image and the board's connection, then try again.");
}
