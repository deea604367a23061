// The handler's menu side, as Explorer drives it: Initialize with the
// selection, QueryContextMenu on a real popup menu, GetCommandString.

#include "drop_data_object.h"
#include "module_session.h"
#include "quorvex_kestrun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ShellOperations : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&m_pInit)));
        ASSERT_EQ(S_OK, m_pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pMenu)));
    }
    void TearDown() override
    {
        m_pMenu->Release();
        EXPECT_EQ(0u, m_pInit->Release());
    }

    // Initialize with a selection; checks the medium was released and the
    // data was asked for as the shell hands it.
    HRESULT Initialize(const std::vector<std::string>& files, DROP_BEHAVIOUR behaviour = DROP_FILES)
    {
        CDropDataObject* pData = CDropDataObject::Create(files, behaviour);
        HRESULT hr = m_pInit->Initialize(NULL, pData, NULL);
        EXPECT_EQ(0, pData->MediaOutstanding()) << "the medium was not released";
        FORMATETC format = pData->LastFormat();
        EXPECT_EQ(CF_HDROP, format.cfFormat);
        EXPECT_EQ(nullptr, format.ptd);
        EXPECT_EQ(static_cast<DWORD>(DVASPECT_CONTENT), format.dwAspect);
        EXPECT_EQ(-1, format.lindex);
        EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), format.tymed);
        pData->Release();
        return hr;
    }

    CModuleSession m_module;
    IShellExtInit* m_pInit = NULL;
    IContextMenu* m_pMenu = NULL;
};

std::string MenuText(HMENU hmenu, UINT uPosition)
{
    char szText[128] = {};
    GetMenuStringA(hmenu, uPosition, szText, sizeof(szText), MF_BYPOSITION);
    return szText;
}

} // namespace

TEST_F(ShellOperations, AcceptsASelectionWhoseFirstFileIsABootImage)
{
    EXPECT_EQ(S_OK, Initialize({"C:\\img\\boot.bin"}));
    EXPECT_EQ(S_OK, Initialize({"C:\\img\\Boot.BIN", "C:\\img\\notes.txt", "C:\\img\\dir"}));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\notes.txt", "C:\\img\\boot.bin"}));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\boot.txt"}));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\boot.Bin"}));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img.bin\\boot"}));
}

TEST_F(ShellOperations, RefusesUnusableData)
{
    EXPECT_EQ(E_INVALIDARG, Initialize({}));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\boot.bin"}, DROP_GETDATA_FAILS));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\boot.bin"}, DROP_OTHER_MEDIUM));
    EXPECT_EQ(E_INVALIDARG, Initialize({"C:\\img\\boot.bin"}, DROP_NULL_HGLOBAL));
    EXPECT_EQ(E_INVALIDARG, Initialize({""}));
    EXPECT_EQ(E_INVALIDARG, m_pInit->Initialize(NULL, NULL, NULL));
}

TEST_F(ShellOperations, TakesA259CharacterPathAndRefusesLongerOnes)
{
    const std::string path259 = "C:\\" + std::string(252, 'p') + ".bin";
    ASSERT_EQ(259u, path259.size());
    EXPECT_EQ(S_OK, Initialize({path259}));

    // Cut to fit, these would name other files (or other extensions).
    for (std::size_t cch : {260u, 261u, 1000u, 32767u}) {
        const std::string path = "C:\\" + std::string(cch - 7, 'p') + ".bin";
        ASSERT_EQ(cch, path.size());
        EXPECT_EQ(E_INVALIDARG, Initialize({path})) << cch;
    }
}

TEST_F(ShellOperations, AddsOneItemAtTheGivenPosition)
{
    HMENU hmenu = CreatePopupMenu();
    AppendMenuA(hmenu, MF_STRING, 1, "Open");
    AppendMenuA(hmenu, MF_STRING, 2, "Properties");

    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), m_pMenu->QueryContextMenu(hmenu, 1, 100, 200, CMF_NORMAL));
    ASSERT_EQ(3, GetMenuItemCount(hmenu));
    EXPECT_EQ("Open", MenuText(hmenu, 0));
    EXPECT_EQ("Quorvex Kestrun", MenuText(hmenu, 1));
    EXPECT_EQ(100u, GetMenuItemID(hmenu, 1));
    EXPECT_EQ("Properties", MenuText(hmenu, 2));
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(hmenu, 1, TRUE, &info));
    EXPECT_EQ(static_cast<UINT>(MFT_STRING), info.fType);
    EXPECT_EQ(0u, info.fState & (MFS_DISABLED | MFS_CHECKED));

    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1),
              m_pMenu->QueryContextMenu(hmenu, 0, 7, 7, CMF_EXPLORE | CMF_CANRENAME));
    EXPECT_EQ("Quorvex Kestrun", MenuText(hmenu, 0));
    EXPECT_EQ(7u, GetMenuItemID(hmenu, 0));
    DestroyMenu(hmenu);
}

TEST_F(ShellOperations, DefaultOnlyOrNoRoomForAnIdAddsNothing)
{
    HMENU hmenu = CreatePopupMenu();
    EXPECT_EQ(S_OK, m_pMenu->QueryContextMenu(hmenu, 0, 100, 200, CMF_DEFAULTONLY));
    EXPECT_EQ(S_OK, m_pMenu->QueryContextMenu(hmenu, 0, 100, 200, CMF_DEFAULTONLY | CMF_EXPLORE));
    // The shell's range is used up: id 201 would belong to someone else.
    EXPECT_EQ(S_OK, m_pMenu->QueryContextMenu(hmenu, 0, 201, 200, CMF_NORMAL));
    EXPECT_EQ(S_OK, m_pMenu->QueryContextMenu(hmenu, 0, 0xFFFFFFFF, 0, CMF_NORMAL));
    EXPECT_EQ(0, GetMenuItemCount(hmenu));
    DestroyMenu(hmenu);
}

TEST_F(ShellOperations, GivesTheHelpTextTruncatedToTheBuffer)
{
    char szHelp[64];
    std::memset(szHelp, 'x', sizeof(szHelp));
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, szHelp, sizeof(szHelp)));
    EXPECT_STREQ("This will execute Kestrun Tool!", szHelp);

    std::memset(szHelp, 'x', sizeof(szHelp));
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, szHelp, 10));
    EXPECT_STREQ("This will", szHelp);
    EXPECT_EQ('x', szHelp[10]);

    WCHAR wszHelp[64];
    std::memset(wszHelp, 'x', sizeof(wszHelp));
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTW, NULL, reinterpret_cast<LPSTR>(wszHelp), 64));
    EXPECT_STREQ(L"This will execute Kestrun Tool!", wszHelp);
    std::memset(wszHelp, 'x', sizeof(wszHelp));
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTW, NULL, reinterpret_cast<LPSTR>(wszHelp), 10));
    EXPECT_STREQ(L"This will", wszHelp);

    std::memset(szHelp, 'x', sizeof(szHelp));
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, szHelp, 1));
    EXPECT_EQ('\0', szHelp[0]);
    EXPECT_EQ('x', szHelp[1]);
}

TEST_F(ShellOperations, RefusesVerbsOtherOffsetsAndMissingBuffers)
{
    char szName[64];
    std::memset(szName, 'x', sizeof(szName));
    for (UINT uType : {UINT(GCS_VERBA), UINT(GCS_VERBW), UINT(GCS_VALIDATEA), UINT(GCS_VALIDATEW), UINT(GCS_VERBICONW)})
        EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(0, uType, NULL, szName, sizeof(szName))) << uType;
    EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(1, GCS_HELPTEXTA, NULL, szName, sizeof(szName)));
    EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(1, GCS_HELPTEXTW, NULL, szName, sizeof(szName)));
    EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, NULL, 64));
    EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(0, GCS_HELPTEXTW, NULL, NULL, 64));
    EXPECT_EQ(E_INVALIDARG, m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, szName, 0));
    for (char c : szName)
        ASSERT_EQ('x', c);
}
