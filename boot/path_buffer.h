#pragma once
// Every path of the system lives in one zero-filled buffer of MAX_PATH
// characters, so a copied path is always terminated by the fill. Paths
// toward the boot library are ANSI; the true names the shell hands over are
// UTF-16.

#include <cstddef>

enum : std::size_t { PATH_BUFFER_SIZE = 260 };

typedef char PATHBUFFER[PATH_BUFFER_SIZE];
typedef wchar_t WIDEPATHBUFFER[PATH_BUFFER_SIZE];

// Copies at most PATH_BUFFER_SIZE - 1 characters of pszSource and terminates
// the copy; returns false (copy truncated) when pszSource is longer.
bool CopyPath(PATHBUFFER& szTarget, const char* pszSource);
