// The tool's registration read from the real registry of the test prefix.

#include "launcher_registration.h"
#include "tool_registration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ToolRegistration : public ::testing::Test
{
protected:
    std::string Command()
    {
        PATHBUFFER szCommand;
        std::memset(szCommand, 'x', sizeof(szCommand));
        bool bText = ReadLauncherCommand(szCommand);
        EXPECT_EQ(bText, szCommand[0] != '\0');
        return szCommand;
    }

    std::string Directory(TOOL_DIRECTORY_RESULT expected)
    {
        PATHBUFFER szDirectory;
        EXPECT_EQ(expected, ReadToolDirectory(szDirectory));
        // Everything after the directory is zero-filled.
        std::size_t cch = std::strlen(szDirectory);
        for (std::size_t i = cch; i < PATH_BUFFER_SIZE; ++i)
            EXPECT_EQ('\0', szDirectory[i]) << i;
        return szDirectory;
    }

    CLauncherRegistration m_registration;
};

} // namespace

TEST_F(ToolRegistration, ReadsTheUnquotedLauncherPath)
{
    m_registration.SetCommand("C:\\Tools\\Kestrun.exe \"%1\"");
    EXPECT_EQ("C:\\Tools\\Kestrun.exe \"%1\"", Command());
    EXPECT_EQ("C:\\Tools\\", Directory(TOOL_DIRECTORY_FOUND));
}

TEST_F(ToolRegistration, TakesTheFolderOfAQuotedLauncherPathWithoutItsQuote)
{
    m_registration.SetCommand("\"C:\\Program Files\\Quorvex Kestrun\\Kestrun.exe\" \"%1\"");
    EXPECT_EQ("C:\\Program Files\\Quorvex Kestrun\\", Directory(TOOL_DIRECTORY_FOUND));
}

TEST_F(ToolRegistration, MissingKeyOrValueGivesAnEmptyText)
{
    EXPECT_EQ("", Command());
    EXPECT_EQ("", Directory(TOOL_DIRECTORY_NO_COMMAND));

    // The key without a default value.
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_SUBKEY, 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &hKey, NULL));
    RegCloseKey(hKey);
    EXPECT_EQ("", Command());

    m_registration.SetCommand("");
    EXPECT_EQ("", Directory(TOOL_DIRECTORY_NO_COMMAND));
}

TEST_F(ToolRegistration, TextWithoutBackslashNamesNoDirectory)
{
    m_registration.SetCommand("Kestrun.exe \"%1\"");
    EXPECT_EQ("Kestrun.exe \"%1\"", Command());
    EXPECT_EQ("", Directory(TOOL_DIRECTORY_NO_BACKSLASH));
}

TEST_F(ToolRegistration, OnlyStringValuesCount)
{
    const char szText[] = "C:\\Tools\\Kestrun.exe \"%1\"";
    m_registration.SetRaw(REG_EXPAND_SZ, szText, sizeof(szText));
    EXPECT_EQ(szText, Command());

    for (DWORD dwType : {DWORD(REG_BINARY), DWORD(REG_MULTI_SZ), DWORD(REG_NONE), DWORD(REG_LINK)}) {
        m_registration.SetRaw(dwType, szText, sizeof(szText));
        EXPECT_EQ("", Command()) << "type " << dwType;
    }
    const DWORD dwNumber = 0x5C3A43;   // "C:\" as bytes
    m_registration.SetRaw(REG_DWORD, &dwNumber, sizeof(dwNumber));
    EXPECT_EQ("", Command());
}

TEST_F(ToolRegistration, TextMustEndInsideTheBuffer)
{
    // 259 characters and the terminator: exactly the buffer.
    std::string fits = "C:\\" + std::string(250, 'd') + "\\K.exe";
    ASSERT_EQ(259u, fits.size());
    m_registration.SetCommand(fits);
    EXPECT_EQ(fits, Command());

    // 260 bytes without a terminator.
    std::string unterminated = "C:\\" + std::string(249, 'd') + "\\Kes.exe";
    ASSERT_EQ(260u, unterminated.size());
    // A zero right after the data would be stored as its terminator.
    m_registration.SetRaw(REG_SZ, (unterminated + 'X').data(), 260);
    EXPECT_EQ("", Command());
    EXPECT_EQ("", Directory(TOOL_DIRECTORY_NO_COMMAND));

    // Longer than the buffer.
    m_registration.SetCommand("C:\\" + std::string(400, 'd') + "\\Kestrun.exe \"%1\"");
    EXPECT_EQ("", Command());
}

TEST_F(ToolRegistration, AReadOnlyKeyIsEnoughForAStandardUser)
{
    m_registration.SetCommand("C:\\Tools\\Kestrun.exe \"%1\"");
    // Everyone may read the key, nobody may change it: what a standard user
    // (or a non-elevated Explorer) gets on a machine-wide installation.
    m_registration.RestrictAccess("D:P(A;;KR;;;WD)");
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_SUBKEY, 0, KEY_ALL_ACCESS, &hKey))
        << "the prefix must enforce key access lists for this test to mean anything";
    EXPECT_EQ("C:\\Tools\\", Directory(TOOL_DIRECTORY_FOUND));
}

TEST_F(ToolRegistration, AnUnreadableKeyGivesAnEmptyText)
{
    m_registration.SetCommand("C:\\Tools\\Kestrun.exe \"%1\"");
    m_registration.RestrictAccess("D:P");
    EXPECT_EQ("", Command());
}
