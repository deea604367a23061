#include "hand_off_command_line.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t IMAGE[] = L"C:\\my images\\boot.bin";

struct HAND_OFF_CASE
{
    const wchar_t* pszCommand;
    const wchar_t* pszPath;
    HAND_OFF_COMMAND_RESULT result;
    const wchar_t* pszCommandLine;   // empty unless the result is ..._OK
};

} // namespace

TEST(HandOffCommandLine, ReplacesEveryPlaceholderAndLeavesTheRestAsItStands)
{
    const HAND_OFF_CASE cases[] = {
        {L"\"C:\\Program Files\\Q K\\Kestrun.exe\" \"%1\"", IMAGE, HAND_OFF_COMMAND_OK,
         L"\"C:\\Program Files\\Q K\\Kestrun.exe\" \"C:\\my images\\boot.bin\""},
        {L"C:\\Tools\\Kestrun.exe \"%1\"", IMAGE, HAND_OFF_COMMAND_OK,
         L"C:\\Tools\\Kestrun.exe \"C:\\my images\\boot.bin\""},
        // An unquoted placeholder stays unquoted, as the shell leaves it.
        {L"C:\\Tools\\Kestrun.exe %1", IMAGE, HAND_OFF_COMMAND_OK, L"C:\\Tools\\Kestrun.exe C:\\my images\\boot.bin"},
        {L"K.exe \"%1\" \"%1\"", L"C:\\a.bin", HAND_OFF_COMMAND_OK, L"K.exe \"C:\\a.bin\" \"C:\\a.bin\""},
        {L"K.exe %1%1", L"x", HAND_OFF_COMMAND_OK, L"K.exe xx"},
        // Other placeholders and lone percent signs are not ours to fill.
        {L"K.exe %2 %L %% \"%1\" %", L"x", HAND_OFF_COMMAND_OK, L"K.exe %2 %L %% \"x\" %"},
        // The path is taken as it is, never scanned for placeholders again.
        {L"K.exe \"%1\"", L"C:\\100%1\\\x674E\xFF3C.bin", HAND_OFF_COMMAND_OK, L"K.exe \"C:\\100%1\\\x674E\xFF3C.bin\""},
        {L"K.exe \"%1\"", L"", HAND_OFF_COMMAND_OK, L"K.exe \"\""},
        // A command that never names the file would start the launcher for nothing.
        {L"C:\\Tools\\Kestrun.exe", IMAGE, HAND_OFF_COMMAND_NO_PLACEHOLDER, L""},
        {L"C:\\Tools\\Kestrun.exe \"%\"1", IMAGE, HAND_OFF_COMMAND_NO_PLACEHOLDER, L""},
        {L"", IMAGE, HAND_OFF_COMMAND_NO_PLACEHOLDER, L""},
        {nullptr, IMAGE, HAND_OFF_COMMAND_NO_PLACEHOLDER, L""},
        {L"K.exe \"%1\"", nullptr, HAND_OFF_COMMAND_NO_PLACEHOLDER, L""},
    };
    for (const HAND_OFF_CASE& test : cases) {
        SCOPED_TRACE(testing::Message() << (test.pszCommand ? test.pszCommand : L"<null>"));
        wchar_t szCommandLine[MAX_HAND_OFF_COMMAND_LINE];
        std::wmemset(szCommandLine, L'x', MAX_HAND_OFF_COMMAND_LINE);
        EXPECT_EQ(test.result, BuildHandOffCommandLine(test.pszCommand, test.pszPath, szCommandLine,
                                                       MAX_HAND_OFF_COMMAND_LINE));
        EXPECT_STREQ(test.pszCommandLine, szCommandLine);
    }
}

TEST(HandOffCommandLine, NeverWritesPastItsBuffer)
{
    // "K.exe " and the path: 6 + n characters, then the terminator.
    const std::wstring path(100, L'p');
    for (std::size_t cchBuffer : {1u, 50u, 106u, 107u, 108u}) {
        SCOPED_TRACE(cchBuffer);
        std::wstring buffer(cchBuffer + 8, L'#');
        const HAND_OFF_COMMAND_RESULT result =
            BuildHandOffCommandLine(L"K.exe %1", path.c_str(), &buffer[0], cchBuffer);
        EXPECT_EQ(cchBuffer >= 107 ? HAND_OFF_COMMAND_OK : HAND_OFF_COMMAND_TOO_LONG, result);
        EXPECT_EQ(std::wstring(8, L'#'), buffer.substr(cchBuffer));
        EXPECT_EQ(result == HAND_OFF_COMMAND_OK ? L"K.exe " + path : std::wstring(), buffer.c_str());
    }

    // The longest registered command, four placeholders and the longest path.
    const std::wstring command = L"K.exe %1 %1 %1 %1" + std::wstring(259 - 17, L' ');
    const std::wstring path259(259, L'q');
    wchar_t szCommandLine[MAX_HAND_OFF_COMMAND_LINE];
    EXPECT_EQ(HAND_OFF_COMMAND_TOO_LONG, BuildHandOffCommandLine(command.c_str(), path259.c_str(), szCommandLine,
                                                                 MAX_HAND_OFF_COMMAND_LINE));
    EXPECT_STREQ(L"", szCommandLine);
    EXPECT_EQ(HAND_OFF_COMMAND_TOO_LONG, BuildHandOffCommandLine(L"K.exe %1", L"x", nullptr, 10));
}

TEST(HandOffCommandLine, StartsOnlyAnAbsolutePathToTheLauncher)
{
    const struct
    {
        const wchar_t* pszCommand;
        const wchar_t* pszProgram;   // empty: refused
    } cases[] = {
        {L"\"C:\\Program Files\\Q K\\Kestrun.exe\" \"%1\"", L"C:\\Program Files\\Q K\\Kestrun.exe"},
        {L"C:\\Tools\\Kestrun.exe \"%1\"", L"C:\\Tools\\Kestrun.exe"},
        {L"c:\\tools\\KESTRUN.EXE\t%1", L"c:\\tools\\KESTRUN.EXE"},
        {L"\"\\\\server\\share\\Kestrun.exe\" \"%1\"", L"\\\\server\\share\\Kestrun.exe"},
        // Windows would try C:\Program.exe first.
        {L"C:\\Program Files\\Q K\\Kestrun.exe \"%1\"", L""},
        // Looked up along the search path, the current folder first.
        {L"Kestrun.exe \"%1\"", L""},
        {L"Tools\\Kestrun.exe \"%1\"", L""},
        {L"\\Tools\\Kestrun.exe \"%1\"", L""},
        {L"C:Kestrun.exe \"%1\"", L""},
        // The quote closes after a blank: "Kestrun.exe " is another name.
        {L"\"C:\\Tools\\Kestrun.exe \"%1\"", L""},
        {L"\"C:\\Tools\\Kestrun.exe", L""},
        {L"\"C:\\Tools\\Other.exe\" \"%1\"", L""},
        {L"\"C:\\Tools\\NotKestrun.exe\" \"%1\"", L""},
        {L" C:\\Tools\\Kestrun.exe \"%1\"", L""},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << (test.pszCommand ? test.pszCommand : L"<null>"));
        wchar_t szProgram[260];
        std::wmemset(szProgram, L'x', 260);
        EXPECT_EQ(test.pszProgram[0] != L'\0', HandOffProgram(test.pszCommand, szProgram, 260));
        EXPECT_STREQ(test.pszProgram, szProgram);
    }
    // A program that does not fit is refused, not cut.
    wchar_t szSmall[21];
    EXPECT_TRUE(HandOffProgram(L"C:\\Tools\\Kestrun.exe \"%1\"", szSmall, 21));
    EXPECT_FALSE(HandOffProgram(L"C:\\Tools\\Kestrun.exe \"%1\"", szSmall, 20));
    EXPECT_STREQ(L"", szSmall);
}
