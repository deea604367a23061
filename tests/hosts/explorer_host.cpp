// explorer_host <file>: right-clicks a file and picks "Quorvex Kestrun" the
// way Explorer does: the context-menu handlers registered for all files,
// each activated by class ID through the registry, given the file as a shell
// data object, asked for its menu items and help text, and invoked. Then it
// lets go of the handler, frees unused libraries and waits until the
// extension has left the process (its worker is done). Prints each step.
// Exit code: 0 booted path taken, 1 the item was not offered, 2 failure.

#include "shell_handler.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int RightClick(const std::wstring& file, const std::string& clsidText, std::string* server)
{
    CLSID clsid;
    if (!ClassIdFromText(clsidText, &clsid)) {
        std::printf("  not a class ID: %s\n", clsidText.c_str());
        return 2;
    }
    ReadDefault(HKEY_CLASSES_ROOT, "CLSID\\" + clsidText + "\\InprocServer32", server);
    std::printf("  in-process server: %s\n", server->c_str());

    CComPtr<IShellExtInit> init;
    HRESULT hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    std::printf("  CoCreateInstance: 0x%08lX\n", hr);
    if (FAILED(hr))
        return 2;

    CComPtr<IDataObject> data;
    hr = ShellDataObject(file, &data);
    if (FAILED(hr)) {
        std::printf("  no shell data object for the file: 0x%08lX\n", hr);
        return 2;
    }
    hr = init->Initialize(NULL, data.Get(), NULL);
    std::printf("  Initialize: 0x%08lX\n", hr);
    if (FAILED(hr)) {
        std::printf("  the handler offers nothing for this file\n");
        return 1;
    }

    CComPtr<IContextMenu> menu;
    if (FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu))))
        return 2;
    HMENU hmenu = CreatePopupMenu();
    AppendMenuA(hmenu, MF_STRING, 1, "&Open");
    const UINT idFirst = 100;
    hr = menu->QueryContextMenu(hmenu, 1, idFirst, 0x7FFF, CMF_NORMAL);
    char szItem[128] = {};
    GetMenuStringA(hmenu, 1, szItem, sizeof(szItem), MF_BYPOSITION);
    std::printf("  QueryContextMenu: 0x%08lX; menu now: \"&Open\", \"%s\" (id %u)\n", hr, szItem, GetMenuItemID(hmenu, 1));
    DestroyMenu(hmenu);

    char szHelp[128] = {};
    menu->GetCommandString(0, GCS_HELPTEXTA, NULL, szHelp, sizeof(szHelp));
    std::printf("  status bar help: \"%s\"\n", szHelp);

    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    info.nShow = SW_SHOWNORMAL;
    const DWORD dwStart = GetTickCount();
    hr = menu->InvokeCommand(&info);
    std::printf("  InvokeCommand: 0x%08lX after %lu ms\n", hr, GetTickCount() - dwStart);
    return SUCCEEDED(hr) ? 0 : 2;
}

} // namespace

int main(int argc, char**)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: explorer_host <file>\n");
        return 2;
    }
    std::setvbuf(stdout, NULL, _IONBF, 0);
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);

    int nResult = 1;
    std::vector<std::string> servers;
    HKEY hHandlers = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, HANDLERS_KEY, 0, KEY_READ, &hHandlers) == ERROR_SUCCESS) {
        char szName[256];
        for (DWORD i = 0; RegEnumKeyA(hHandlers, i, szName, sizeof(szName)) == ERROR_SUCCESS; ++i) {
            std::string clsid;
            if (!ReadDefault(hHandlers, szName, &clsid))
                continue;
            std::printf("context-menu handler %s: %s\n", szName, clsid.c_str());
            std::string server;
            int nHandler = RightClick(WideArgument(1), clsid, &server);
            servers.push_back(server);
            if (nHandler == 0 || nResult == 1)
                nResult = nHandler;
        }
        RegCloseKey(hHandlers);
    }

    // As Explorer does after a while: unload what nobody holds. A library
    // with a boot still running stays until its worker is done.
    for (const std::string& server : servers) {
        const DWORD dwStart = GetTickCount();
        bool bLoaded = true;
        while ((bLoaded = GetModuleHandleA(server.c_str()) != NULL) && GetTickCount() - dwStart < 60000) {
            CoFreeUnusedLibrariesEx(0, 0);
            Sleep(20);
        }
        std::printf("%s unloaded after %lu ms: %s\n", server.c_str(), GetTickCount() - dwStart, bLoaded ? "no" : "yes");
    }
    CoUninitialize();
    return nResult;
}
