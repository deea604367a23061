#include "file_facts.h"

namespace {

class CFileHandle
{
public:
    explicit CFileHandle(HANDLE hFile) : m_hFile(hFile) {}
    ~CFileHandle()
    {
        if (IsOpen())
            CloseHandle(m_hFile);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFile;
};

} // namespace

FILE_FACTS ReadFileFacts(LPCWSTR pszPath)
{
    FILE_FACTS facts = {false, false, 0, ERROR_SUCCESS};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(pszPath, GetFileExInfoStandard, &data)) {
        facts.dwError = GetLastError();
        return facts;
    }
    facts.bFound = true;
    facts.bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.cbSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return facts;
}

DWORD CheckReadable(LPCWSTR pszPath)
{
    const CFileHandle file(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    return file.IsOpen() ? ERROR_SUCCESS : GetLastError();
}
