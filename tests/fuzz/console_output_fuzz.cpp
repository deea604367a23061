// The console program's output text. UTF-8: every UTF-16 text, lone
// surrogates and all, gives at most three bytes a unit, decodes back to
// exactly the same units, and is strict UTF-8 whenever the text holds no
// lone surrogate. Numbers: the decimal, address and seconds texts say what
// the standard library's formatting says, and stay inside their buffers.

#include "fuzz_support.h"
#include "number_text.h"
#include "utf8_text.h"

#include <cstdio>
#include <vector>

namespace {

// Generalised UTF-8 back to UTF-16 units; false on a malformed or
// over-long sequence.
bool DecodeBack(const unsigned char* p, std::size_t cb, std::vector<unsigned>* pUnits, bool* pbSurrogateBytes)
{
    *pbSurrogateBytes = false;
    for (std::size_t i = 0; i < cb;) {
        const unsigned b = p[i];
        std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > cb)
            return false;
        unsigned long code = n == 1 ? b : b & (0xFF >> (n + 1));
        for (std::size_t k = 1; k < n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        const unsigned long minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < minimum[n] || code > 0x10FFFF)
            return false;
        if (code >= 0xD800 && code <= 0xDFFF)
            *pbSurrogateBytes = true;
        if (code >= 0x10000) {
            pUnits->push_back(0xD800 + ((code - 0x10000) >> 10));
            pUnits->push_back(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            pUnits->push_back(static_cast<unsigned>(code));
        }
        i += n;
    }
    return true;
}

bool HasLoneSurrogate(const std::wstring& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned unit = static_cast<unsigned>(text[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (unit >= 0xD800 && unit <= 0xDFFF)
            return true;
    }
    return false;
}

void CheckUtf8(const CFuzzWideText& text)
{
    const std::size_t cbRoom = text.Length() * UTF8_BYTES_PER_UNIT;
    std::unique_ptr<char[]> pBytes(new char[cbRoom > 0 ? cbRoom : 1]);
    const std::size_t cb = EncodeUtf8(text.Get(), text.Length(), pBytes.get());
    FUZZ_CHECK(cb <= cbRoom);

    std::vector<unsigned> units;
    bool bSurrogateBytes = false;
    FUZZ_CHECK(DecodeBack(reinterpret_cast<const unsigned char*>(pBytes.get()), cb, &units, &bSurrogateBytes));
    FUZZ_CHECK(units.size() == text.Length());
    for (std::size_t i = 0; i < units.size(); ++i)
        FUZZ_CHECK(units[i] == static_cast<unsigned>(text.Str()[i]));
    FUZZ_CHECK(bSurrogateBytes == HasLoneSurrogate(text.Str()));
}

template <std::size_t N>
std::wstring Guarded(std::size_t (*format)(std::uint64_t, wchar_t (&)[N]), std::uint64_t nValue)
{
    wchar_t szText[N + 8];
    for (wchar_t& ch : szText)
        ch = L'#';
    const std::size_t cch = format(nValue, *reinterpret_cast<wchar_t(*)[N]>(szText));
    for (std::size_t i = N; i < N + 8; ++i)
        FUZZ_CHECK(szText[i] == L'#');
    FUZZ_CHECK(cch < N && szText[cch] == L'\0');
    return std::wstring(szText, cch);
}

std::size_t FormatAddress64(std::uint64_t nValue, wchar_t (&szText)[ADDRESS_TEXT_SIZE])
{
    return FormatAddress(static_cast<std::uint32_t>(nValue), szText);
}

std::wstring Printed(const char* pszFormat, unsigned long long a, unsigned long long b = 0)
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), pszFormat, a, b);
    return std::wstring(szText, szText + std::strlen(szText));
}

void CheckNumbers(const std::uint8_t* pData, std::size_t cbData)
{
    std::uint64_t nValue = 0;
    std::memcpy(&nValue, pData, cbData < sizeof(nValue) ? cbData : sizeof(nValue));
    FUZZ_CHECK(Guarded(FormatDecimal, nValue) == Printed("%llu", nValue));
    FUZZ_CHECK(Guarded(FormatAddress64, nValue) == Printed("0x%08llX", nValue & 0xFFFFFFFFull));
    if (nValue < ~0ull - 5) {
        const unsigned long long nHundredths = (nValue + 5) / 10;
        FUZZ_CHECK(Guarded(FormatSeconds, nValue) == Printed("%llu.%02llu", nHundredths / 100, nHundredths % 100));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    CheckUtf8(CFuzzWideText(pData, cbData));
    CheckNumbers(pData, cbData);
    return 0;
}
