// Long loops create thousands of windows in one Wine session, and window
// handles reuse their slots with a new generation each time, until a handle
// has its high bit set. The message box watcher must still report the owner
// as CreateWindow returned it.

#include "message_box_watcher.h"

#include <gtest/gtest.h>

namespace {

HWND CreateOwner()
{
    return CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
}

} // namespace

TEST(BoxOwner, AnOwnerWithTheHighBitSetIsReportedAsCreated)
{
    // Age the slot the next window takes: menus share the handle table and
    // are cheap to create, and a freed slot is the next one handed out.
    DestroyWindow(CreateOwner());
    for (unsigned n = 0; n < 70000; ++n) {
        HMENU hmenu = CreatePopupMenu();
        DestroyMenu(hmenu);
        if ((reinterpret_cast<ULONG_PTR>(hmenu) >> 16) >= 0x7FFF)
            break;
    }
    HWND hwndOwner = CreateOwner();
    ASSERT_NE(nullptr, hwndOwner);
    if (HandleToLong(hwndOwner) >= 0) {
        DestroyWindow(hwndOwner);
        GTEST_SKIP() << "this platform hands out window handles differently";
    }

    CMessageBoxWatcher boxes;
    MessageBoxA(hwndOwner, "text", "caption", MB_ICONWARNING);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(hwndOwner, boxes.Boxes()[0].hwndOwner);
    DestroyWindow(hwndOwner);
}
