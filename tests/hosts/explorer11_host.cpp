// explorer11_host [--classic-menu] <AppxManifest.xml> <external location> <file>...
// Right-clicks files in Windows 11's own context menu and picks "Quorvex
// Kestrun" the way Windows serves a packaged verb: the class and the library
// as the package's manifest declares them (com:Class Id and Path, relative to
// the package's external location), the library loaded as the surrogate
// loads it, its class factory asked through DllGetClassObject, the verb sited
// (in Windows 11's menu, or with --classic-menu in the classic one, whose
// site is a window), asked for its texts and its state (quickly first, then
// again when it answers E_PENDING) for the selection as a shell item array,
// invoked when enabled, released, and the library let go. Prints each step.
// Exit code: 0 invoked, 1 the item was not offered, 2 failure.

#include "shell_handler.h"

#include <shobjidl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The value of attribute name in the first element that starts with tag.
std::string Attribute(const std::string& xml, const std::string& tag, const std::string& name)
{
    const std::size_t element = xml.find("<" + tag + " ");
    if (element == std::string::npos)
        return std::string();
    const std::size_t end = xml.find('>', element);
    const std::size_t value = xml.find(" " + name + "=\"", element);
    if (value == std::string::npos || value > end)
        return std::string();
    const std::size_t first = value + name.size() + 3;
    return xml.substr(first, xml.find('"', first) - first);
}

// A site as a menu gives it: Windows 11's answers IUnknown only, the classic
// menu's is also the window the menu belongs to.
class CStubSite final : public IOleWindow
{
public:
    explicit CStubSite(bool bClassic) : m_bClassic(bClassic) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (IsEqualIID(riid, IID_IUnknown) || (m_bClassic && IsEqualIID(riid, IID_IOleWindow)))
            *ppv = static_cast<IOleWindow*>(this);
        if (*ppv == NULL)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP GetWindow(HWND* phwnd) override
    {
        *phwnd = GetDesktopWindow();
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    ULONG References() const { return m_cRef; }

private:
    bool m_bClassic;
    ULONG m_cRef = 1;
};

std::string Narrow(LPCWSTR psz)
{
    char szText[1024] = {};
    if (psz != NULL)
        WideCharToMultiByte(CP_UTF8, 0, psz, -1, szText, sizeof(szText) - 1, NULL, NULL);
    return szText;
}

void PrintText(const char* pszWhat, HRESULT hr, LPWSTR psz)
{
    std::printf("  %s: 0x%08lX \"%s\"\n", pszWhat, hr, Narrow(psz).c_str());
    CoTaskMemFree(psz);
}

HRESULT SelectionOf(const std::vector<std::wstring>& files, IShellItemArray** ppArray)
{
    std::vector<PIDLIST_ABSOLUTE> pidls;
    HRESULT hr = S_OK;
    for (const std::wstring& file : files) {
        PIDLIST_ABSOLUTE pidl = NULL;
        hr = SHParseDisplayName(file.c_str(), NULL, &pidl, 0, NULL);
        if (FAILED(hr))
            break;
        pidls.push_back(pidl);
    }
    if (SUCCEEDED(hr))
        hr = SHCreateShellItemArrayFromIDLists(static_cast<UINT>(pidls.size()),
                                               const_cast<PCIDLIST_ABSOLUTE_ARRAY>(pidls.data()), ppArray);
    for (PIDLIST_ABSOLUTE pidl : pidls)
        CoTaskMemFree(pidl);
    return hr;
}

const char* StateName(EXPCMDSTATE state)
{
    return state == ECS_ENABLED ? "enabled" : state == ECS_HIDDEN ? "hidden" : "other";
}

int RightClick(IExplorerCommand* pCommand, IShellItemArray* pSelection)
{
    LPWSTR psz = NULL;
    HRESULT hr = pCommand->GetTitle(pSelection, &psz);
    PrintText("GetTitle", hr, psz);
    psz = NULL;
    hr = pCommand->GetToolTip(pSelection, &psz);
    PrintText("GetToolTip", hr, psz);
    EXPCMDFLAGS flags = 0xFFFF;
    hr = pCommand->GetFlags(&flags);
    std::printf("  GetFlags: 0x%08lX flags %lu\n", hr, static_cast<unsigned long>(flags));

    // Windows asks on the menu's thread first, which must not wait on the
    // file system; E_PENDING asks again where waiting is fine.
    EXPCMDSTATE state = ECS_DISABLED;
    hr = pCommand->GetState(pSelection, FALSE, &state);
    std::printf("  GetState (quick): 0x%08lX %s\n", hr, hr == E_PENDING ? "pending" : StateName(state));
    if (hr == E_PENDING) {
        state = ECS_DISABLED;
        hr = pCommand->GetState(pSelection, TRUE, &state);
        std::printf("  GetState (may be slow): 0x%08lX %s\n", hr, StateName(state));
    }
    if (FAILED(hr))
        return 2;
    if (state != ECS_ENABLED) {
        std::printf("  the verb offers nothing for this selection\n");
        return 1;
    }
    const DWORD dwStart = GetTickCount();
    hr = pCommand->Invoke(pSelection, NULL);
    std::printf("  Invoke: 0x%08lX after %lu ms\n", hr, GetTickCount() - dwStart);
    return SUCCEEDED(hr) ? 0 : 2;
}

int Run(bool bClassic, const std::wstring& manifestPath, const std::wstring& externalLocation,
        const std::vector<std::wstring>& files)
{
    std::ifstream in(manifestPath.c_str(), std::ios::binary);
    std::stringstream manifest;
    manifest << in.rdbuf();
    const std::string clsidText = Attribute(manifest.str(), "com:Class", "Id");
    const std::string library = Attribute(manifest.str(), "com:Class", "Path");
    const std::string verbClsid = Attribute(manifest.str(), "desktop5:Verb", "Clsid");
    std::printf("manifest: verb %s for %s, class %s in %s\n", Attribute(manifest.str(), "desktop5:Verb", "Id").c_str(),
                Attribute(manifest.str(), "desktop5:ItemType", "Type").c_str(), clsidText.c_str(), library.c_str());
    CLSID clsid;
    if (verbClsid != clsidText || !ClassIdFromText("{" + clsidText + "}", &clsid)) {
        std::printf("  the verb names no class the manifest serves\n");
        return 2;
    }

    const std::wstring libraryPath = externalLocation + L"\\" + std::wstring(library.begin(), library.end());
    HMODULE hLibrary = LoadLibraryExW(libraryPath.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hLibrary == NULL) {
        std::printf("  cannot load %s: error %lu\n", Narrow(libraryPath.c_str()).c_str(), GetLastError());
        return 2;
    }
    typedef HRESULT(STDAPICALLTYPE * GETCLASSOBJECT)(REFCLSID, REFIID, void**);
    typedef HRESULT(STDAPICALLTYPE * CANUNLOADNOW)();
    GETCLASSOBJECT pfnGetClassObject =
        reinterpret_cast<GETCLASSOBJECT>(reinterpret_cast<void*>(GetProcAddress(hLibrary, "DllGetClassObject")));
    CANUNLOADNOW pfnCanUnloadNow =
        reinterpret_cast<CANUNLOADNOW>(reinterpret_cast<void*>(GetProcAddress(hLibrary, "DllCanUnloadNow")));

    int nResult = 2;
    CStubSite site(bClassic);
    if (pfnGetClassObject != NULL && pfnCanUnloadNow != NULL) {
        CComPtr<IClassFactory> factory;
        HRESULT hr = pfnGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        std::printf("  DllGetClassObject: 0x%08lX\n", hr);
        CComPtr<IExplorerCommand> command;
        if (SUCCEEDED(hr))
            hr = factory->CreateInstance(NULL, IID_IExplorerCommand, reinterpret_cast<void**>(&command));
        std::printf("  CreateInstance: 0x%08lX\n", hr);
        CComPtr<IObjectWithSite> sited;
        if (SUCCEEDED(hr))
            hr = command->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&sited));
        if (SUCCEEDED(hr))
            hr = sited->SetSite(&site);
        std::printf("  SetSite (%s menu): 0x%08lX\n", bClassic ? "classic" : "Windows 11", hr);
        CComPtr<IShellItemArray> selection;
        if (SUCCEEDED(hr)) {
            hr = SelectionOf(files, &selection);
            std::printf("  selection of %u item(s): 0x%08lX\n", static_cast<unsigned>(files.size()), hr);
        }
        if (SUCCEEDED(hr))
            nResult = RightClick(command.Get(), selection.Get());
        if (sited.Get() != NULL)
            sited->SetSite(NULL);
    }
    const bool bCanUnload = pfnCanUnloadNow != NULL && pfnCanUnloadNow() == S_OK;
    std::printf("  after release: DllCanUnloadNow %s, site references %lu\n", bCanUnload ? "S_OK" : "S_FALSE",
                site.References() - 1);
    FreeLibrary(hLibrary);
    std::printf("%s unloaded: %s\n", library.c_str(), GetModuleHandleW(libraryPath.c_str()) == NULL ? "yes" : "no");
    return bCanUnload && site.References() == 1 ? nResult : 2;
}

} // namespace

int main(int argc, char**)
{
    std::setvbuf(stdout, NULL, _IONBF, 0);
    int nFirst = 1;
    const bool bClassic = WideArgument(1) == L"--classic-menu";
    if (bClassic)
        ++nFirst;
    if (argc < nFirst + 3) {
        std::fprintf(stderr, "usage: explorer11_host [--classic-menu] <AppxManifest.xml> <external location> <file>...\n");
        return 2;
    }
    std::vector<std::wstring> files;
    for (int i = nFirst + 2; i < argc; ++i)
        files.push_back(WideArgument(i));

    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    const int nResult = Run(bClassic, WideArgument(nFirst), WideArgument(nFirst + 1), files);
    CoUninitialize();
    return nResult;
}
