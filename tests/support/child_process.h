#pragma once
#include <windows.h>

#include <string>

// How a child is started beyond its command line.
struct CHILD_OPTIONS
{
    DWORD dwCreationFlags = 0;
    HANDLE hOutput = NULL;            // with hError: inheritable handles for its standard streams
    HANDLE hError = NULL;
    const wchar_t* pszDirectory = nullptr;   // its current folder; null: this process's
};

// A started child process; waits for it and closes its handles.
class CChildProcess
{
public:
    // Starts pszApplication with exactly this command line.
    bool Start(const std::string& application, const std::string& commandLine);
    // The same in UTF-16, for names the ANSI code page cannot spell.
    bool Start(const std::wstring& application, const std::wstring& commandLine);
    bool Start(const std::wstring& application, const std::wstring& commandLine, const CHILD_OPTIONS& options);
    ~CChildProcess();

    DWORD ProcessId() const { return m_info.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end within dwTimeoutMs
    // (the process is then killed).
    DWORD Wait(DWORD dwTimeoutMs);

private:
    PROCESS_INFORMATION m_info = {};
};
