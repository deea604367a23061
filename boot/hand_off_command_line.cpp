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

} // namespace

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
