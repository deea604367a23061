// The pure rules of the hand-off and of the boot library's ANSI path.
// Hand-off: the input split at its first tab into a registered command and a
// path; the command line is the command with every "%1", left to right,
// replaced by the path, exactly when there is one and it fits its buffer,
// and nothing is written outside the buffer either way. ANSI path: a form
// is chosen only when it is exact and fits a path buffer, the true name's
// first.

#include "ansi_name_rule.h"
#include "fuzz_support.h"
#include "hand_off_command_line.h"

namespace {

std::wstring ReferenceCommandLine(const std::wstring& command, const std::wstring& path, bool* pbPlaceholder)
{
    std::wstring result;
    *pbPlaceholder = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command.compare(i, 2, L"%1") == 0) {
            result += path;
            *pbPlaceholder = true;
            ++i;
        } else {
            result += command[i];
        }
    }
    return result;
}

void CheckHandOff(const std::wstring& command, const std::wstring& path, std::size_t cchBuffer)
{
    bool bPlaceholder = false;
    const std::wstring expected = ReferenceCommandLine(command, path, &bPlaceholder);
    std::wstring buffer(cchBuffer + 16, L'#');
    const HAND_OFF_COMMAND_RESULT result = BuildHandOffCommandLine(command.c_str(), path.c_str(), &buffer[0], cchBuffer);

    FUZZ_CHECK(buffer.compare(cchBuffer, 16, std::wstring(16, L'#')) == 0);
    if (!bPlaceholder)
        FUZZ_CHECK(result == HAND_OFF_COMMAND_NO_PLACEHOLDER);
    else if (expected.size() >= cchBuffer)
        FUZZ_CHECK(result == HAND_OFF_COMMAND_TOO_LONG);
    else
        FUZZ_CHECK(result == HAND_OFF_COMMAND_OK);
    const std::wstring written = result == HAND_OFF_COMMAND_OK ? expected : std::wstring();
    FUZZ_CHECK(buffer.compare(0, written.size(), written) == 0);
    for (std::size_t i = written.size(); i < cchBuffer; ++i)
        FUZZ_CHECK(buffer[i] == L'\0');
}

void CheckAnsiChoice(const std::uint8_t* pData, std::size_t cbData)
{
    if (cbData < 5)
        return;
    const ANSI_FORM trueName = {(pData[0] & 1) != 0, static_cast<std::size_t>(pData[1]) * 2 + (pData[0] >> 7)};
    const ANSI_FORM shortName = {(pData[2] & 1) != 0, static_cast<std::size_t>(pData[3]) * 2 + (pData[2] >> 7)};
    const bool bTrueUsable = trueName.bExact && trueName.cbText < PATH_BUFFER_SIZE;
    const bool bShortUsable = shortName.bExact && shortName.cbText < PATH_BUFFER_SIZE;
    const ANSI_NAME_CHOICE choice = ChooseAnsiName(trueName, shortName);
    FUZZ_CHECK(choice == (bTrueUsable ? ANSI_NAME_TRUE : bShortUsable ? ANSI_NAME_SHORT : ANSI_NAME_NONE));

    // Exact: no default character and the same text back.
    const CFuzzWideText text(pData + 4, cbData - 4);
    std::wstring roundTrip = text.Str();
    if ((pData[4] & 3) == 0 && !roundTrip.empty())
        roundTrip.back() = static_cast<wchar_t>(roundTrip.back() ^ 1);
    const bool bUsedDefault = (pData[4] & 4) != 0;
    FUZZ_CHECK(IsExactAnsiForm(bUsedDefault, text.Get(), roundTrip.c_str()) ==
               (!bUsedDefault && roundTrip == text.Str()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzWideText text(pData, cbData);
    const std::size_t ichTab = text.Str().find(L'\t');
    const std::wstring command = text.Str().substr(0, ichTab);
    const std::wstring path = ichTab == std::wstring::npos ? std::wstring(L"C:\\img\\boot.bin") : text.Str().substr(ichTab + 1);
    for (std::size_t cchBuffer : {std::size_t(1), command.size() + 1, command.size() + path.size() + 1,
                                  std::size_t(MAX_HAND_OFF_COMMAND_LINE)})
        CheckHandOff(command, path, cchBuffer);
    CheckAnsiChoice(pData, cbData);
    return 0;
}
