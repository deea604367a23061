#include "ansi_name.h"

#include "ansi_name_rule.h"

#include <cstring>

namespace {

// Converts pszText into szAnsi (zero-filled first) and says how exact that
// was; a form that does not fit the buffer counts as PATH_BUFFER_SIZE bytes.
// The round trip alone decides: a default character and every best fit come
// back as another character, and it holds for a UTF-8 ANSI code page too,
// which refuses the flags that would report them.
ANSI_FORM ConvertToAnsi(LPCWSTR pszText, PATHBUFFER& szAnsi)
{
    std::memset(szAnsi, 0, sizeof(szAnsi));
    const int cb = WideCharToMultiByte(CP_ACP, 0, pszText, -1, szAnsi, sizeof(szAnsi), NULL, NULL);
    ANSI_FORM form = {false, cb > 0 ? static_cast<std::size_t>(cb) - 1 : PATH_BUFFER_SIZE};
    WIDEPATHBUFFER szRoundTrip;   // terminated by the conversion it is read after
    if (cb > 0 && MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, szAnsi, -1, szRoundTrip, PATH_BUFFER_SIZE) > 0)
        form.bExact = IsExactAnsiForm(pszText, szRoundTrip);
    return form;
}

} // namespace

bool TrueNameIsExactAnsi(LPCWSTR pszPath)
{
    PATHBUFFER szPath;
    const ANSI_FORM noShortName = {false, 0};
    return ChooseAnsiName(ConvertToAnsi(pszPath, szPath), noShortName) == ANSI_NAME_TRUE;
}

bool AnsiNameForBootLibrary(LPCWSTR pszPath, PATHBUFFER& szPath)
{
    const ANSI_FORM trueName = ConvertToAnsi(pszPath, szPath);
    ANSI_FORM shortName = {false, 0};
    if (ChooseAnsiName(trueName, shortName) == ANSI_NAME_TRUE)
        return true;
    // Only a name the code page cannot spell (or too long to fit) needs its
    // short form; a file system that keeps none hands back the long name.
    WIDEPATHBUFFER szShortPath;   // read only when the call filled it
    const DWORD cch = GetShortPathNameW(pszPath, szShortPath, PATH_BUFFER_SIZE);
    if (cch > 0 && cch < PATH_BUFFER_SIZE)
        shortName = ConvertToAnsi(szShortPath, szPath);
    if (ChooseAnsiName(trueName, shortName) == ANSI_NAME_SHORT)
        return true;
    std::memset(szPath, 0, sizeof(szPath));
    return false;
}
