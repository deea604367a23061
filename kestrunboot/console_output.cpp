#include "console_output.h"

#include "number_text.h"
#include "utf8_text.h"

namespace {

// Units written at once: no surrogate pair is split between two writes.
const std::size_t CHUNK_UNITS = 256;

bool IsHighSurrogate(wchar_t ch)
{
    return ch >= 0xD800 && ch <= 0xDBFF;
}

} // namespace

COutputStream::COutputStream(DWORD nStdHandle) : m_hOutput(GetStdHandle(nStdHandle))
{
    DWORD dwMode = 0;
    m_bConsole = m_hOutput != NULL && m_hOutput != INVALID_HANDLE_VALUE && GetConsoleMode(m_hOutput, &dwMode);
}

void COutputStream::Write(const wchar_t* pch, std::size_t cch) const
{
    if (m_hOutput == NULL || m_hOutput == INVALID_HANDLE_VALUE)
        return;
    while (cch > 0) {
        std::size_t cchChunk = cch < CHUNK_UNITS ? cch : CHUNK_UNITS;
        if (cchChunk < cch && cchChunk > 1 && IsHighSurrogate(pch[cchChunk - 1]))
            --cchChunk;
        DWORD dwWritten = 0;
        if (m_bConsole) {
            WriteConsoleW(m_hOutput, pch, static_cast<DWORD>(cchChunk), &dwWritten, NULL);
        } else {
            char szBytes[CHUNK_UNITS * UTF8_BYTES_PER_UNIT];
            const std::size_t cb = EncodeUtf8(pch, cchChunk, szBytes);
            WriteFile(m_hOutput, szBytes, static_cast<DWORD>(cb), &dwWritten, NULL);
        }
        pch += cchChunk;
        cch -= cchChunk;
    }
}

CLine::~CLine()
{
    Put(L'\r');
    Put(L'\n');
    m_stream.Write(m_szBuffer, m_cch);
}

void CLine::Put(wchar_t ch)
{
    if (m_cch == sizeof(m_szBuffer) / sizeof(m_szBuffer[0])) {
        // Keep a high surrogate with the low one that follows it.
        const bool bKeepLast = IsHighSurrogate(m_szBuffer[m_cch - 1]);
        m_stream.Write(m_szBuffer, bKeepLast ? m_cch - 1 : m_cch);
        m_szBuffer[0] = m_szBuffer[m_cch - 1];
        m_cch = bKeepLast ? 1 : 0;
    }
    m_szBuffer[m_cch++] = ch;
}

CLine& CLine::Text(const char* pszAscii)
{
    for (const char* p = pszAscii; *p != '\0'; ++p)
        Put(*p == '\n' ? L' ' : static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return *this;
}

CLine& CLine::Text(const wchar_t* pszText)
{
    for (const wchar_t* p = pszText; *p != L'\0'; ++p)
        Put(*p);
    return *this;
}

CLine& CLine::Decimal(unsigned long long nValue)
{
    wchar_t szText[DECIMAL_TEXT_SIZE];
    FormatDecimal(nValue, szText);
    return Text(szText);
}

CLine& CLine::Integer(int nValue)
{
    if (nValue < 0)
        Put(L'-');
    return Decimal(nValue < 0 ? 0ull - static_cast<unsigned long long>(static_cast<long long>(nValue))
                              : static_cast<unsigned long long>(nValue));
}

CLine& CLine::Address(DWORD dwAddress)
{
    wchar_t szText[ADDRESS_TEXT_SIZE];
    FormatAddress(dwAddress, szText);
    return Text(szText);
}

CLine& CLine::Seconds(unsigned long long nMilliseconds)
{
    wchar_t szText[SECONDS_TEXT_SIZE];
    FormatSeconds(nMilliseconds, szText);
    return Text(szText);
}
