// The download address from real settings files, through the platform's
// profile reader.

#include "download_address.h"
#include "temp_dir.h"
#include "text_file.h"

#include <gtest/gtest.h>

namespace {

class DownloadAddress : public ::testing::Test
{
protected:
    DWORD Read(const std::string& content)
    {
        EXPECT_TRUE(WriteTextFile(Path(), content));
        return ReadDownloadAddress(Path().c_str());
    }
    DWORD ReadValue(const std::string& value)
    {
        return Read("[QUORVEX_KESTRUN]\r\nDnLoadAddr=" + value + "\r\n");
    }
    std::string Path() const { return m_dir / "LORVANE_SET.INI"; }

    CTempDir m_dir;
};

} // namespace

TEST_F(DownloadAddress, IsZeroWhenAbsent)
{
    EXPECT_EQ(0u, ReadDownloadAddress(Path().c_str()));    // no file
    EXPECT_EQ(0u, Read(""));
    EXPECT_EQ(0u, Read("[QUORVEX_KESTRUN]\r\nOther=5\r\n"));
    EXPECT_EQ(0u, Read("[OTHER]\r\nDnLoadAddr=5\r\n"));
    EXPECT_EQ(0u, ReadValue(""));
}

TEST_F(DownloadAddress, ReadsDecimalAndHexadecimal)
{
    EXPECT_EQ(32768u, ReadValue("32768"));
    EXPECT_EQ(0x8000u, ReadValue("0x8000"));
    EXPECT_EQ(0x80008000u, ReadValue("0x80008000"));
    EXPECT_EQ(4294967295u, ReadValue("4294967295"));
    EXPECT_EQ(42u, ReadValue(" 42"));
}

TEST_F(DownloadAddress, TakesANegativeValueAsUnsigned)
{
    EXPECT_EQ(0xFFFFFFFFu, ReadValue("-1"));
    EXPECT_EQ(0xFFFFF000u, ReadValue("-4096"));
}

TEST_F(DownloadAddress, IsZeroForGarbageAndStopsAtTheFirstNonDigit)
{
    EXPECT_EQ(0u, ReadValue("garbage"));
    EXPECT_EQ(0u, ReadValue("0x"));
    EXPECT_EQ(12u, ReadValue("12abc"));
}

TEST_F(DownloadAddress, ReadsTheKeyOfTheRightSection)
{
    EXPECT_EQ(7u, Read("[LORVANE_STANDIN]\r\nDnLoadAddr=3\r\n[QUORVEX_KESTRUN]\r\nDnLoadAddr=7\r\n"));
}
