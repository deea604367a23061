#pragma once
// The image the console program is given, checked as the launcher checks
// the file the shell hands it, before anything else is touched: the
// boot-file rule on its true name, then that it is a file, then the ANSI
// name the boot library is given (ansi_name.h). The library gets the full
// path: a relative one would name another file once anything changed the
// current folder.

#include "console_output.h"
#include "file_facts.h"
#include "path_buffer.h"

struct BOOT_IMAGE
{
    WIDEPATHBUFFER szPath;        // the full path, by its true name
    FILE_FACTS facts;
    PATHBUFFER szLibraryPath;     // what the boot library is given
};

// False, with the reason on errors, when the image cannot be booted.
bool CheckBootImage(LPCWSTR pszArgument, BOOT_IMAGE* pImage, const COutputStream& errors);
