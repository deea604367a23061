#include "boot_options.h"

#include "number_text.h"

#include <cwchar>

namespace {

enum OPTION
{
    OPTION_SETTINGS,
    OPTION_ADDRESS,
    OPTION_WAIT_DEVICE,
    OPTION_COUNT,
};

const wchar_t* const OPTION_NAMES[OPTION_COUNT] = {L"--settings", L"--address", L"--wait-device"};

bool IsHelp(const wchar_t* pszArgument)
{
    return std::wcscmp(pszArgument, L"--help") == 0 || std::wcscmp(pszArgument, L"-h") == 0
        || std::wcscmp(pszArgument, L"/?") == 0;
}

// The option's value into the options; the result says what was wrong.
OPTIONS_RESULT TakeValue(OPTION option, const wchar_t* pszValue, BOOT_OPTIONS* pOptions)
{
    switch (option) {
    case OPTION_SETTINGS:
        pOptions->pszSettings = pszValue;
        return OPTIONS_OK;
    case OPTION_ADDRESS:
        pOptions->bAddressGiven = true;
        return ParseAddress(pszValue, &pOptions->nAddress) ? OPTIONS_OK : OPTIONS_BAD_ADDRESS;
    case OPTION_WAIT_DEVICE:
    case OPTION_COUNT:
        break;
    }
    return ParseSeconds(pszValue, &pOptions->nWaitSeconds) ? OPTIONS_OK : OPTIONS_BAD_SECONDS;
}

} // namespace

OPTIONS_RESULT ParseBootOptions(CCommandArguments& arguments, BOOT_OPTIONS* pOptions, const wchar_t** ppszArgument)
{
    *pOptions = BOOT_OPTIONS();
    *ppszArgument = nullptr;
    bool bGiven[OPTION_COUNT] = {};
    bool bOptionsEnded = false;

    for (const wchar_t* pszArgument; (pszArgument = arguments.Next()) != nullptr;) {
        *ppszArgument = pszArgument;
        if (!bOptionsEnded && IsHelp(pszArgument))
            return OPTIONS_HELP;
        if (!bOptionsEnded && pszArgument[0] == L'-') {
            if (std::wcscmp(pszArgument, L"--") == 0) {
                bOptionsEnded = true;
                continue;
            }
            int nOption = 0;
            while (nOption < OPTION_COUNT && std::wcscmp(pszArgument, OPTION_NAMES[nOption]) != 0)
                ++nOption;
            if (nOption == OPTION_COUNT)
                return OPTIONS_UNKNOWN;
            if (bGiven[nOption])
                return OPTIONS_REPEATED;
            bGiven[nOption] = true;
            const wchar_t* pszValue = arguments.Next();
            if (pszValue == nullptr)
                return arguments.Overflowed() ? OPTIONS_TOO_LONG : OPTIONS_NO_VALUE;
            *ppszArgument = pszValue;
            const OPTIONS_RESULT result = TakeValue(static_cast<OPTION>(nOption), pszValue, pOptions);
            if (result != OPTIONS_OK)
                return result;
            continue;
        }
        if (pOptions->pszImage != nullptr)
            return OPTIONS_EXTRA_ARGUMENT;
        pOptions->pszImage = pszArgument;
    }

    *ppszArgument = nullptr;
    if (arguments.Overflowed())
        return OPTIONS_TOO_LONG;
    return pOptions->pszImage != nullptr ? OPTIONS_OK : OPTIONS_NO_IMAGE;
}
