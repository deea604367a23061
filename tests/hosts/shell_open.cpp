// shell_open <file>: opens a file with Kestrun the way the shell does: reads
// the launcher's open command from the registry, puts the file's path in
// place of %1 and starts that command line. Prints the launcher's exit code
// and returns it. Used by the demo.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: shell_open <file>\n");
        return 2;
    }
    char szCommand[1024] = {};
    DWORD cbCommand = sizeof(szCommand) - 1;
    if (RegGetValueA(HKEY_CLASSES_ROOT, "Applications\\Kestrun.exe\\shell\\open\\command", NULL, RRF_RT_REG_SZ, NULL,
                     szCommand, &cbCommand) != ERROR_SUCCESS) {
        std::fprintf(stderr, "shell_open: Kestrun.exe has no open command in the registry\n");
        return 3;
    }
    std::string commandLine = szCommand;
    std::string::size_type placeholder = commandLine.find("%1");
    if (placeholder != std::string::npos)
        commandLine.replace(placeholder, 2, argv[1]);
    std::printf("shell_open: %s\n", commandLine.c_str());

    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
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
