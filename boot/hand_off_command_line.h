#pragma once
// The command line that hands a boot to the launcher: the launcher's
// registered open command with every "%1" replaced by the chosen file's path,
// as the shell builds it when it opens a file; every other character stays
// as it stands, quotes included.

#include <cstddef>

// Room for a registered command and a path of a path buffer each, with room
// to spare; the launcher takes no longer line anyway.
enum : std::size_t { MAX_HAND_OFF_COMMAND_LINE = 1024 };

enum HAND_OFF_COMMAND_RESULT
{
    HAND_OFF_COMMAND_OK,
    HAND_OFF_COMMAND_NO_PLACEHOLDER,   // the command never names the file: the launcher would boot nothing
    HAND_OFF_COMMAND_TOO_LONG,         // it does not fit cchCommandLine with its terminator
};

// The program the registered command starts: its first token, quoted (up to
// the closing quote) or not (up to the first blank). Started without an
// application name, an unquoted path with blanks would make Windows try
// "C:\Program.exe" first, and a bare or relative name would be looked up
// along the search path; so only an absolute path (a drive or a network
// share) whose file name is Kestrun.exe counts. Fills pszProgram
// (cchProgram characters, zero-filled whatever the result); false when the
// command names no such program or it does not fit.
bool HandOffProgram(const wchar_t* pszCommand, wchar_t* pszProgram, std::size_t cchProgram);

// Writes the command line into pszCommandLine (cchCommandLine characters),
// which is zero-filled whatever the result; nothing is written past it.
HAND_OFF_COMMAND_RESULT BuildHandOffCommandLine(const wchar_t* pszCommand, const wchar_t* pszPath,
                                                wchar_t* pszCommandLine, std::size_t cchCommandLine);
