#include "ansi_name.h"

#include "ansi_name_rule.h"

#include <cstring>

namespace {

// Converts pszText into szAnsi (zero-filled first) and says how exact that
// was. A form too long for the buffer is measured, not converted.
ANSI_FORM ConvertToAnsi(LPCWSTR pszText, PATHBUFFER& szAnsi)
{
    std::memset(szAnsi, 0, sizeof(szAnsi));
    ANSI_FORM form = {false, 0};

    // With UTF-8 as the ANSI code page there is neither a default character
    // nor a best fit (and asking for them fails): the round trip decides.
    const bool bUtf8 = GetACP() == CP_UTF8;
    const DWORD dwFlags = bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL bUsedDefaultChar = FALSE;
    LPBOOL pbUsedDefaultChar = bUtf8 ? NULL : &bUsedDefaultChar;

    const int cbNeeded = WideCharToMultiByte(CP_ACP, dwFlags, pszText, -1, NULL, 0, NULL, pbUsedDefaultChar);
    if (cbNeeded <= 0)
        return form;
    form.cbText = static_cast<std::size_t>(cbNeeded) - 1;
    if (static_cast<std::size_t>(cbNeeded) > sizeof(szAnsi))
        return form;

    bUsedDefaultChar = FALSE;
    if (WideCharToMultiByte(CP_ACP, dwFlags, pszText, -1, szAnsi, sizeof(szAnsi), NULL, pbUsedDefaultChar) <= 0)
        return form;
    WIDEPATHBUFFER szRoundTrip = {};
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, szAnsi, -1, szRoundTrip, PATH_BUFFER_SIZE) <= 0)
        return form;
    form.bExact = IsExactAnsiForm(bUsedDefaultChar != FALSE, pszText, szRoundTrip);
    return form;
}

} // namespace

bool AnsiNameForBootLibrary(LPCWSTR pszPath, PATHBUFFER& szPath)
{
    std::memset(szPath, 0, sizeof(szPath));
    if (pszPath == NULL)
        return false;

    PATHBUFFER szTrueName;
    const ANSI_FORM trueName = ConvertToAnsi(pszPath, szTrueName);
    PATHBUFFER szShortName = {};
    ANSI_FORM shortName = {false, 0};
    // Only a name the code page cannot spell (or too long to fit) needs its
    // short form; a file system that keeps none hands back the long name.
    if (ChooseAnsiName(trueName, shortName) != ANSI_NAME_TRUE) {
        WIDEPATHBUFFER szShortPath = {};
        const DWORD cch = GetShortPathNameW(pszPath, szShortPath, PATH_BUFFER_SIZE);
        if (cch > 0 && cch < PATH_BUFFER_SIZE)
            shortName = ConvertToAnsi(szShortPath, szShortName);
    }

    switch (ChooseAnsiName(trueName, shortName)) {
    case ANSI_NAME_TRUE:
        std::memcpy(szPath, szTrueName, sizeof(szPath));
        return true;
    case ANSI_NAME_SHORT:
        std::memcpy(szPath, szShortName, sizeof(szPath));
        return true;
    case ANSI_NAME_NONE:
        break;
    }
    return false;
}
