#pragma once
// The vendor's boot library, bound by import. The import library maps these
// plain names onto the library's decorated C++ exports (lorvane_*.def).
// Both take writable strings; 0 means success.

extern "C" {

// Prepares the device from the settings file; nonzero: the device cannot be
// used. Leaves the path buffer unchanged.
__declspec(dllimport) int __cdecl Load_IniFile(char* pszSettingsPath);

// Boots the device from the image, loaded at the download address; returns
// when the transfer is over.
__declspec(dllimport) int __cdecl Kestrun(char* pszImagePath, unsigned long dwDownloadAddress);

}
