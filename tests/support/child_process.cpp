#include "child_process.h"

#include <vector>

bool CChildProcess::Start(const std::string& application, const std::string& commandLine)
{
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessA(application.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &m_info) != 0;
}

bool CChildProcess::Start(const std::wstring& application, const std::wstring& commandLine)
{
    return Start(application, commandLine, CHILD_OPTIONS());
}

bool CChildProcess::Start(const std::wstring& application, const std::wstring& commandLine,
                          const CHILD_OPTIONS& options)
{
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const bool bStreams = options.hOutput != NULL;
    if (bStreams) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = options.hOutput;
        startup.hStdError = options.hError;
    }
    return CreateProcessW(application.c_str(), buffer.data(), NULL, NULL, bStreams, options.dwCreationFlags, NULL,
                          options.pszDirectory, &startup, &m_info) != 0;
}

CChildProcess::~CChildProcess()
{
    if (m_info.hProcess != NULL) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_info.hProcess, 1);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

DWORD CChildProcess::Wait(DWORD dwTimeoutMs)
{
    if (WaitForSingleObject(m_info.hProcess, dwTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
        return STILL_ACTIVE;
    }
    DWORD dwExitCode = 0;
    GetExitCodeProcess(m_info.hProcess, &dwExitCode);
    return dwExitCode;
}
