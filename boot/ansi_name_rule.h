#pragma once
// Which ANSI form of a chosen file's name may be handed to the boot library.
// The system's ANSI conversion maps a character the code page lacks to a
// look-alike (U+FF3C becomes a real backslash) or to "?": such a form names
// another file, another folder or a wildcard. Only an exact form is passed:
// the true name's, else the short name's, else none at all.

#include <cstddef>

// How a name came out of the ANSI code page.
struct ANSI_FORM
{
    bool bExact;            // no default character, no best fit, and back to the same UTF-16
    std::size_t cbText;     // its length in bytes, without the terminator
};

enum ANSI_NAME_CHOICE
{
    ANSI_NAME_TRUE,         // the true name, as the shell gave it
    ANSI_NAME_SHORT,        // its short (8.3) name
    ANSI_NAME_NONE,         // refused: no form names exactly this file
};

// The true name's form wins when it is exact and fits a path buffer with its
// terminator; otherwise the short name's under the same condition.
ANSI_NAME_CHOICE ChooseAnsiName(const ANSI_FORM& trueName, const ANSI_FORM& shortName);

// A conversion is exact when it needed no default character and the ANSI text
// converts back to the original UTF-16 text.
bool IsExactAnsiForm(bool bUsedDefaultChar, const wchar_t* pszOriginal, const wchar_t* pszRoundTrip);
