#pragma once
// The boot-file rule: a path names a boot image when the text from its last
// "." to its end is exactly ".bin" or ".BIN" (character by character; the
// directory part counts too, so "C:\img.bin\boot" is not an image). It is
// applied to the file's true (UTF-16) name, never to a short name, which
// cuts a longer extension to three letters.

bool IsBootImageName(const wchar_t* pszPath);
