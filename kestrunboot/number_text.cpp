#include "number_text.h"

namespace {

const std::uint64_t MAX_VALUE = 0xFFFFFFFFu;

// The value of one digit in the base, or -1.
int DigitValue(wchar_t ch, unsigned nBase)
{
    int nValue = -1;
    if (ch >= L'0' && ch <= L'9')
        nValue = ch - L'0';
    else if (ch >= L'a' && ch <= L'f')
        nValue = ch - L'a' + 10;
    else if (ch >= L'A' && ch <= L'F')
        nValue = ch - L'A' + 10;
    return nValue >= 0 && static_cast<unsigned>(nValue) < nBase ? nValue : -1;
}

// At least one digit, only digits, at most MAX_VALUE.
bool ParseDigits(const wchar_t* pszDigits, unsigned nBase, std::uint32_t* pValue)
{
    if (pszDigits == nullptr || *pszDigits == L'\0')
        return false;
    std::uint64_t nValue = 0;
    for (const wchar_t* p = pszDigits; *p != L'\0'; ++p) {
        const int nDigit = DigitValue(*p, nBase);
        if (nDigit < 0)
            return false;
        nValue = nValue * nBase + static_cast<unsigned>(nDigit);
        if (nValue > MAX_VALUE)
            return false;
    }
    *pValue = static_cast<std::uint32_t>(nValue);
    return true;
}

} // namespace

bool ParseAddress(const wchar_t* pszText, std::uint32_t* pValue)
{
    if (pszText != nullptr && pszText[0] == L'0' && (pszText[1] == L'x' || pszText[1] == L'X'))
        return ParseDigits(pszText + 2, 16, pValue);
    return ParseDigits(pszText, 10, pValue);
}

bool ParseSeconds(const wchar_t* pszText, std::uint32_t* pValue)
{
    return ParseDigits(pszText, 10, pValue);
}

std::size_t FormatDecimal(std::uint64_t nValue, wchar_t (&szText)[DECIMAL_TEXT_SIZE])
{
    // Digits by subtraction: a 32-bit program would call the runtime for
    // every 64-bit division.
    static const std::uint64_t POWERS[DECIMAL_TEXT_SIZE - 1] = {
        10000000000000000000ull, 1000000000000000000ull, 100000000000000000ull, 10000000000000000ull,
        1000000000000000ull, 100000000000000ull, 10000000000000ull, 1000000000000ull, 100000000000ull,
        10000000000ull, 1000000000ull, 100000000ull, 10000000ull, 1000000ull, 100000ull, 10000ull, 1000ull,
        100ull, 10ull, 1ull};
    std::size_t cch = 0;
    for (std::uint64_t nPower : POWERS) {
        wchar_t chDigit = L'0';
        for (; nValue >= nPower; nValue -= nPower)
            ++chDigit;
        if (cch > 0 || chDigit != L'0' || nPower == 1)
            szText[cch++] = chDigit;
    }
    szText[cch] = L'\0';
    return cch;
}

std::size_t FormatAddress(std::uint32_t nValue, wchar_t (&szText)[ADDRESS_TEXT_SIZE])
{
    static const wchar_t DIGITS[] = L"0123456789ABCDEF";
    szText[0] = L'0';
    szText[1] = L'x';
    for (std::size_t i = 0; i < 8; ++i)
        szText[2 + i] = DIGITS[(nValue >> (28 - 4 * i)) & 0xF];
    szText[10] = L'\0';
    return 10;
}

std::size_t FormatSeconds(std::uint64_t nMilliseconds, wchar_t (&szText)[SECONDS_TEXT_SIZE])
{
    // Hundredths rounded half up: the digits of the milliseconds plus 5,
    // at least four of them, without the last, a point before the last two.
    wchar_t szDigits[DECIMAL_TEXT_SIZE];
    const std::size_t cchDigits = FormatDecimal(nMilliseconds < ~0ull - 5 ? nMilliseconds + 5 : nMilliseconds, szDigits);
    const std::size_t cchPadding = cchDigits < 4 ? 4 - cchDigits : 0;
    std::size_t cch = 0;
    for (std::size_t i = 0; i < cchPadding + cchDigits - 1; ++i) {
        if (i == cchPadding + cchDigits - 3)
            szText[cch++] = L'.';
        szText[cch++] = i < cchPadding ? L'0' : szDigits[i - cchPadding];
    }
    szText[cch] = L'\0';
    return cch;
}
