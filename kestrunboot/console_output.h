#pragma once
// The console program's lines on standard output and standard error. A
// console gets UTF-16 through WriteConsoleW, whatever its code page; a file
// or a pipe gets UTF-8 without a byte-order mark (utf8_text.h): no code page
// of the system holds every file name, and a path written in one that lacks
// a character would name another file. Lines end with CR LF. Writing is best
// effort: a stream that is closed or missing loses the text, never the exit
// code.

#include <windows.h>

#include <cstddef>

class COutputStream
{
public:
    explicit COutputStream(DWORD nStdHandle);
    void Write(const wchar_t* pch, std::size_t cch) const;

private:
    HANDLE m_hOutput;
    bool m_bConsole;
};

// One line, built piece by piece in a bounded buffer that goes to the
// stream whenever it fills, so a piece of any length (a path) is written
// whole. The line ends, with CR LF, when the object goes away.
class CLine
{
public:
    explicit CLine(const COutputStream& stream) : m_stream(stream) {}
    ~CLine();
    CLine(const CLine&) = delete;
    CLine& operator=(const CLine&) = delete;

    // ASCII text; a line feed becomes a blank, so the system's two-line
    // messages fit on one line.
    CLine& Text(const char* pszAscii);
    CLine& Text(const wchar_t* pszText);
    CLine& Decimal(unsigned long long nValue);
    CLine& Integer(int nValue);                  // with its sign
    CLine& Address(DWORD dwAddress);             // 0x0000ABCD
    CLine& Seconds(unsigned long long nMilliseconds);

private:
    void Put(wchar_t ch);

    const COutputStream& m_stream;
    wchar_t m_szBuffer[256];
    std::size_t m_cch = 0;
};
