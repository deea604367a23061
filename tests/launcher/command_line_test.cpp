#include "command_line.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

// The image path, or "<refused>".
std::wstring ImagePath(const wchar_t* pszArguments)
{
    WIDEPATHBUFFER szImagePath;
    std::wmemset(szImagePath, L'x', PATH_BUFFER_SIZE);
    if (!ImagePathFromCommandLine(pszArguments, szImagePath)) {
        EXPECT_STREQ(L"", szImagePath);
        return L"<refused>";
    }
    return szImagePath;
}

std::wstring ImagePath(const std::wstring& arguments)
{
    return ImagePath(arguments.c_str());
}

} // namespace

TEST(ImagePathFromCommandLine, DropsTheQuotes)
{
    EXPECT_EQ(L"C:\\img\\boot.bin", ImagePath(L"\"C:\\img\\boot.bin\""));
    EXPECT_EQ(L"C:\\my images\\boot.bin", ImagePath(L"\"C:\\my images\\boot.bin\""));
}

TEST(ImagePathFromCommandLine, DropsTheFirstAndLastCharacterWhateverTheyAre)
{
    EXPECT_EQ(L":\\img\\boot.bi", ImagePath(L"C:\\img\\boot.bin"));
    // A blank after the closing quote: the quote stays.
    EXPECT_EQ(L"C:\\img\\boot.bin\"", ImagePath(L"\"C:\\img\\boot.bin\" "));
}

TEST(ImagePathFromCommandLine, ShortCommandLinesGiveAnEmptyPath)
{
    EXPECT_EQ(L"", ImagePath(L""));
    EXPECT_EQ(L"", ImagePath(L"x"));
    EXPECT_EQ(L"", ImagePath(L"\"\""));
    EXPECT_EQ(L"", ImagePath(nullptr));
}

TEST(ImagePathFromCommandLine, Takes260CharactersAndRefusesMore)
{
    const std::wstring path258 = L"C:\\" + std::wstring(251, L'p') + L".bin";
    ASSERT_EQ(258u, path258.size());
    EXPECT_EQ(path258, ImagePath((L"\"" + path258 + L"\"")));

    // One more character would be cut off: the result would name another file.
    const std::wstring path259 = L"C:\\" + std::wstring(252, L'p') + L".bin";
    EXPECT_EQ(L"<refused>", ImagePath((L"\"" + path259 + L"\"")));
    EXPECT_EQ(L"<refused>", ImagePath(std::wstring(32767, L'c')));
}

TEST(ArgumentsOfCommandLine, TakesOffTheProgramNameAsTheRuntimeStartUpDoes)
{
    const struct
    {
        const wchar_t* pszCommandLine;
        const wchar_t* pszArguments;
    } cases[] = {
        {L"\"C:\\Kestrun\\Kestrun.exe\" \"C:\\img\\boot.bin\"", L"\"C:\\img\\boot.bin\""},
        {L"C:\\Kestrun\\Kestrun.exe \"C:\\img\\boot.bin\"", L"\"C:\\img\\boot.bin\""},
        {L"\"C:\\Program Files\\K\\Kestrun.exe\" \"x y.bin\"", L"\"x y.bin\""},
        // Quotes toggle: the name runs on to the first blank outside them.
        {L"\"Kes\"trun.exe \"x\"", L"\"x\""},
        {L"\"Kestrun.exe\"x \"y\"", L"\"y\""},
        {L"\"Kestrun.exe\"\"q\"", L""},
        {L"\"Kestrun.exe", L""},
        // Every blank and control character after the name goes; trailing ones stay.
        {L"Kestrun.exe\t \x01\"z\"  ", L"\"z\"  "},
        {L"Kestrun.exe", L""},
        {L"", L""},
        // Characters beyond ASCII are part of a name like any other.
        {L"C:\\\x00E9\x674E\\Kestrun.exe \"w\"", L"\"w\""},
    };
    for (const auto& test : cases)
        EXPECT_STREQ(test.pszArguments, ArgumentsOfCommandLine(test.pszCommandLine)) << test.pszCommandLine;
    EXPECT_EQ(nullptr, ArgumentsOfCommandLine(nullptr));
}
