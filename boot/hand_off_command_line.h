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

// Writes the command line into pszCommandLine (cchCommandLine characters),
// which is zero-filled whatever the result; nothing is written past it.
HAND_OFF_COMMAND_RESULT BuildHandOffCommandLine(const wchar_t* pszCommand, const wchar_t* pszPath,
                                                wchar_t* pszCommandLine, std::size_t cchCommandLine);
