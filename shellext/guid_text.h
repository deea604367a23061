#pragma once
// A GUID from its 8-4-4-4-12 text, worked out by the compiler, so an
// identifier written once as text (kestrun_ids.h) is also a GUID constant.
// A text that is not a GUID does not compile (IsGuidText below).

#include <windows.h>

namespace guid_text {

constexpr int HexValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

constexpr unsigned long Hex(const char* psz, int ich, int cch)
{
    unsigned long ul = 0;
    for (int i = 0; i < cch; ++i)
        ul = ul * 16 + static_cast<unsigned long>(HexValue(psz[ich + i]));
    return ul;
}

constexpr bool IsDash(int ich)
{
    return ich == 8 || ich == 13 || ich == 18 || ich == 23;
}

} // namespace guid_text

constexpr bool IsGuidText(const char* psz)
{
    for (int i = 0; i < 36; ++i) {
        if (guid_text::IsDash(i) ? psz[i] != '-' : guid_text::HexValue(psz[i]) < 0)
            return false;
    }
    return psz[36] == '\0';
}

constexpr GUID GuidFromText(const char* psz)
{
    using guid_text::Hex;
    return GUID{Hex(psz, 0, 8), static_cast<unsigned short>(Hex(psz, 9, 4)), static_cast<unsigned short>(Hex(psz, 14, 4)),
                {static_cast<unsigned char>(Hex(psz, 19, 2)), static_cast<unsigned char>(Hex(psz, 21, 2)),
                 static_cast<unsigned char>(Hex(psz, 24, 2)), static_cast<unsigned char>(Hex(psz, 26, 2)),
                 static_cast<unsigned char>(Hex(psz, 28, 2)), static_cast<unsigned char>(Hex(psz, 30, 2)),
                 static_cast<unsigned char>(Hex(psz, 32, 2)), static_cast<unsigned char>(Hex(psz, 34, 2))}};
}
