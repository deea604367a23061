#include "message_box_watcher.h"

#include <tlhelp32.h>

#include <sstream>

const char BOX_CAPTION[] = "Quorvex Kestrun Tool";

namespace {

// The icon control of a message box: Wine's id first, then Windows' id.
HICON BoxIcon(HWND hwndBox)
{
    for (int nId : {0x0440, 0x0014}) {
        HWND hwndIcon = GetDlgItem(hwndBox, nId);
        if (hwndIcon != NULL)
            return reinterpret_cast<HICON>(SendMessageA(hwndIcon, STM_GETICON, 0, 0));
    }
    return NULL;
}

BOOL CALLBACK CountButton(HWND hwnd, LPARAM lParam)
{
    char szClass[32] = {};
    GetClassNameA(hwnd, szClass, sizeof(szClass));
    if (lstrcmpiA(szClass, "Button") == 0)
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

BOOL CALLBACK DescribeWindow(HWND hwnd, LPARAM lParam)
{
    char szClass[64] = {};
    char szText[128] = {};
    GetClassNameA(hwnd, szClass, sizeof(szClass));
    GetWindowTextA(hwnd, szText, sizeof(szText));
    *reinterpret_cast<std::ostringstream*>(lParam) << "\n    window " << hwnd << " class " << szClass << " \"" << szText
                                                   << "\"" << (IsWindowVisible(hwnd) ? " visible" : " hidden");
    return TRUE;
}

} // namespace

std::string CMessageBoxWatcher::Describe() const
{
    std::ostringstream out;
    DWORD dwProcessId;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dwProcessId = m_dwProcessId;
        out << "watcher: " << m_nPolls << " polls, " << m_boxes.size() << " boxes seen; process " << dwProcessId;
    }
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL b = Thread32First(hSnapshot, &entry); b; b = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID != dwProcessId)
            continue;
        out << "\n  thread " << entry.th32ThreadID;
        EnumThreadWindows(entry.th32ThreadID, DescribeWindow, reinterpret_cast<LPARAM>(&out));
    }
    CloseHandle(hSnapshot);
    return out.str();
}

CMessageBoxWatcher::CMessageBoxWatcher(DWORD dwProcessId)
    : m_dwProcessId(dwProcessId), m_hStop(CreateEventA(NULL, TRUE, FALSE, NULL)), m_thread([this] { Poll(); })
{
}

CMessageBoxWatcher::~CMessageBoxWatcher()
{
    SetEvent(m_hStop);
    m_thread.join();
    CloseHandle(m_hStop);
}

void CMessageBoxWatcher::SetProcessId(DWORD dwProcessId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dwProcessId = dwProcessId;
}

std::vector<OBSERVED_BOX> CMessageBoxWatcher::Boxes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

bool CMessageBoxWatcher::WaitForBoxes(std::size_t nBoxes, DWORD dwTimeoutMs) const
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_boxes.size() >= nBoxes)
                return true;
        }
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return false;
        Sleep(10);
    }
}

void CMessageBoxWatcher::Poll()
{
    do {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nPolls;
        }
        HWND hwnd = NULL;
        while ((hwnd = FindWindowExA(NULL, hwnd, "#32770", NULL)) != NULL) {
            DWORD dwProcessId = 0;
            GetWindowThreadProcessId(hwnd, &dwProcessId);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (dwProcessId != m_dwProcessId || m_seen.count(hwnd) != 0)
                    continue;
            }
            // A box is complete once it is shown. Wine shows a dialog only
            // when its thread's queue first runs empty, which was seen not to
            // happen within 10 s; a box hidden for a second has long had its
            // text, and counts as shown (the OK posted to it is taken all the
            // same).
            const DWORD dwNow = GetTickCount();
            const DWORD dwHiddenSince = m_hiddenSince.emplace(hwnd, dwNow).first->second;
            if (IsWindowVisible(hwnd) || dwNow - dwHiddenSince >= 1000) {
                m_hiddenSince.erase(hwnd);
                Observe(hwnd);
            }
        }
    } while (WaitForSingleObject(m_hStop, 10) == WAIT_TIMEOUT);
}

void CMessageBoxWatcher::Observe(HWND hwndBox)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_seen.insert(hwndBox).second)
            return;
    }
    OBSERVED_BOX box = {};
    char szText[1024] = {};
    GetWindowTextA(hwndBox, szText, sizeof(szText));
    box.caption = szText;
    szText[0] = '\0';
    GetDlgItemTextA(hwndBox, 0xFFFF, szText, sizeof(szText));
    box.text = szText;
    // Window handles have 32 significant bits, sign-extended in a 64-bit
    // process as CreateWindow returns them; Wine's GetWindow may hand the
    // same handle back zero-extended once its high bit is set.
    box.hwndOwner = static_cast<HWND>(LongToHandle(HandleToLong(GetWindow(hwndBox, GW_OWNER))));
    box.bWarningIcon = BoxIcon(hwndBox) == LoadIconA(NULL, reinterpret_cast<LPCSTR>(IDI_WARNING));
    EnumChildWindows(hwndBox, CountButton, reinterpret_cast<LPARAM>(&box.nButtons));
    box.dwThreadId = GetWindowThreadProcessId(hwndBox, NULL);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(box);
    }
    PostMessageA(hwndBox, WM_COMMAND, IDOK, 0);
}
