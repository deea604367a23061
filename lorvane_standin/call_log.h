#pragma once
// Every call into the stand-in, one tab-separated line each, appended to the
// file named by the environment variable LORVANE_STANDIN_LOG, or else to
// lorvane_calls.log beside the stand-in library:
//
//   Load_IniFile   pid=.. tid=.. qpc=.. settings=<path> result=<n>
//   Kestrun.begin  pid=.. tid=.. qpc=.. image=<path> length=<n> address=0x........
//   Kestrun        pid=.. tid=.. qpc=.. image=<path> length=<n> address=0x........ result=<n>
//
// qpc is the performance counter when the call was logged: the same clock
// in every process, so a benchmark can time a program's start to its first
// call.

#include <windows.h>

void AppendCallLog(LPCSTR pszFormat, ...);

// Appends cch bytes to the file at pszPath in one piece, never interleaved
// with or overwritten by another writer's append.
void AppendToFile(LPCSTR pszPath, const char* pchText, DWORD cch);
