#pragma once
// What the fuzz targets share: the input as a C string in a block of exactly
// its size (so the address sanitizer sees any read past its end), a path
// buffer between guard bytes, and a check that stops the run as a crash.

#include "path_buffer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

[[noreturn]] inline void FuzzCheckFailed(const char* pszCondition, const char* pszFile, int nLine)
{
    std::fprintf(stderr, "%s:%d: property violated: %s\n", pszFile, nLine, pszCondition);
    std::abort();
}

// A property that must hold for every input; a violation is a crash with the
// input saved as an artifact.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

// The input up to its first NUL, terminated, in a heap block of exactly that
// length plus one: a function that reads past the terminator trips the
// address sanitizer.
class CFuzzText
{
public:
    CFuzzText(const std::uint8_t* pData, std::size_t cbData)
        : m_cch(Measure(pData, cbData)), m_psz(new char[m_cch + 1])
    {
        std::memcpy(m_psz.get(), pData, m_cch);
        m_psz[m_cch] = '\0';
    }

    const char* Get() const { return m_psz.get(); }
    std::size_t Length() const { return m_cch; }
    std::string Str() const { return std::string(m_psz.get(), m_cch); }

private:
    static std::size_t Measure(const std::uint8_t* pData, std::size_t cbData)
    {
        const void* pNul = std::memchr(pData, 0, cbData);
        return pNul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(pNul) - pData) : cbData;
    }

    std::size_t m_cch;
    std::unique_ptr<char[]> m_psz;
};

// The input as UTF-16 text, in a heap block of exactly its length plus the
// terminator: UTF-8 sequences give their character (any in the basic plane,
// so the seed corpus's ASCII stays readable), every other byte the character
// of the same value. It ends at the first zero.
class CFuzzWideText
{
public:
    CFuzzWideText(const std::uint8_t* pData, std::size_t cbData) : m_text(Decode(pData, cbData)),
        m_psz(new wchar_t[m_text.size() + 1])
    {
        std::memcpy(m_psz.get(), m_text.c_str(), (m_text.size() + 1) * sizeof(wchar_t));
    }

    const wchar_t* Get() const { return m_psz.get(); }
    std::size_t Length() const { return m_text.size(); }
    const std::wstring& Str() const { return m_text; }

private:
    static std::wstring Decode(const std::uint8_t* pData, std::size_t cbData)
    {
        std::wstring text;
        for (std::size_t i = 0; i < cbData;) {
            wchar_t ch = pData[i];
            std::size_t cb = 1;
            if ((pData[i] & 0xE0) == 0xC0 && i + 1 < cbData && (pData[i + 1] & 0xC0) == 0x80) {
                ch = static_cast<wchar_t>(((pData[i] & 0x1F) << 6) | (pData[i + 1] & 0x3F));
                cb = 2;
            } else if ((pData[i] & 0xF0) == 0xE0 && i + 2 < cbData && (pData[i + 1] & 0xC0) == 0x80 &&
                       (pData[i + 2] & 0xC0) == 0x80) {
                ch = static_cast<wchar_t>(((pData[i] & 0x0F) << 12) | ((pData[i + 1] & 0x3F) << 6) |
                                          (pData[i + 2] & 0x3F));
                cb = 3;
            }
            if (ch == 0)
                break;
            text += ch;
            i += cb;
        }
        return text;
    }

    std::wstring m_text;
    std::unique_ptr<wchar_t[]> m_psz;
};

// The input as it is, without any terminator, in a block of exactly its size;
// empty when the input holds a NUL or is not longer than cchBound. A function
// that promises to look at no more than cchBound + 1 characters must give its
// too-long answer for it without reading past the block.
inline std::unique_ptr<char[]> UnterminatedLongerThan(const std::uint8_t* pData, std::size_t cbData,
                                                      std::size_t cchBound)
{
    if (cbData <= cchBound || std::memchr(pData, 0, cbData) != nullptr)
        return nullptr;
    std::unique_ptr<char[]> pText(new char[cbData]);
    std::memcpy(pText.get(), pData, cbData);
    return pText;
}

// A path buffer between two guard areas, itself prefilled with non-zero
// characters so a terminator or zero fill can only come from the function
// under test.
template <class CHAR_T>
struct GUARDED_BUFFER
{
    enum : unsigned char { GUARD = 0xA5 };
    static constexpr CHAR_T PREFILL = 'x';

    unsigned char before[32];
    CHAR_T szPath[PATH_BUFFER_SIZE];
    unsigned char after[32];

    GUARDED_BUFFER()
    {
        std::memset(before, GUARD, sizeof(before));
        for (CHAR_T& ch : szPath)
            ch = PREFILL;
        std::memset(after, GUARD, sizeof(after));
    }

    bool GuardsIntact() const
    {
        for (std::size_t i = 0; i < sizeof(before); ++i)
            if (before[i] != GUARD || after[i] != GUARD)
                return false;
        return true;
    }

    // The buffer holds exactly text, then zeros to its end.
    bool HoldsZeroFilled(const std::basic_string<CHAR_T>& text) const
    {
        if (text.size() >= PATH_BUFFER_SIZE || text.compare(0, text.size(), szPath, text.size()) != 0)
            return false;
        for (std::size_t i = text.size(); i < PATH_BUFFER_SIZE; ++i)
            if (szPath[i] != 0)
                return false;
        return true;
    }
};

typedef GUARDED_BUFFER<char> GUARDED_PATH;
typedef GUARDED_BUFFER<wchar_t> GUARDED_WIDE_PATH;
