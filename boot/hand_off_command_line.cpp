#include "hand_off_command_line.h"

#include <cstring>
#include <cwchar>

namespace {

// Appends to a bounded, zero-filled buffer; once something did not fit,
// nothing more is written and the text counts as too long.
class CBoundedText
{
public:
    CBoundedText(wchar_t* pszText, std::size_t cchText) : m_pszText(pszText), m_cchText(cchText) {}

    void Append(const wchar_t* pszFirst, std::size_t cch)
    {
        if (m_bOverflow || cch >= m_cchText - m_cchUsed) {
            m_bOverflow = true;
            return;
        }
        std::memcpy(m_pszText + m_cchUsed, pszFirst, cch * sizeof(wchar_t));
        m_cchUsed += cch;
    }
    bool Overflowed() const { return m_bOverflow; }

private:
    wchar_t* m_pszText;
    std::size_t m_cchText;
    std::size_t m_cchUsed = 0;
    bool m_bOverflow = false;
};

bool IsAbsolutePath(const wchar_t* pszPath, std::size_t cchPath)
{
    const bool bDrive = cchPath >= 3 && ((pszPath[0] >= L'A' && pszPath[0] <= L'Z') || (pszPath[0] >= L'a' && pszPath[0] <= L'z'))
                     && pszPath[1] == L':' && pszPath[2] == L'\\';
    const bool bShare = cchPath >= 3 && pszPath[0] == L'\\' && pszPath[1] == L'\\' && pszPath[2] != L'\\';
    return bDrive || bShare;
}

// The file name after the last backslash is Kestrun.exe, in any case.
bool NamesTheLauncher(const wchar_t* pszPath, std::size_t cchPath)
{
    static const wchar_t LAUNCHER[] = L"\\kestrun.exe";
    const std::size_t cchName = sizeof(LAUNCHER) / sizeof(LAUNCHER[0]) - 1;
    if (cchPath < cchName)
        return false;
    const wchar_t* pszName = pszPath + cchPath - cchName;
    for (std::size_t i = 0; i < cchName; ++i) {
        wchar_t ch = pszName[i];
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        if (ch != LAUNCHER[i])
            return false;
    }
    return true;
}

} // namespace

bool HandOffProgram(const wchar_t* pszCommand, wchar_t* pszProgram, std::size_t cchProgram)
{
    if (pszProgram == nullptr || cchProgram == 0)
        return false;
    std::memset(pszProgram, 0, cchProgram * sizeof(wchar_t));
    if (pszCommand == nullptr)
        return false;

    const bool bQuoted = pszCommand[0] == L'"';
    const wchar_t* pszFirst = pszCommand + (bQuoted ? 1 : 0);
    const wchar_t* pszEnd = pszFirst;
    while (*pszEnd != L'\0' && (bQuoted ? *pszEnd != L'"' : *pszEnd != L' ' && *pszEnd != L'\t'))
        ++pszEnd;
    if (bQuoted && *pszEnd != L'"')
        return false;
    const std::size_t cch = static_cast<std::size_t>(pszEnd - pszFirst);
    if (cch >= cchProgram || !IsAbsolutePath(pszFirst, cch) || !NamesTheLauncher(pszFirst, cch))
        return false;
    std::memcpy(pszProgram, pszFirst, cch * sizeof(wchar_t));
    return true;
}

HAND_OFF_COMMAND_RESULT BuildHandOffCommandLine(const wchar_t* pszCommand, const wchar_t* pszPath,
                                                wchar_t* pszCommandLine, std::size_t cchCommandLine)
{
    if (pszCommandLine == nullptr || cchCommandLine == 0)
        return HAND_OFF_COMMAND_TOO_LONG;
    std::memset(pszCommandLine, 0, cchCommandLine * sizeof(wchar_t));
    if (pszCommand == nullptr || pszPath == nullptr)
        return HAND_OFF_COMMAND_NO_PLACEHOLDER;

    CBoundedText text(pszCommandLine, cchCommandLine);
    const std::size_t cchPath = std::wcslen(pszPath);
    bool bPlaceholder = false;
    const wchar_t* pszRun = pszCommand;   // characters copied as they stand
    for (const wchar_t* p = pszCommand; *p != L'\0';) {
        if (p[0] == L'%' && p[1] == L'1') {
            text.Append(pszRun, static_cast<std::size_t>(p - pszRun));
            text.Append(pszPath, cchPath);
            bPlaceholder = true;
            p += 2;
            pszRun = p;
        } else {
            ++p;
        }
    }
    text.Append(pszRun, std::wcslen(pszRun));

    if (!bPlaceholder) {
        std::memset(pszCommandLine, 0, cchCommandLine * sizeof(wchar_t));
        return HAND_OFF_COMMAND_NO_PLACEHOLDER;
    }
    if (text.Overflowed()) {
        std::memset(pszCommandLine, 0, cchCommandLine * sizeof(wchar_t));
        return HAND_OFF_COMMAND_TOO_LONG;
    }
    return HAND_OFF_COMMAND_OK;
}
