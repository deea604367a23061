#include "boot_request.h"

#include "boot_message.h"
#include "hand_off_command_line.h"
#include "tool_registration.h"

namespace {

// A started process's two handles, closed on every path: nobody waits for
// the launcher.
class CStartedProcess
{
public:
    CStartedProcess() : m_info() {}
    ~CStartedProcess()
    {
        if (m_info.hThread != NULL)
            CloseHandle(m_info.hThread);
        if (m_info.hProcess != NULL)
            CloseHandle(m_info.hProcess);
    }
    CStartedProcess(const CStartedProcess&) = delete;
    CStartedProcess& operator=(const CStartedProcess&) = delete;

    // The program by its full path, never looked up along the search path;
    // the command line as the shell builds it.
    HRESULT Start(LPCWSTR pszProgram, LPWSTR pszCommandLine)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (CreateProcessW(pszProgram, pszCommandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &m_info))
            return S_OK;
        const DWORD dwError = GetLastError();
        return dwError != ERROR_SUCCESS ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
    }

private:
    PROCESS_INFORMATION m_info;
};

} // namespace

HRESULT HandOffBootRequest(LPCWSTR pszImagePath)
{
    WIDEPATHBUFFER szCommand;
    WIDEPATHBUFFER szProgram;
    WCHAR szCommandLine[MAX_HAND_OFF_COMMAND_LINE];
    if (!ReadLauncherCommand(szCommand) || !HandOffProgram(szCommand, szProgram, PATH_BUFFER_SIZE)
        || BuildHandOffCommandLine(szCommand, pszImagePath, szCommandLine, MAX_HAND_OFF_COMMAND_LINE)
               != HAND_OFF_COMMAND_OK) {
        ShowBootMessage(NULL, MESSAGE_READ_INFO_ERROR);
        return E_INVALIDARG;
    }

    CStartedProcess launcher;
    const HRESULT hr = launcher.Start(szProgram, szCommandLine);
    if (FAILED(hr))
        ShowBootMessage(NULL, MESSAGE_KESTRUN_ERROR);
    return hr;
}
