#pragma once
// The boot-file rule: a path names a boot image when the text from its last
// "." to its end is exactly ".bin" or ".BIN" (byte by byte; the directory part
// counts too, so "C:\img.bin\boot" is not an image).

bool IsBootImageName(const char* pszPath);
