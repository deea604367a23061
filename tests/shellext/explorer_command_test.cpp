// The packaged verb in the real Kestrun_Tool64.dll, as Windows 11's surrogate
// serves it: the class ID the package's manifest declares, the library's own
// class factory, a real shell item array for the selection (or a hostile one
// made here), a site from either menu, and the library let go after release.

#include "com_checks.h"
#include "message_box_watcher.h"
#include "temp_dir.h"
#include "text_file.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef HRESULT (STDAPICALLTYPE* GETCLASSOBJECT)(REFCLSID, REFIID, void**);
typedef HRESULT (STDAPICALLTYPE* CANUNLOADNOW)();

// The class the built manifest declares (com:Class Id).
CLSID ManifestClassId()
{
    std::string manifest;
    CLSID clsid = GUID_NULL;
    if (!ReadTextFile(ProgramDirectory() + "AppxManifest.xml", &manifest))
        return clsid;
    const std::size_t cls = manifest.find("<com:Class ");
    const std::size_t id = manifest.find(" Id=\"", cls);
    if (cls == std::string::npos || id == std::string::npos)
        return clsid;
    const std::wstring text = L"{" + std::wstring(manifest.begin() + id + 5, manifest.begin() + id + 41) + L"}";
    CLSIDFromString(text.c_str(), &clsid);
    return clsid;
}

// A selection that misbehaves in one way.
enum HOSTILITY { NO_COUNT, EMPTY, NO_ITEM, NO_PATH, PATH_OF_LENGTH };

class CHostileSelection final : public IShellItemArray, public IShellItem
{
public:
    CHostileSelection(HOSTILITY hostility, std::size_t cchPath = 0) : m_hostility(hostility)
    {
        m_path = L"C:\\" + std::wstring(cchPath > 7 ? cchPath - 7 : 0, L'x') + L".bin";
    }
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override { *ppv = NULL; return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IShellItemArray (and IShellItem's method of the same shape)
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(DWORD* pdwNumItems) override
    {
        *pdwNumItems = m_hostility == EMPTY ? 0 : 1;
        return m_hostility == NO_COUNT ? E_FAIL : S_OK;
    }
    STDMETHODIMP GetItemAt(DWORD, IShellItem** ppsi) override
    {
        *ppsi = m_hostility == NO_ITEM ? NULL : static_cast<IShellItem*>(this);
        return m_hostility == NO_ITEM ? E_FAIL : S_OK;
    }
    STDMETHODIMP EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }
    // IShellItem
    STDMETHODIMP GetParent(IShellItem**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN, LPWSTR* ppszName) override
    {
        *ppszName = NULL;
        if (m_hostility == NO_PATH)
            return E_FAIL;
        const std::size_t cb = (m_path.size() + 1) * sizeof(WCHAR);
        *ppszName = static_cast<LPWSTR>(CoTaskMemAlloc(cb));
        std::memcpy(*ppszName, m_path.c_str(), cb);
        return S_OK;
    }
    STDMETHODIMP GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

private:
    HOSTILITY m_hostility;
    std::wstring m_path;
};

// The classic menu sites its verbs in a window; Windows 11's menu does not.
class CClassicMenuSite final : public IOleWindow
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ? this : NULL;
        return *ppv != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetWindow(HWND* phwnd) override { *phwnd = GetDesktopWindow(); return S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};

class ExplorerCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (sizeof(void*) == 4)
            GTEST_SKIP() << "Kestrun_Tool64.dll needs a 64-bit host";
        m_hLibrary = LoadLibraryA((ProgramDirectory() + "Kestrun_Tool64.dll").c_str());
        ASSERT_NE(nullptr, m_hLibrary);
        auto pfnGetClassObject = reinterpret_cast<GETCLASSOBJECT>(
            reinterpret_cast<void*>(GetProcAddress(m_hLibrary, "DllGetClassObject")));
        m_pfnCanUnloadNow = reinterpret_cast<CANUNLOADNOW>(
            reinterpret_cast<void*>(GetProcAddress(m_hLibrary, "DllCanUnloadNow")));
        IClassFactory* pFactory = NULL;
        ASSERT_EQ(S_OK, pfnGetClassObject(ManifestClassId(), IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
        ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IExplorerCommand, reinterpret_cast<void**>(&m_pCommand)));
        pFactory->Release();
        EXPECT_EQ(S_FALSE, m_pfnCanUnloadNow());
    }

    void TearDown() override
    {
        if (m_pCommand != NULL) {
            EXPECT_EQ(0u, m_pCommand->Release());
        }
        if (m_hLibrary == NULL)
            return;
        EXPECT_EQ(S_OK, m_pfnCanUnloadNow()) << "the released verb still holds the library";
        FreeLibrary(m_hLibrary);
        EXPECT_EQ(nullptr, GetModuleHandleA("Kestrun_Tool64.dll"));
    }

    // The state for files made under a temporary folder, quick and slow.
    HRESULT StateOf(const std::vector<std::wstring>& names, BOOL fOkToBeSlow, EXPCMDSTATE* pState)
    {
        std::vector<PIDLIST_ABSOLUTE> pidls;
        for (const std::wstring& name : names) {
            const std::wstring path = m_folder + name;
            CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), NULL);
            HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            CloseHandle(hFile);
            PIDLIST_ABSOLUTE pidl = NULL;
            EXPECT_EQ(S_OK, SHParseDisplayName(path.c_str(), NULL, &pidl, 0, NULL));
            pidls.push_back(pidl);
        }
        IShellItemArray* pSelection = NULL;
        EXPECT_EQ(S_OK, SHCreateShellItemArrayFromIDLists(static_cast<UINT>(pidls.size()),
                                                          const_cast<PCIDLIST_ABSOLUTE_ARRAY>(pidls.data()), &pSelection));
        for (PIDLIST_ABSOLUTE pidl : pidls)
            CoTaskMemFree(pidl);
        const HRESULT hr = m_pCommand->GetState(pSelection, fOkToBeSlow, pState);
        pSelection->Release();
        return hr;
    }

    HMODULE m_hLibrary = NULL;
    CANUNLOADNOW m_pfnCanUnloadNow = NULL;
    IExplorerCommand* m_pCommand = NULL;
    CTempDir m_temp;
    std::wstring m_folder = std::wstring(m_temp.Path().begin(), m_temp.Path().end());
};

} // namespace

TEST_F(ExplorerCommand, TheFirstItemDecidesAsInTheClassicMenu)
{
    struct ROW
    {
        std::vector<std::wstring> names;
        HRESULT hrQuick;        // fOkToBeSlow FALSE
        EXPCMDSTATE state;      // the final answer
    } rows[] = {
        // Names differ by more than case: the file system would give the
        // first file's spelling to the next.
        {{L"boot.bin"}, S_OK, ECS_ENABLED},
        {{L"upper.BIN"}, S_OK, ECS_ENABLED},
        {{L"mixed.Bin"}, S_OK, ECS_HIDDEN},
        {{L"notes.txt"}, S_OK, ECS_HIDDEN},
        {{L"first.bin", L"second.txt"}, S_OK, ECS_ENABLED},
        {{L"third.txt", L"fourth.bin"}, S_OK, ECS_HIDDEN},
        {{L"boot.bin.txt"}, S_OK, ECS_HIDDEN},
        // The code page has no A with macron: only its short name will do,
        // which takes a look at the file system.
        {{L"\x0100\\boot.bin"}, E_PENDING, ECS_ENABLED},
    };
    for (const ROW& row : rows) {
        SCOPED_TRACE(testing::Message() << row.names.size() << " item(s), first " << row.names[0].size() << " chars");
        EXPCMDSTATE state = ECS_DISABLED;
        ASSERT_EQ(row.hrQuick, StateOf(row.names, FALSE, &state));
        if (row.hrQuick == E_PENDING) {
            ASSERT_EQ(S_OK, StateOf(row.names, TRUE, &state));
        }
        EXPECT_EQ(row.state, state);
    }
}

TEST_F(ExplorerCommand, OnlyTheClassicHandlersItemStandsInTheClassicMenu)
{
    IObjectWithSite* pSited = NULL;
    ASSERT_EQ(S_OK, m_pCommand->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&pSited)));
    CClassicMenuSite site;
    ASSERT_EQ(S_OK, pSited->SetSite(&site));
    EXPCMDSTATE state = ECS_ENABLED;
    EXPECT_EQ(S_OK, StateOf({L"boot.bin"}, FALSE, &state));
    EXPECT_EQ(ECS_HIDDEN, state);
    ASSERT_EQ(S_OK, pSited->SetSite(NULL));
    EXPECT_EQ(S_OK, StateOf({L"boot.bin"}, FALSE, &state));
    EXPECT_EQ(ECS_ENABLED, state);
    pSited->Release();
}

TEST_F(ExplorerCommand, HostileSelectionsAreRefusedWithoutABox)
{
    CMessageBoxWatcher boxes;
    const struct
    {
        CHostileSelection selection;
        EXPCMDSTATE state;
    } rows[] = {
        {CHostileSelection(NO_COUNT), ECS_HIDDEN},
        {CHostileSelection(EMPTY), ECS_HIDDEN},
        {CHostileSelection(NO_ITEM), ECS_HIDDEN},
        {CHostileSelection(NO_PATH), ECS_HIDDEN},
        {CHostileSelection(PATH_OF_LENGTH, 259), ECS_ENABLED},
        {CHostileSelection(PATH_OF_LENGTH, 260), ECS_HIDDEN},
        {CHostileSelection(PATH_OF_LENGTH, 4000), ECS_HIDDEN},
    };
    for (const auto& row : rows) {
        IShellItemArray* pSelection = const_cast<CHostileSelection*>(&row.selection);
        EXPCMDSTATE state = ECS_DISABLED;
        EXPECT_EQ(S_OK, m_pCommand->GetState(pSelection, TRUE, &state));
        EXPECT_EQ(row.state, state);
        if (row.state == ECS_HIDDEN) {
            EXPECT_EQ(E_INVALIDARG, m_pCommand->Invoke(pSelection, NULL));
        }
    }
    EXPCMDSTATE state = ECS_DISABLED;
    EXPECT_EQ(S_OK, m_pCommand->GetState(NULL, TRUE, &state));
    EXPECT_EQ(ECS_HIDDEN, state);
    EXPECT_EQ(E_INVALIDARG, m_pCommand->Invoke(NULL, NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetState(NULL, TRUE, NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetTitle(NULL, NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetToolTip(NULL, NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetIcon(NULL, NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetCanonicalName(NULL));
    EXPECT_EQ(E_POINTER, m_pCommand->GetFlags(NULL));
    EXPECT_EQ(E_NOTIMPL, m_pCommand->EnumSubCommands(NULL));
    Sleep(500);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ExplorerCommand, AnswersAsItsOwnClass)
{
    LPWSTR psz = NULL;
    ASSERT_EQ(S_OK, m_pCommand->GetTitle(NULL, &psz));
    EXPECT_STREQ(L"Quorvex Kestrun", psz);
    CoTaskMemFree(psz);
    GUID guid = GUID_NULL;
    EXPECT_EQ(S_OK, m_pCommand->GetCanonicalName(&guid));
    EXPECT_TRUE(IsEqualGUID(ManifestClassId(), guid));
    EXPECT_FALSE(IsEqualGUID(ManifestClassId(), CLSID_NULL));
    EXPCMDFLAGS flags = 0xFF;
    EXPECT_EQ(S_OK, m_pCommand->GetFlags(&flags));
    EXPECT_EQ(static_cast<EXPCMDFLAGS>(ECF_DEFAULT), flags);
    IUnknown* pUnknown = NULL;
    ASSERT_EQ(S_OK, m_pCommand->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
    EXPECT_EQ(static_cast<IUnknown*>(m_pCommand), pUnknown);
    pUnknown->Release();
    void* pv = &pv;
    EXPECT_EQ(E_NOINTERFACE, m_pCommand->QueryInterface(IID_IContextMenu, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(1u, References(m_pCommand));
}
