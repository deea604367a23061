#include "boot_image_name.h"

#include <gtest/gtest.h>

TEST(IsBootImageName, AcceptsOnlyLowerOrUpperBinAfterTheLastDot)
{
    EXPECT_TRUE(IsBootImageName(L"C:\\img\\boot.bin"));
    EXPECT_TRUE(IsBootImageName(L"C:\\img\\Boot.BIN"));
    EXPECT_TRUE(IsBootImageName(L".bin"));
    EXPECT_TRUE(IsBootImageName(L"C:\\a.b.c\\x.y.bin"));

    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.Bin"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bIN"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bin.bak"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bin.txt"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.txt"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bin "));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bin\""));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.binx"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img\\boot.bi"));
}

TEST(IsBootImageName, TheDirectoryPartCountsWhenTheFileHasNoExtension)
{
    EXPECT_FALSE(IsBootImageName(L"C:\\img.bin\\boot"));
    EXPECT_FALSE(IsBootImageName(L"C:\\img.bin\\"));
}

TEST(IsBootImageName, RefusesEmptyAndNullPaths)
{
    EXPECT_FALSE(IsBootImageName(L""));
    EXPECT_FALSE(IsBootImageName(nullptr));
    EXPECT_FALSE(IsBootImageName(L"bin"));
}
