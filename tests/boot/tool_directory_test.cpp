#include "path_buffer.h"
#include "tool_directory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Directory(const std::string& command)
{
    const TOOL_DIRECTORY_SPAN span = FindToolDirectory(command.c_str());
    return command.substr(span.ichFirst, span.cch);
}

// A settings buffer between two guard areas, to catch writes past its ends.
struct GUARDED_PATH
{
    char before[32];
    PATHBUFFER szPath;
    char after[32];

    GUARDED_PATH()
    {
        std::memset(this, 0x5A, sizeof(*this));
    }
    bool GuardsIntact() const
    {
        for (char c : before)
            if (c != 0x5A)
                return false;
        for (char c : after)
            if (c != 0x5A)
                return false;
        return true;
    }
};

} // namespace

TEST(ToolDirectory, IsEverythingUpToTheLastBackslash)
{
    EXPECT_EQ("C:\\Tools\\", Directory("C:\\Tools\\Kestrun.exe \"%1\""));
    EXPECT_EQ("C:\\", Directory("C:\\Kestrun.exe \"%1\""));
    // A launcher path quoted the Windows way: the quote is not part of it.
    EXPECT_EQ("C:\\Program Files\\Kestrun\\", Directory("\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\""));
    // Only one leading quote is skipped; quotes elsewhere stay.
    EXPECT_EQ("\"C:\\Tools\\", Directory("\"\"C:\\Tools\\Kestrun.exe\" \"%1\""));
    EXPECT_EQ("C:\\To\"ols\\", Directory("C:\\To\"ols\\Kestrun.exe \"%1\""));
    EXPECT_EQ("\\", Directory("\"\\"));
    // A backslash in the placeholder part still counts as the last one.
    EXPECT_EQ("C:\\Tools\\Kestrun.exe \"D:\\", Directory("C:\\Tools\\Kestrun.exe \"D:\\%1\""));
}

TEST(ToolDirectory, IsEmptyWithoutBackslash)
{
    EXPECT_EQ(0u, FindToolDirectory("Kestrun.exe \"%1\"").cch);
    EXPECT_EQ(0u, FindToolDirectory("").cch);
    EXPECT_EQ(0u, FindToolDirectory(nullptr).cch);
    EXPECT_EQ(0u, FindToolDirectory("C:/Tools/Kestrun.exe \"%1\"").cch);
    EXPECT_EQ(0u, FindToolDirectory("\"").cch);
}

TEST(ToolDirectory, TreatsDoubleByteCharactersByteByByte)
{
    // 0x95 0x5C is one double-byte character in code page 932 whose trail
    // byte is a backslash; the rule looks at bytes, so it ends the directory.
    EXPECT_EQ(5u, FindToolDirectory("C:\\\x95\x5CKestrun.exe").cch);
}

TEST(SettingsFilePath, AppendsTheSettingsFileName)
{
    GUARDED_PATH settings;
    ASSERT_TRUE(SettingsFilePath("C:\\Tools\\", settings.szPath));
    EXPECT_STREQ("C:\\Tools\\LORVANE_SET.INI", settings.szPath);
    EXPECT_TRUE(settings.GuardsIntact());
}

TEST(SettingsFilePath, FitsADirectoryOf244CharactersExactly)
{
    const std::string directory = "C:\\" + std::string(240, 'd') + "\\";
    ASSERT_EQ(244u, directory.size());
    GUARDED_PATH settings;
    ASSERT_TRUE(SettingsFilePath(directory.c_str(), settings.szPath));
    EXPECT_EQ(directory + "LORVANE_SET.INI", settings.szPath);
    EXPECT_EQ('\0', settings.szPath[PATH_BUFFER_SIZE - 1]);
    EXPECT_TRUE(settings.GuardsIntact());
}

TEST(SettingsFilePath, RefusesLongerDirectoriesWithoutWritingPastTheBuffer)
{
    for (std::size_t cchDirectory : {245u, 259u, 260u, 1000u, 40000u}) {
        const std::string directory = "C:\\" + std::string(cchDirectory - 4, 'd') + "\\";
        GUARDED_PATH settings;
        EXPECT_FALSE(SettingsFilePath(directory.c_str(), settings.szPath)) << cchDirectory;
        EXPECT_STREQ("", settings.szPath) << cchDirectory;
        EXPECT_TRUE(settings.GuardsIntact()) << cchDirectory;
    }
}

TEST(CopyPath, TruncatesToTheBufferAndAlwaysTerminates)
{
    GUARDED_PATH target;
    const std::string path259(259, 'p');
    EXPECT_TRUE(CopyPath(target.szPath, path259.c_str()));
    EXPECT_EQ(path259, target.szPath);

    const std::string path300(300, 'q');
    EXPECT_FALSE(CopyPath(target.szPath, path300.c_str()));
    EXPECT_EQ(std::string(259, 'q'), target.szPath);
    EXPECT_TRUE(target.GuardsIntact());

    EXPECT_TRUE(CopyPath(target.szPath, nullptr));
    EXPECT_STREQ("", target.szPath);
}
