#include "call_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

void CallLogPath(char (&szPath)[MAX_PATH * 2])
{
    DWORD cch = GetEnvironmentVariableA("LORVANE_STANDIN_LOG", szPath, sizeof(szPath));
    if (cch != 0 && cch < sizeof(szPath))
        return;
    cch = GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), szPath, MAX_PATH);
    char* pszSlash = std::strrchr(szPath, '\\');
    std::strcpy(pszSlash ? pszSlash + 1 : szPath, "lorvane_calls.log");
}

} // namespace

void AppendCallLog(LPCSTR pszFormat, ...)
{
    char szLine[2048];
    int cch = std::snprintf(szLine, sizeof(szLine), "pid=%lu\ttid=%lu\t",
                            GetCurrentProcessId(), GetCurrentThreadId());
    va_list args;
    va_start(args, pszFormat);
    cch += std::vsnprintf(szLine + cch, sizeof(szLine) - cch - 2, pszFormat, args);
    va_end(args);
    if (cch > static_cast<int>(sizeof(szLine)) - 3)
        cch = sizeof(szLine) - 3;
    szLine[cch++] = '\r';
    szLine[cch++] = '\n';

    char szPath[MAX_PATH * 2];
    CallLogPath(szPath);
    // One write per line with append access: lines of concurrent callers,
    // threads or processes, never interleave.
    HANDLE hFile = CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten = 0;
    WriteFile(hFile, szLine, static_cast<DWORD>(cch), &cbWritten, NULL);
    CloseHandle(hFile);
}
