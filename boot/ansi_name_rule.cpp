#include "ansi_name_rule.h"

#include "path_buffer.h"

#include <cwchar>

namespace {

bool IsUsable(const ANSI_FORM& form)
{
    return form.bExact && form.cbText < PATH_BUFFER_SIZE;
}

} // namespace

ANSI_NAME_CHOICE ChooseAnsiName(const ANSI_FORM& trueName, const ANSI_FORM& shortName)
{
    if (IsUsable(trueName))
        return ANSI_NAME_TRUE;
    if (IsUsable(shortName))
        return ANSI_NAME_SHORT;
    return ANSI_NAME_NONE;
}

bool IsExactAnsiForm(bool bUsedDefaultChar, const wchar_t* pszOriginal, const wchar_t* pszRoundTrip)
{
    if (bUsedDefaultChar || pszOriginal == nullptr || pszRoundTrip == nullptr)
        return false;
    return std::wcscmp(pszOriginal, pszRoundTrip) == 0;
}
