#pragma once
// Process starts for the benchmarks, made the way the shell opens a file.

#include <windows.h>

#include <string>

// The command line the shell builds from an open command such as
// `C:\Tool\Kestrun.exe "%1"`: the program's path as registered (unquoted),
// a blank and the file's path in double quotes.
std::string ShellCommandLine(const std::string& program, const std::string& file);

// Starts the command line with CreateProcess as the shell does (no
// application name, no inherited handles, default start-up information) and
// waits for the process to end. The wall time in milliseconds from just
// before the start to the end of the wait; negative when the process did not
// start (a start that fails with ERROR_INTERNAL_ERROR is tried up to three
// times), did not end within dwTimeoutMs (it is then killed) or ended with
// another exit code than dwExpectedExitCode.
double TimeProcessRun(const std::string& commandLine, DWORD dwExpectedExitCode, DWORD dwTimeoutMs = 30000);
