#include "device_transfer.h"

#include "call_log.h"

#include <cstdio>

namespace {

class CFile
{
public:
    explicit CFile(HANDLE h) : m_h(h) {}
    ~CFile() { if (IsOpen()) CloseHandle(m_h); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
private:
    HANDLE m_h;
};

LONG g_nTransfers = 0;

// Waits until dwDueMs after dwStart, watching that the device stays present.
bool WaitUntil(const STANDIN_SETTINGS& settings, DWORD dwStart, ULONGLONG dwDueMs)
{
    for (;;) {
        if (!IsDevicePresent(settings))
            return false;
        ULONGLONG elapsed = GetTickCount() - dwStart;
        if (elapsed >= dwDueMs)
            return true;
        ULONGLONG remaining = dwDueMs - elapsed;
        Sleep(static_cast<DWORD>(remaining < 50 ? remaining : 50));
    }
}

void AppendDeviceRecord(const STANDIN_SETTINGS& settings, const char* pszName, DWORD dwAddress,
                        ULONGLONG cbArrived, LPCSTR pszImagePath)
{
    char szLogPath[MAX_PATH * 2];
    std::snprintf(szLogPath, sizeof(szLogPath), "%s\\device.log", settings.szDeviceDir);
    char szLine[MAX_PATH * 3];
    int cch = std::snprintf(szLine, sizeof(szLine), "%s\taddress=0x%08lX\tbytes=%llu\timage=%s\r\n",
                            pszName, dwAddress, cbArrived, pszImagePath);
    if (cch < 0 || cch >= static_cast<int>(sizeof(szLine)))
        cch = sizeof(szLine) - 1;
    AppendToFile(szLogPath, szLine, static_cast<DWORD>(cch));
}

} // namespace

TRANSFER_RESULT TransferImage(const STANDIN_SETTINGS& settings, LPCSTR pszImagePath, DWORD dwDownloadAddress)
{
    CFile image(CreateFileA(pszImagePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!image.IsOpen())
        return TRANSFER_IMAGE_UNREADABLE;
    if (!IsDevicePresent(settings))
        return TRANSFER_DEVICE_GONE;

    char szName[64];
    std::snprintf(szName, sizeof(szName), "boot-%lu-%ld.bin", GetCurrentProcessId(),
                  InterlockedIncrement(&g_nTransfers));
    char szTarget[MAX_PATH * 2];
    std::snprintf(szTarget, sizeof(szTarget), "%s\\%s", settings.szDeviceDir, szName);
    CFile target(CreateFileA(szTarget, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL));
    if (!target.IsOpen())
        return TRANSFER_DEVICE_GONE;

    const DWORD dwStart = GetTickCount();
    if (!WaitUntil(settings, dwStart, settings.dwLatencyMs))
        return TRANSFER_DEVICE_GONE;

    ULONGLONG cbArrived = 0;
    for (;;) {
        char buffer[4096];
        DWORD cbRead = 0;
        if (!ReadFile(image.Get(), buffer, sizeof(buffer), &cbRead, NULL))
            return TRANSFER_IMAGE_UNREADABLE;
        if (cbRead == 0)
            break;
        DWORD cbWritten = 0;
        if (!WriteFile(target.Get(), buffer, cbRead, &cbWritten, NULL) || cbWritten != cbRead)
            return TRANSFER_DEVICE_GONE;
        cbArrived += cbRead;
        if (settings.dwRateBytesPerSecond != 0) {
            ULONGLONG dueMs = settings.dwLatencyMs + cbArrived * 1000 / settings.dwRateBytesPerSecond;
            if (!WaitUntil(settings, dwStart, dueMs))
                return TRANSFER_DEVICE_GONE;
        }
    }

    AppendDeviceRecord(settings, szName, dwDownloadAddress, cbArrived, pszImagePath);
    return TRANSFER_OK;
}
