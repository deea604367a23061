#pragma once
// The ANSI path the boot library is handed for a file the user chose,
// decided from the file's true UTF-16 name (ansi_name_rule.h).

#include "path_buffer.h"

#include <windows.h>

// Fills szPath (zero-filled) with the exact ANSI form of the true name, or
// else of its short name. False, with an empty buffer, when neither names
// exactly this file in the ANSI code page: the library must not be handed a
// substitute. pszPath is a terminated path.
bool AnsiNameForBootLibrary(LPCWSTR pszPath, PATHBUFFER& szPath);

// True when the true name itself has an exact ANSI form that fits a path
// buffer: AnsiNameForBootLibrary then needs no look at the file system.
bool TrueNameIsExactAnsi(LPCWSTR pszPath);
