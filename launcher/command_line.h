#pragma once
// The image path on the launcher's command line. The shell starts the
// launcher with the chosen file's path in double quotes, and the runtime
// start-up hands the entry everything after the program name: the quoted
// path. The first and the last character are dropped, whatever they are.

#include "path_buffer.h"

// The command line may hold at most this many characters: more would be cut,
// and a cut path names another file.
enum : std::size_t { MAX_LAUNCHER_COMMAND_LINE = PATH_BUFFER_SIZE };

// Fills szImagePath (zero-filled first) with pszCmdLine without its first
// and last character; empty when the command line has fewer than two.
// False, with an empty path, when the command line is longer than
// MAX_LAUNCHER_COMMAND_LINE.
bool ImagePathFromCommandLine(const char* pszCmdLine, PATHBUFFER& szImagePath);
