#pragma once
// UTF-16 text as UTF-8 bytes, for output that goes to a file or a pipe.
// Paired surrogates give their character's four bytes; an unpaired one
// (which a file name may hold, and UTF-8 cannot) gives the three bytes of
// its own code unit, as generalised UTF-8 writes it, so the bytes still name
// exactly the same file. Pure text logic: no Win32 calls.

#include <cstddef>

// The most bytes one UTF-16 code unit can give.
enum : std::size_t { UTF8_BYTES_PER_UNIT = 3 };

// Encodes cch code units into pchOut, which holds at least
// cch * UTF8_BYTES_PER_UNIT bytes; returns the number of bytes written. A
// high surrogate that is the last unit counts as unpaired.
std::size_t EncodeUtf8(const wchar_t* pch, std::size_t cch, char* pchOut);
