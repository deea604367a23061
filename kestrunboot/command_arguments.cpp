#include "command_arguments.h"

namespace {

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

const wchar_t* SkipBlanks(const wchar_t* p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

const wchar_t* SkipProgramName(const wchar_t* p)
{
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        return *p == L'"' ? p + 1 : p;
    }
    while (*p != L'\0' && !IsBlank(*p))
        ++p;
    return p;
}

} // namespace

CCommandArguments::CCommandArguments(const wchar_t* pszCommandLine, wchar_t* pszStorage, std::size_t cchStorage)
    : m_p(SkipBlanks(SkipProgramName(pszCommandLine))), m_pszStorage(pszStorage), m_cchStorage(cchStorage)
{
}

const wchar_t* CCommandArguments::Next()
{
    if (*m_p == L'\0' || m_bOverflow)
        return nullptr;
    if (m_cchUsed >= m_cchStorage) {
        m_bOverflow = true;
        return nullptr;
    }

    wchar_t* const pszArgument = m_pszStorage + m_cchUsed;
    // Room for the characters, the terminator always kept back.
    const std::size_t cchRoom = m_cchStorage - m_cchUsed - 1;
    std::size_t cch = 0;
    bool bFull = false;
    auto put = [&](wchar_t ch) {
        if (cch < cchRoom)
            pszArgument[cch++] = ch;
        else
            bFull = true;
    };

    int nQuotes = 0;   // 1 inside a quoted part, else 0
    const wchar_t* p = m_p;
    while (*p != L'\0' && !(IsBlank(*p) && nQuotes == 0)) {
        if (*p == L'\\') {
            std::size_t nBackslashes = 0;
            for (; *p == L'\\'; ++p)
                ++nBackslashes;
            const bool bBeforeQuote = *p == L'"';
            for (std::size_t i = bBeforeQuote ? nBackslashes / 2 : nBackslashes; i > 0; --i)
                put(L'\\');
            if (bBeforeQuote && nBackslashes % 2 == 1) {
                put(L'"');
                ++p;
            } else {
                continue;
            }
        } else if (*p == L'"') {
            ++nQuotes;
            ++p;
        } else {
            put(*p++);
            continue;
        }
        // After a quote, opening or escaped: the run of quotes that follows.
        for (; *p == L'"'; ++p) {
            if (++nQuotes == 3) {
                put(L'"');
                nQuotes = 0;
            }
        }
        if (nQuotes == 2)
            nQuotes = 0;
    }
    m_p = SkipBlanks(p);

    pszArgument[cch] = L'\0';
    m_cchUsed += cch + 1;
    if (bFull) {
        // Never half an argument.
        m_bOverflow = true;
        return nullptr;
    }
    return pszArgument;
}
