// The console program's command line. Splitting: the arguments are those a
// reference splitter of the same rules finds (program name, blanks outside
// quotes, backslashes before quotes, every third quote of a run literal),
// and a storage of the line's length plus one always holds them, while a
// smaller one is never written past and never yields half an argument.
// Options: the parse agrees with a reference over the reference's
// arguments, and every number is taken exactly when it is digits (or 0x and
// hex digits) worth at most 0xFFFFFFFF.

#include "boot_options.h"
#include "command_arguments.h"
#include "fuzz_support.h"
#include "number_text.h"

#include <algorithm>
#include <vector>

namespace {

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

std::vector<std::wstring> ReferenceArguments(const std::wstring& line)
{
    std::size_t i = 0;
    if (!line.empty() && line[0] == L'"') {
        i = line.find(L'"', 1);
        i = i == std::wstring::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
    }
    std::vector<std::wstring> arguments;
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            return arguments;
        std::wstring argument;
        bool bQuoted = false;
        while (i < line.size() && !(IsBlank(line[i]) && !bQuoted)) {
            std::size_t nBackslashes = 0;
            while (i < line.size() && line[i] == L'\\') {
                ++nBackslashes;
                ++i;
            }
            if (i == line.size() || line[i] != L'"') {
                argument.append(nBackslashes, L'\\');
                if (nBackslashes == 0)
                    argument += line[i++];
                continue;
            }
            argument.append(nBackslashes / 2, L'\\');
            // The run of quotes, the first one escaped by an odd backslash.
            std::size_t nRun = 0;
            while (i < line.size() && line[i] == L'"') {
                ++nRun;
                ++i;
            }
            std::size_t nCounted = nRun;
            if (nBackslashes % 2 == 1) {
                argument += L'"';
                --nCounted;
            }
            // Counted quotes go 0 -> 1 -> 2 -> (3: a literal, back to 0);
            // a run that ends on 2 closes the quoted part.
            std::size_t nState = bQuoted ? 1 : 0;
            for (std::size_t q = 0; q < nCounted; ++q) {
                if (++nState == 3) {
                    argument += L'"';
                    nState = 0;
                }
            }
            bQuoted = nState == 1;
        }
        arguments.push_back(argument);
    }
}

bool ReferenceNumber(const std::wstring& text, bool bHexAllowed, std::uint32_t* pValue)
{
    unsigned nBase = 10;
    std::wstring digits = text;
    if (bHexAllowed && text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        nBase = 16;
        digits = text.substr(2);
    }
    if (digits.empty())
        return false;
    unsigned long long nValue = 0;
    for (wchar_t ch : digits) {
        const wchar_t* pszDigits = L"0123456789abcdef";
        const wchar_t lower = ch >= L'A' && ch <= L'F' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
        const wchar_t* p = std::wcschr(pszDigits, lower);
        if (lower == L'\0' || p == nullptr || static_cast<unsigned>(p - pszDigits) >= nBase)
            return false;
        nValue = nValue * nBase + static_cast<unsigned>(p - pszDigits);
        if (nValue > 0xFFFFFFFFull)
            return false;
    }
    *pValue = static_cast<std::uint32_t>(nValue);
    return true;
}

struct REFERENCE_OPTIONS
{
    OPTIONS_RESULT result = OPTIONS_OK;
    std::size_t iArgument = SIZE_MAX;    // the argument at fault, SIZE_MAX for none
    std::size_t iImage = SIZE_MAX;
    std::size_t iSettings = SIZE_MAX;
    bool bAddressGiven = false;
    std::uint32_t nAddress = 0;
    std::uint32_t nWaitSeconds = 0;
};

REFERENCE_OPTIONS ReferenceOptions(const std::vector<std::wstring>& arguments)
{
    REFERENCE_OPTIONS ref;
    const std::wstring names[] = {L"--settings", L"--address", L"--wait-device"};
    bool bSeen[3] = {};
    bool bEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        ref.iArgument = i;
        if (!bEnded && (argument == L"--help" || argument == L"-h" || argument == L"/?")) {
            ref.result = OPTIONS_HELP;
            return ref;
        }
        if (!bEnded && !argument.empty() && argument[0] == L'-') {
            if (argument == L"--") {
                bEnded = true;
                continue;
            }
            const std::size_t n = static_cast<std::size_t>(std::find(names, names + 3, argument) - names);
            if (n == 3) {
                ref.result = OPTIONS_UNKNOWN;
                return ref;
            }
            if (bSeen[n]) {
                ref.result = OPTIONS_REPEATED;
                return ref;
            }
            bSeen[n] = true;
            if (++i == arguments.size()) {
                ref.result = OPTIONS_NO_VALUE;
                return ref;
            }
            ref.iArgument = i;
            if (n == 0) {
                ref.iSettings = i;
            } else if (n == 1) {
                ref.bAddressGiven = true;
                if (!ReferenceNumber(arguments[i], true, &ref.nAddress)) {
                    ref.result = OPTIONS_BAD_ADDRESS;
                    return ref;
                }
            } else if (!ReferenceNumber(arguments[i], false, &ref.nWaitSeconds)) {
                ref.result = OPTIONS_BAD_SECONDS;
                return ref;
            }
            continue;
        }
        if (ref.iImage != SIZE_MAX) {
            ref.result = OPTIONS_EXTRA_ARGUMENT;
            return ref;
        }
        ref.iImage = i;
    }
    ref.iArgument = SIZE_MAX;
    ref.result = ref.iImage != SIZE_MAX ? OPTIONS_OK : OPTIONS_NO_IMAGE;
    return ref;
}

// Splits with exactly cchStorage characters of room (a heap block of that
// size, so any write past it trips the address sanitizer).
std::vector<std::wstring> Split(const CFuzzWideText& line, std::size_t cchStorage, bool* pbOverflowed)
{
    std::unique_ptr<wchar_t[]> pStorage(new wchar_t[cchStorage > 0 ? cchStorage : 1]);
    CCommandArguments arguments(line.Get(), pStorage.get(), cchStorage);
    std::vector<std::wstring> split;
    for (const wchar_t* psz; (psz = arguments.Next()) != nullptr;) {
        FUZZ_CHECK(psz >= pStorage.get() && psz < pStorage.get() + cchStorage);
        split.push_back(psz);
    }
    *pbOverflowed = arguments.Overflowed();
    return split;
}

void CheckOptions(const CFuzzWideText& line, const std::vector<std::wstring>& expected)
{
    std::unique_ptr<wchar_t[]> pStorage(new wchar_t[line.Length() + 1]);
    CCommandArguments arguments(line.Get(), pStorage.get(), line.Length() + 1);
    BOOT_OPTIONS options;
    const wchar_t* pszArgument = nullptr;
    const OPTIONS_RESULT result = ParseBootOptions(arguments, &options, &pszArgument);
    const REFERENCE_OPTIONS ref = ReferenceOptions(expected);

    FUZZ_CHECK(result == ref.result);
    FUZZ_CHECK((pszArgument == nullptr) == (ref.iArgument == SIZE_MAX));
    if (pszArgument != nullptr)
        FUZZ_CHECK(expected[ref.iArgument] == pszArgument);
    if (result != OPTIONS_OK)
        return;
    FUZZ_CHECK(expected[ref.iImage] == options.pszImage);
    FUZZ_CHECK((options.pszSettings == nullptr) == (ref.iSettings == SIZE_MAX));
    if (options.pszSettings != nullptr)
        FUZZ_CHECK(expected[ref.iSettings] == options.pszSettings);
    FUZZ_CHECK(options.bAddressGiven == ref.bAddressGiven);
    FUZZ_CHECK(options.nAddress == ref.nAddress);
    FUZZ_CHECK(options.nWaitSeconds == ref.nWaitSeconds);
}

void CheckNumbers(const std::vector<std::wstring>& arguments)
{
    for (const std::wstring& argument : arguments) {
        for (bool bAddress : {true, false}) {
            std::uint32_t nValue = 0xA5A5A5A5;
            std::uint32_t nExpected = 0xA5A5A5A5;
            const bool bTaken = bAddress ? ParseAddress(argument.c_str(), &nValue) : ParseSeconds(argument.c_str(), &nValue);
            FUZZ_CHECK(bTaken == ReferenceNumber(argument, bAddress, &nExpected));
            FUZZ_CHECK(nValue == nExpected);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzWideText line(pData, cbData);
    const std::vector<std::wstring> expected = ReferenceArguments(line.Str());

    bool bOverflowed = true;
    FUZZ_CHECK(Split(line, line.Length() + 1, &bOverflowed) == expected);
    FUZZ_CHECK(!bOverflowed);

    // Less room: the arguments that fit, whole, then the overflow.
    const std::size_t cchSmall = cbData > 0 ? pData[0] % (line.Length() + 1) : 0;
    const std::vector<std::wstring> some = Split(line, cchSmall, &bOverflowed);
    FUZZ_CHECK(some.size() <= expected.size());
    FUZZ_CHECK(std::equal(some.begin(), some.end(), expected.begin()));
    FUZZ_CHECK(bOverflowed == (some.size() < expected.size()));

    CheckOptions(line, expected);
    CheckNumbers(expected);
    return 0;
}
