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
    LARGE_INTEGER liNow;
    QueryPerformanceCounter(&liNow);
    int cch = std::snprintf(szLine, sizeof(szLine), "pid=%lu\ttid=%lu\tqpc=%lld\t",
                            GetCurrentProcessId(), GetCurrentThreadId(), liNow.QuadPart);
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
    AppendToFile(szPath, szLine, static_cast<DWORD>(cch));
}

void AppendToFile(LPCSTR pszPath, const char* pchText, DWORD cch)
{
    // Wine does not append atomically (it finds the end, then writes there):
    // two writers at once, threads or processes, can land on one offset and
    // a line is lost. One mutex for every writer makes each append whole.
    HANDLE hMutex = CreateMutexA(NULL, FALSE, "Local\\LorvaneStandinAppend");
    const DWORD dwWait = hMutex != NULL ? WaitForSingleObject(hMutex, 10000) : WAIT_FAILED;
    HANDLE hFile = CreateFileA(pszPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE) {
        DWORD cbWritten = 0;
        WriteFile(hFile, pchText, cch, &cbWritten, NULL);
        CloseHandle(hFile);
    }
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
        ReleaseMutex(hMutex);
    if (hMutex != NULL)
        CloseHandle(hMutex);
}
