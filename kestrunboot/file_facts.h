#pragma once
// What the console program learns of a file before the boot library is
// given it, so that a missing file or a folder is named as such instead of
// surfacing as the library's failure.

#include <windows.h>

struct FILE_FACTS
{
    bool bFound;
    bool bFolder;
    unsigned long long cbSize;
    DWORD dwError;   // why it was not found
};

FILE_FACTS ReadFileFacts(LPCWSTR pszPath);

// Opens the file for reading, sharing it as the profile reader does, and
// closes it again: ERROR_SUCCESS, or why it cannot be read.
DWORD CheckReadable(LPCWSTR pszPath);
