#pragma once
// The image path on the launcher's command line. The shell starts the
// launcher with the chosen file's path in double quotes after the program's
// own name. The launcher reads its UTF-16 command line (the ANSI one has
// already lost characters the code page lacks), takes the program name off
// as the runtime start-up does for lpCmdLine, and drops the first and the
// last character of the rest, whatever they are.

#include "path_buffer.h"

// The command line may hold at most this many characters after the program
// name: more would be cut, and a cut path names another file.
enum : std::size_t { MAX_LAUNCHER_COMMAND_LINE = PATH_BUFFER_SIZE };

// The command line without the program name and the blanks after it: the
// name runs to the first character up to 0x20 outside double quotes; then
// every character from 0x01 to 0x20 is skipped. Never null for a non-null
// command line.
const wchar_t* ArgumentsOfCommandLine(const wchar_t* pszCommandLine);

// Fills szImagePath (zero-filled first) with pszArguments without its first
// and last character; empty when it has fewer than two. False, with an empty
// path, when pszArguments is longer than MAX_LAUNCHER_COMMAND_LINE.
bool ImagePathFromCommandLine(const wchar_t* pszArguments, WIDEPATHBUFFER& szImagePath);
