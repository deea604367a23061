#pragma once
// Numbers as the console program reads them from its options and writes them
// in its lines. Pure text logic: no Win32 calls.

#include <cstddef>
#include <cstdint>

// --address: decimal digits, or 0x (or 0X) and hexadecimal digits; at most
// 0xFFFFFFFF. Nothing else: no sign, no blanks, no suffix. False, with
// *pValue untouched, for anything else.
bool ParseAddress(const wchar_t* pszText, std::uint32_t* pValue);

// --wait-device: decimal digits, at most 4294967295.
bool ParseSeconds(const wchar_t* pszText, std::uint32_t* pValue);

// Each writes its text, terminated, into a buffer of its size and returns
// the number of characters.
enum : std::size_t
{
    DECIMAL_TEXT_SIZE = 21,   // 18446744073709551615
    ADDRESS_TEXT_SIZE = 11,   // 0x0000ABCD
    SECONDS_TEXT_SIZE = 22,   // milliseconds as seconds with two decimals: 1.05
};
std::size_t FormatDecimal(std::uint64_t nValue, wchar_t (&szText)[DECIMAL_TEXT_SIZE]);
std::size_t FormatAddress(std::uint32_t nValue, wchar_t (&szText)[ADDRESS_TEXT_SIZE]);
std::size_t FormatSeconds(std::uint64_t nMilliseconds, wchar_t (&szText)[SECONDS_TEXT_SIZE]);
