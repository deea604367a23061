#include "utf8_text.h"

namespace {

bool IsHighSurrogate(unsigned nUnit)
{
    return nUnit >= 0xD800 && nUnit <= 0xDBFF;
}

bool IsLowSurrogate(unsigned nUnit)
{
    return nUnit >= 0xDC00 && nUnit <= 0xDFFF;
}

} // namespace

std::size_t EncodeUtf8(const wchar_t* pch, std::size_t cch, char* pchOut)
{
    unsigned char* pOut = reinterpret_cast<unsigned char*>(pchOut);
    std::size_t cb = 0;
    for (std::size_t i = 0; i < cch; ++i) {
        // wchar_t is 16 bits on Windows, 32 where the fuzz target runs.
        unsigned long nCode = static_cast<unsigned long>(pch[i]) & 0xFFFF;
        if (IsHighSurrogate(nCode) && i + 1 < cch && IsLowSurrogate(static_cast<unsigned>(pch[i + 1]) & 0xFFFF)) {
            nCode = 0x10000 + ((nCode - 0xD800) << 10) + ((static_cast<unsigned long>(pch[i + 1]) & 0xFFFF) - 0xDC00);
            ++i;
        }
        if (nCode < 0x80) {
            pOut[cb++] = static_cast<unsigned char>(nCode);
        } else if (nCode < 0x800) {
            pOut[cb++] = static_cast<unsigned char>(0xC0 | (nCode >> 6));
            pOut[cb++] = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
        } else if (nCode < 0x10000) {
            pOut[cb++] = static_cast<unsigned char>(0xE0 | (nCode >> 12));
            pOut[cb++] = static_cast<unsigned char>(0x80 | ((nCode >> 6) & 0x3F));
            pOut[cb++] = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
        } else {
            pOut[cb++] = static_cast<unsigned char>(0xF0 | (nCode >> 18));
            pOut[cb++] = static_cast<unsigned char>(0x80 | ((nCode >> 12) & 0x3F));
            pOut[cb++] = static_cast<unsigned char>(0x80 | ((nCode >> 6) & 0x3F));
            pOut[cb++] = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
        }
    }
    return cb;
}
