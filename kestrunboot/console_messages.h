#pragma once
// The console program's texts outside the boot request's steps: its usage,
// the faults in its options and a boot library that cannot be used. Every
// line on standard error starts with ERROR_PREFIX.

#include "boot_options.h"
#include "console_output.h"
#include "loaded_boot_library.h"

extern const char ERROR_PREFIX[];   // "KestrunBoot: "

// The usage, the options and the exit codes (--help).
void WriteHelp(const COutputStream& output);

// What is wrong with the command line; pszArgument as ParseBootOptions gave it.
void ReportOptionsError(OPTIONS_RESULT result, const wchar_t* pszArgument, const COutputStream& errors);

// Why the boot library beside the program cannot be used.
void ReportBootLibrary(BOOT_LIBRARY_LOAD load, const CLoadedBootLibrary& library, const COutputStream& errors);
