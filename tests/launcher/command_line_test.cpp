#include "command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The image path, or "<refused>".
std::string ImagePath(const char* pszCmdLine)
{
    PATHBUFFER szImagePath;
    std::memset(szImagePath, 'x', sizeof(szImagePath));
    if (!ImagePathFromCommandLine(pszCmdLine, szImagePath)) {
        EXPECT_STREQ("", szImagePath);
        return "<refused>";
    }
    return szImagePath;
}

} // namespace

TEST(ImagePathFromCommandLine, DropsTheQuotes)
{
    EXPECT_EQ("C:\\img\\boot.bin", ImagePath("\"C:\\img\\boot.bin\""));
    EXPECT_EQ("C:\\my images\\boot.bin", ImagePath("\"C:\\my images\\boot.bin\""));
}

TEST(ImagePathFromCommandLine, DropsTheFirstAndLastCharacterWhateverTheyAre)
{
    EXPECT_EQ(":\\img\\boot.bi", ImagePath("C:\\img\\boot.bin"));
    // A blank after the closing quote: the quote stays.
    EXPECT_EQ("C:\\img\\boot.bin\"", ImagePath("\"C:\\img\\boot.bin\" "));
}

TEST(ImagePathFromCommandLine, ShortCommandLinesGiveAnEmptyPath)
{
    EXPECT_EQ("", ImagePath(""));
    EXPECT_EQ("", ImagePath("x"));
    EXPECT_EQ("", ImagePath("\"\""));
    EXPECT_EQ("", ImagePath(nullptr));
}

TEST(ImagePathFromCommandLine, Takes260CharactersAndRefusesMore)
{
    const std::string path258 = "C:\\" + std::string(251, 'p') + ".bin";
    ASSERT_EQ(258u, path258.size());
    EXPECT_EQ(path258, ImagePath(("\"" + path258 + "\"").c_str()));

    // One more character would be cut off: the result would name another file.
    const std::string path259 = "C:\\" + std::string(252, 'p') + ".bin";
    EXPECT_EQ("<refused>", ImagePath(("\"" + path259 + "\"").c_str()));
    EXPECT_EQ("<refused>", ImagePath(std::string(32767, 'c').c_str()));
}
