// shell_open <file>: opens a file with Kestrun the way the shell does: reads
// the launcher's open command from the registry, puts the file's path in
// place of %1 and starts that command line, all in UTF-16. Prints the
// launcher's exit code and returns it. Used by the demo.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int, char**)
{
    int nArgs = 0;
    LPWSTR* ppszArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    if (ppszArgs == NULL || nArgs != 2) {
        std::fprintf(stderr, "usage: shell_open <file>\n");
        return 2;
    }
    const std::wstring file = ppszArgs[1];
    LocalFree(ppszArgs);

    WCHAR szCommand[1024] = {};
    DWORD cbCommand = sizeof(szCommand) - sizeof(WCHAR);
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"Applications\\Kestrun.exe\\shell\\open\\command", NULL, RRF_RT_REG_SZ, NULL,
                     szCommand, &cbCommand) != ERROR_SUCCESS) {
        std::fprintf(stderr, "shell_open: Kestrun.exe has no open command in the registry\n");
        return 3;
    }
    std::wstring commandLine = szCommand;
    std::wstring::size_type placeholder = commandLine.find(L"%1");
    if (placeholder != std::wstring::npos)
        commandLine.replace(placeholder, 2, file);
    std::printf("shell_open: %ls\n", commandLine.c_str());

    std::vector<WCHAR> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        std::fprintf(stderr, "shell_open: cannot start the launcher (error %lu)\n", GetLastError());
        return 4;
    }
    DWORD dwExitCode = 1;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &dwExitCode);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("shell_open: Kestrun.exe ended with exit code 0x%08lX\n", dwExitCode);
    return static_cast<int>(dwExitCode);
}
