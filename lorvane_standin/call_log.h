#pragma once
// Every call into the stand-in, one tab-separated line each, appended to the
// file named by the environment variable LORVANE_STANDIN_LOG, or else to
// lorvane_calls.log beside the stand-in library:
//
//   Load_IniFile   pid=.. tid=.. settings=<path> result=<n>
//   Kestrun.begin  pid=.. tid=.. image=<path> length=<n> address=0x........
//   Kestrun        pid=.. tid=.. image=<path> length=<n> address=0x........ result=<n>

#include <windows.h>

void AppendCallLog(LPCSTR pszFormat, ...);

// Appends cch bytes to the file at pszPath in one piece, never interleaved
// with or overwritten by another writer's append.
void AppendToFile(LPCSTR pszPath, const char* pchText, DWORD cch);
