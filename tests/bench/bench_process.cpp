#include "bench_process.h"

#include "bench_harness.h"

#include <cstdio>
#include <vector>

namespace {

const int START_ATTEMPTS = 3;

// The handles CreateProcess returns, closed on every path.
class CProcessHandles
{
public:
    CProcessHandles() = default;
    ~CProcessHandles()
    {
        if (m_info.hThread != NULL)
            CloseHandle(m_info.hThread);
        if (m_info.hProcess != NULL)
            CloseHandle(m_info.hProcess);
    }
    CProcessHandles(const CProcessHandles&) = delete;
    CProcessHandles& operator=(const CProcessHandles&) = delete;

    // For CreateProcess to fill in.
    PROCESS_INFORMATION* Receive() { return &m_info; }
    HANDLE Process() const { return m_info.hProcess; }

private:
    PROCESS_INFORMATION m_info = {};
};

} // namespace

std::string ShellCommandLine(const std::string& program, const std::string& file)
{
    return program + " \"" + file + "\"";
}

double TimeProcessRun(const std::string& commandLine, DWORD dwExpectedExitCode, DWORD dwTimeoutMs)
{
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    CProcessHandles process;

    // Now and then Wine fails a start with an internal error on a loaded
    // machine; such a start is tried again and its time not counted.
    CStopwatch stopwatch;
    for (int nAttempt = 1;; ++nAttempt) {
        stopwatch.Restart();
        if (CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, process.Receive()))
            break;
        const DWORD dwError = GetLastError();
        std::fprintf(stderr, "benchmark: cannot start %s (error %lu)\n", commandLine.c_str(), dwError);
        if (dwError != ERROR_INTERNAL_ERROR || nAttempt == START_ATTEMPTS)
            return -1;
    }
    const DWORD dwWait = WaitForSingleObject(process.Process(), dwTimeoutMs);
    const double dMs = stopwatch.ElapsedMs();

    if (dwWait != WAIT_OBJECT_0) {
        TerminateProcess(process.Process(), 1);
        WaitForSingleObject(process.Process(), 5000);
        std::fprintf(stderr, "benchmark: %s did not end within %lu ms\n", commandLine.c_str(), dwTimeoutMs);
        return -1;
    }
    DWORD dwExitCode = 0;
    GetExitCodeProcess(process.Process(), &dwExitCode);
    if (dwExitCode != dwExpectedExitCode) {
        std::fprintf(stderr, "benchmark: %s ended with 0x%08lX, expected 0x%08lX\n", commandLine.c_str(),
                     dwExitCode, dwExpectedExitCode);
        return -1;
    }
    return dMs;
}
