// menu_picture <file>: shows what a user sees on right-clicking a file, for a
// screenshot: a folder window that lists the file's folder with the file
// selected, and a popup menu drawn by the platform's own menu code with the
// items every context-menu handler registered for all files adds (activated
// through the registry, as Explorer does), between a few of Explorer's usual
// items. The handlers' first item is highlighted. Prints "shown <window
// rectangle> <menu rectangle>" once the menu is up, closes it on Escape or
// after 30 s, and exits without invoking anything.
// Exit code: 0 the menu was shown with a handler's item, 1 no handler added
// an item, 2 failure.

#include "shell_handler.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const UINT ID_FIRST_HANDLER_ITEM = 100;
const UINT_PTR ID_GIVE_UP = 1;

class CMenu
{
public:
    CMenu() : m_h(CreatePopupMenu()) {}
    ~CMenu() { if (m_h) DestroyMenu(m_h); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    HMENU Get() const { return m_h; }
private:
    HMENU m_h;
};

// Lets each registered handler add its items at position *pIndex; keeps the
// handlers alive in *pHandlers while the menu is up.
void AddHandlerItems(const std::string& file, HMENU hmenu, UINT* pIndex, std::vector<IContextMenu*>* pHandlers)
{
    CComPtr<IDataObject> data;
    if (FAILED(ShellDataObject(std::wstring(file.begin(), file.end()), &data)))
        return;
    HKEY hHandlers = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, HANDLERS_KEY, 0, KEY_READ, &hHandlers) != ERROR_SUCCESS)
        return;
    char szName[256];
    UINT idFirst = ID_FIRST_HANDLER_ITEM;
    for (DWORD i = 0; RegEnumKeyA(hHandlers, i, szName, sizeof(szName)) == ERROR_SUCCESS; ++i) {
        std::string clsidText;
        CLSID clsid;
        if (!ReadDefault(hHandlers, szName, &clsidText) || !ClassIdFromText(clsidText, &clsid))
            continue;
        CComPtr<IShellExtInit> init;
        IContextMenu* pMenu = NULL;
        if (FAILED(CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IShellExtInit, reinterpret_cast<void**>(&init))) ||
            FAILED(init->Initialize(NULL, data.Get(), NULL)) ||
            FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu))))
            continue;
        HRESULT hr = pMenu->QueryContextMenu(hmenu, *pIndex, idFirst, idFirst + 99, CMF_NORMAL);
        const UINT cItems = SUCCEEDED(hr) ? HRESULT_CODE(hr) : 0;
        *pIndex += cItems;
        idFirst += 100;
        pHandlers->push_back(pMenu);
    }
    RegCloseKey(hHandlers);
}

struct MENU_STATE
{
    HWND hwndMain;
    int nHighlightSteps;  // Down presses that reach the handlers' first item
    bool bShown;
};

MENU_STATE g_state = {};

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_ENTERIDLE:
        // The menu is drawn and waits for input: highlight the handlers'
        // item as the user's pointer would, then report where it all is.
        if (wParam == MSGF_MENU && !g_state.bShown) {
            g_state.bShown = true;
            for (int i = 0; i < g_state.nHighlightSteps; ++i)
                PostMessageA(hwnd, WM_KEYDOWN, VK_DOWN, 0);
            RECT rcWindow = {}, rcMenu = {};
            GetWindowRect(hwnd, &rcWindow);
            GetWindowRect(reinterpret_cast<HWND>(lParam), &rcMenu);
            std::printf("shown %ld %ld %ld %ld %ld %ld %ld %ld\n", rcWindow.left, rcWindow.top, rcWindow.right,
                        rcWindow.bottom, rcMenu.left, rcMenu.top, rcMenu.right, rcMenu.bottom);
        }
        return 0;
    case WM_TIMER:
        if (wParam == ID_GIVE_UP)
            EndMenu();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, uMsg, wParam, lParam);
    }
}

// The folder window: a list of the folder's files with the file selected.
HWND CreateFolderWindow(HINSTANCE hInstance, const std::string& file, POINT* pptItem)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "KestrunMenuPicture";
    RegisterClassA(&wc);

    const std::string::size_type slash = file.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, folder.c_str(), WS_OVERLAPPEDWINDOW, 24, 24, 400, 290,
                                NULL, NULL, hInstance, NULL);
    RECT rcClient = {};
    GetClientRect(hwnd, &rcClient);
    HWND hwndList = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0, 0,
                                    rcClient.right, rcClient.bottom, hwnd, NULL, hInstance, NULL);
    SendMessageA(hwndList, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);

    WIN32_FIND_DATAA found = {};
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                SendMessageA(hwndList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
        } while (FindNextFileA(hFind, &found));
        FindClose(hFind);
    }
    LRESULT nItem = SendMessageA(hwndList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(hwndList, LB_SETCURSEL, nItem, 0);
    RECT rcItem = {};
    SendMessageA(hwndList, LB_GETITEMRECT, nItem == LB_ERR ? 0 : nItem, reinterpret_cast<LPARAM>(&rcItem));
    pptItem->x = rcItem.left + 60;
    pptItem->y = (rcItem.top + rcItem.bottom) / 2;
    ClientToScreen(hwndList, pptItem);

    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: menu_picture <file>\n");
        return 2;
    }
    std::setvbuf(stdout, NULL, _IONBF, 0);
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    HINSTANCE hInstance = GetModuleHandleA(NULL);

    POINT ptItem = {};
    g_state.hwndMain = CreateFolderWindow(hInstance, argv[1], &ptItem);
    if (!g_state.hwndMain)
        return 2;

    // Explorer's usual items around the handlers' ones.
    std::vector<IContextMenu*> handlers;
    int nResult = 1;
    {
        CMenu menu;
        HMENU hmenu = menu.Get();
        AppendMenuA(hmenu, MF_STRING, 1, "&Open");
        AppendMenuA(hmenu, MF_STRING, 2, "Open wit&h...");
        AppendMenuA(hmenu, MF_SEPARATOR, 0, NULL);
        UINT index = 3;
        AddHandlerItems(argv[1], hmenu, &index, &handlers);
        const bool bAdded = index > 3;
        if (bAdded)
            InsertMenuA(hmenu, index, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
        AppendMenuA(hmenu, MF_STRING, 3, "Cu&t");
        AppendMenuA(hmenu, MF_STRING, 4, "&Copy");
        AppendMenuA(hmenu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(hmenu, MF_STRING, 5, "&Delete");
        AppendMenuA(hmenu, MF_STRING, 6, "Rena&me");
        AppendMenuA(hmenu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(hmenu, MF_STRING, 7, "P&roperties");
        g_state.nHighlightSteps = bAdded ? 3 : 0;

        SetForegroundWindow(g_state.hwndMain);
        SetTimer(g_state.hwndMain, ID_GIVE_UP, 30000, NULL);
        // TPM_RETURNCMD: the choice is returned, never carried out.
        TrackPopupMenu(hmenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, ptItem.x, ptItem.y, 0,
                       g_state.hwndMain, NULL);
        KillTimer(g_state.hwndMain, ID_GIVE_UP);
        nResult = !g_state.bShown ? 2 : bAdded ? 0 : 1;
    }
    for (IContextMenu* pMenu : handlers)
        pMenu->Release();
    DestroyWindow(g_state.hwndMain);
    CoUninitialize();
    std::printf("closed\n");
    return nResult;
}
