// The real Kestrun_Tool.dll, unloaded by its host while a boot it started
// is still running: the worker keeps the library's code in place until it
// is done, so the host survives and the transfer completes.

#include "Kestrun_Tool_i.h"
#include "kestrun_ids.h"
#include "drop_data_object.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "text_file.h"
#include "time_scale.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

const char LIBRARY_NAME[] = "Kestrun_Tool.dll";

typedef HRESULT (STDAPICALLTYPE* GETCLASSOBJECT)(REFCLSID, REFIID, void**);
typedef HRESULT (STDAPICALLTYPE* CANUNLOADNOW)();

std::string LibraryPath()
{
    return ProgramDirectory() + LIBRARY_NAME;
}

bool IsLoaded()
{
    return GetModuleHandleA(LIBRARY_NAME) != NULL;
}

bool WaitUntilUnloaded(DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    while (IsLoaded()) {
        if (GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// Initialises a handler with the image and clicks its item.
void ClickOn(IShellExtInit* pInit, const std::string& image)
{
    CDropDataObject* pData = CDropDataObject::Create({image});
    ASSERT_EQ(S_OK, pInit->Initialize(NULL, pData, NULL));
    pData->Release();
    IContextMenu* pMenu = NULL;
    ASSERT_EQ(S_OK, pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));
    HMENU hmenu = CreatePopupMenu();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), pMenu->QueryContextMenu(hmenu, 0, 1, 100, CMF_NORMAL));
    DestroyMenu(hmenu);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    ASSERT_EQ(S_OK, pMenu->InvokeCommand(&info));
    pMenu->Release();
}

class UnloadSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        STANDIN_TIMING slow;
        // Long enough for the host to unload the library before it ends.
        slow.dwLatencyMs = ScaledMs(700);
        m_device.WriteSettings("0x4000", slow);
        m_image = m_device.MakeImage("boot.bin", 8192);
        ASSERT_FALSE(IsLoaded());
    }

    // The transfer started n-th (from 1) completed with the image intact.
    void ExpectTransferCompleted(std::size_t n)
    {
        ASSERT_TRUE(m_device.WaitForCalls("Kestrun", n, 20000));
        STANDIN_CALL transfer = m_device.Calls("Kestrun")[n - 1];
        EXPECT_EQ("0", transfer.fields["result"]);
        EXPECT_EQ(m_image, transfer.fields["image"]);
        EXPECT_EQ("0x00004000", transfer.fields["address"]);
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    std::string m_image;
};

} // namespace

TEST_F(UnloadSafety, APlainFreeLibraryDuringATransferIsSafe)
{
    for (std::size_t round = 1; round <= 3; ++round) {
        HMODULE hLibrary = LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(nullptr, hLibrary);
        GETCLASSOBJECT pfnGetClassObject = reinterpret_cast<GETCLASSOBJECT>(
            reinterpret_cast<void*>(GetProcAddress(hLibrary, "DllGetClassObject")));
        CANUNLOADNOW pfnCanUnloadNow = reinterpret_cast<CANUNLOADNOW>(
            reinterpret_cast<void*>(GetProcAddress(hLibrary, "DllCanUnloadNow")));
        ASSERT_NE(nullptr, pfnGetClassObject);

        IClassFactory* pFactory = NULL;
        ASSERT_EQ(S_OK, pfnGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
        IShellExtInit* pInit = NULL;
        ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit)));
        pFactory->Release();
        ClickOn(pInit, m_image);
        pInit->Release();

        // The host sees nothing holding the library and unloads it.
        EXPECT_EQ(S_OK, pfnCanUnloadNow());
        ASSERT_TRUE(FreeLibrary(hLibrary));
        EXPECT_TRUE(m_device.Calls("Kestrun").size() < round) << "the transfer ended before the unload";

        ExpectTransferCompleted(round);
        EXPECT_TRUE(WaitUntilUnloaded(5000)) << "the worker kept the library loaded after it ended";
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(UnloadSafety, ComFreeingUnusedLibrariesDuringATransferIsSafe)
{
    // The class registered as far as COM needs it.
    const std::string key = "CLSID\\{" KESTRUN_CLSID_TEXT "}\\InprocServer32";
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL));
    const std::string path = LibraryPath();
    RegSetValueExA(hKey, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), static_cast<DWORD>(path.size() + 1));
    RegSetValueExA(hKey, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
    RegCloseKey(hKey);

    ASSERT_EQ(S_OK, CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    for (std::size_t round = 1; round <= 3; ++round) {
        IShellExtInit* pInit = NULL;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Quorvex_Kestrun, NULL, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                         reinterpret_cast<void**>(&pInit)));
        ClickOn(pInit, m_image);
        pInit->Release();
        CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_TRUE(m_device.Calls("Kestrun").size() < round) << "the transfer ended before the unload";
        ExpectTransferCompleted(round);
        EXPECT_TRUE(WaitUntilUnloaded(5000));
    }
    CoUninitialize();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{" KESTRUN_CLSID_TEXT "}");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{" KESTRUN_CLSID_TEXT "}");
    EXPECT_TRUE(m_boxes.Boxes().empty());
}
