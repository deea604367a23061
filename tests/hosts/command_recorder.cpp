// command_recorder: plays a program the package starts (powershell.exe, which
// registers the Windows 11 menu's package) and records how it was started.
// Each call appends to <its own path without the extension>.log, in UTF-8:
//   call<TAB><the command line as given>
//   arg<TAB><file|folder|absent><TAB><argument>     one per argument
// the arguments split by the platform's rules (CommandLineToArgvW), each
// saying whether a file or folder of that name existed at the call. It ends
// with the number in <path without the extension>.exit (decimal, or hex with
// 0x, as an HRESULT), 0 when there is none. The package's install test puts
// it where the package calls the program.

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

class CFile {
public:
    explicit CFile(HANDLE h) : m_h(h) {}
    ~CFile()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    HANDLE Get() const { return m_h; }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

std::string Utf8(const std::wstring& text)
{
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string result(cb > 0 ? cb : 0, '\0');
    if (cb > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], cb, NULL, NULL);
    return result;
}

const char* StateOf(LPCWSTR pszPath)
{
    DWORD dwAttributes = GetFileAttributesW(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return "absent";
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "folder" : "file";
}

// The code the test chose, 0 without a file.
UINT ChosenExitCode(const std::wstring& path)
{
    CFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!file.IsOpen())
        return 0;
    char szText[32] = {};
    DWORD cbRead = 0;
    if (!ReadFile(file.Get(), szText, sizeof(szText) - 1, &cbRead, NULL))
        return 0;
    return static_cast<UINT>(std::strtoul(szText, NULL, 0));
}

}  // namespace

int main()
{
    WCHAR szModule[MAX_PATH] = {};
    DWORD cchModule = GetModuleFileNameW(NULL, szModule, MAX_PATH);
    if (cchModule == 0 || cchModule >= MAX_PATH)
        return 2;
    std::wstring stem = szModule;
    std::wstring::size_type dot = stem.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > stem.find_last_of(L'\\'))
        stem.erase(dot);

    int nArgs = 0;
    LPWSTR* ppszArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    if (ppszArgs == NULL)
        return 3;
    std::string record = "call\t" + Utf8(GetCommandLineW()) + "\r\n";
    for (int i = 1; i < nArgs; ++i)
        record += std::string("arg\t") + StateOf(ppszArgs[i]) + "\t" + Utf8(ppszArgs[i]) + "\r\n";
    LocalFree(ppszArgs);

    CFile log(CreateFileW((stem + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL));
    DWORD cbWritten = 0;
    if (!log.IsOpen() || !WriteFile(log.Get(), record.data(), static_cast<DWORD>(record.size()), &cbWritten, NULL))
        return 4;
    return static_cast<int>(ChosenExitCode(stem + L".exit"));
}
