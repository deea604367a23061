// The click: InvokeCommand starts a boot on a worker and returns at once.

#include "drop_data_object.h"
#include "message_box_watcher.h"
#include "module_session.h"
#include "owner_window.h"
#include "quorvex_kestrun.h"
#include "standin_device.h"
#include "time_scale.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class InvokeCommand : public ::testing::Test
{
protected:
    // A handler initialised with the selection, as Explorer leaves it
    // before the click.
    IContextMenu* Handler(const std::vector<std::string>& files)
    {
        IShellExtInit* pInit = NULL;
        EXPECT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit)));
        CDropDataObject* pData = CDropDataObject::Create(files);
        EXPECT_EQ(S_OK, pInit->Initialize(NULL, pData, NULL));
        pData->Release();
        IContextMenu* pMenu = NULL;
        EXPECT_EQ(S_OK, pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));
        pInit->Release();
        return pMenu;
    }

    CMINVOKECOMMANDINFO Click(LPCSTR pszVerb = MAKEINTRESOURCEA(0))
    {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = m_owner.Get();
        info.lpVerb = pszVerb;
        info.nShow = SW_SHOWNORMAL;
        return info;
    }

    void SlowDevice(DWORD dwLatencyMs)
    {
        STANDIN_TIMING timing;
        timing.dwLatencyMs = ScaledMs(dwLatencyMs);
        m_device.WriteSettings("0x2000", timing);
    }

    CModuleSession m_module;
    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    COwnerWindow m_owner;
};

} // namespace

TEST_F(InvokeCommand, ReturnsBeforeTheTransferWhichRunsOnAWorker)
{
    SlowDevice(1500);
    const std::string image = m_device.MakeImage("boot.bin", 4096);
    IContextMenu* pMenu = Handler({image, m_device.MakeImage("notes.txt", 10)});

    CMINVOKECOMMANDINFO info = Click();
    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(S_OK, pMenu->InvokeCommand(&info));
    EXPECT_LT(GetTickCount() - dwStart, ScaledMs(1000));
    EXPECT_TRUE(m_device.Calls("Kestrun").empty());
    pMenu->Release();   // the boot outlives the handler

    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 1, 20000));
    STANDIN_CALL transfer = m_device.Calls("Kestrun")[0];
    EXPECT_NE(GetCurrentThreadId(), transfer.ThreadId());
    EXPECT_EQ(GetCurrentThreadId(), m_device.Calls("Load_IniFile")[0].ThreadId());
    EXPECT_EQ(image, transfer.fields["image"]);
    EXPECT_EQ("0x00002000", transfer.fields["address"]);
    EXPECT_EQ("0", transfer.fields["result"]);
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(4096u, m_device.DeviceRecords()[0].bytes);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(InvokeCommand, TwoClicksGiveTwoConcurrentTransfers)
{
    SlowDevice(1000);
    const std::string first = m_device.MakeImage("first.bin", 100);
    const std::string second = m_device.MakeImage("second.bin", 200);
    IContextMenu* pFirst = Handler({first});
    IContextMenu* pSecond = Handler({second});
    CMINVOKECOMMANDINFO info = Click();
    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(S_OK, pFirst->InvokeCommand(&info));
    EXPECT_EQ(S_OK, pSecond->InvokeCommand(&info));
    pFirst->Release();
    pSecond->Release();
    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 2, 20000));
    EXPECT_LT(GetTickCount() - dwStart, ScaledMs(1900)) << "the transfers ran one after the other";
    std::vector<STANDIN_CALL> transfers = m_device.Calls("Kestrun");
    EXPECT_NE(transfers[0].ThreadId(), transfers[1].ThreadId());
    EXPECT_EQ((std::set<std::string>{first, second}),
              (std::set<std::string>{transfers[0].fields["image"], transfers[1].fields["image"]}));
}

TEST_F(InvokeCommand, VerbStringsAndOtherOffsetsStartNothing)
{
    IContextMenu* pMenu = Handler({m_device.MakeImage("boot.bin", 10)});
    CMINVOKECOMMANDINFO verb = Click("open");
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(&verb));
    CMINVOKECOMMANDINFO offset1 = Click(MAKEINTRESOURCEA(1));
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(&offset1));
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(NULL));
    CMINVOKECOMMANDINFO tiny = Click();
    tiny.cbSize = 8;
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(&tiny));
    pMenu->Release();
    Sleep(200);
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(InvokeCommand, AcceptsTheExtendedRecord)
{
    IContextMenu* pMenu = Handler({m_device.MakeImage("boot.bin", 10)});
    CMINVOKECOMMANDINFOEX info = {};
    info.cbSize = sizeof(info);
    info.fMask = CMIC_MASK_UNICODE;
    info.hwnd = m_owner.Get();
    info.lpVerb = MAKEINTRESOURCEA(0);
    info.lpVerbW = MAKEINTRESOURCEW(0);
    EXPECT_EQ(S_OK, pMenu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info)));
    pMenu->Release();
    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 1, 20000));
}

TEST_F(InvokeCommand, NotConnectedIsOwnedByTheInvokingWindow)
{
    IContextMenu* pMenu = Handler({m_device.MakeImage("boot.bin", 10)});
    m_device.Disconnect();
    CMINVOKECOMMANDINFO info = Click();
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(&info));
    pMenu->Release();
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ("USB device not connected:\nCan't detect the corresponding USB device!", m_boxes.Boxes()[0].text);
    EXPECT_EQ(m_owner.Get(), m_boxes.Boxes()[0].hwndOwner);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
}

TEST_F(InvokeCommand, OtherFailuresHaveNoOwner)
{
    IContextMenu* pMenu = Handler({m_device.ToolDirectory() + "missing.bin"});
    CMINVOKECOMMANDINFO info = Click();
    EXPECT_EQ(S_OK, pMenu->InvokeCommand(&info));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 10000));
    EXPECT_EQ("Quorvex Kestrun Error!", m_boxes.Boxes()[0].text);
    EXPECT_EQ(NULL, m_boxes.Boxes()[0].hwndOwner);
    EXPECT_NE(GetCurrentThreadId(), m_boxes.Boxes()[0].dwThreadId);

    m_device.Registration().Remove();
    EXPECT_EQ(E_INVALIDARG, pMenu->InvokeCommand(&info));
    ASSERT_TRUE(m_boxes.WaitForBoxes(2, 5000));
    EXPECT_EQ("Read Info Error!", m_boxes.Boxes()[1].text);
    EXPECT_EQ(NULL, m_boxes.Boxes()[1].hwndOwner);
    pMenu->Release();
}
