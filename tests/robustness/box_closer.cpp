#include "box_closer.h"

namespace {

thread_local std::map<std::string, unsigned>* t_pTexts = nullptr;

LRESULT CALLBACK CloseBoxes(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && t_pTexts != nullptr) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        char szClass[16] = {};
        GetClassNameA(hwnd, szClass, sizeof(szClass));
        if (lstrcmpA(szClass, "#32770") == 0) {
            char szText[512] = {};
            GetDlgItemTextA(hwnd, 0xFFFF, szText, sizeof(szText));
            ++(*t_pTexts)[szText];
            PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

} // namespace

CBoxCloser::CBoxCloser() : m_hHook(NULL)
{
    t_pTexts = new std::map<std::string, unsigned>;
    m_hHook = SetWindowsHookExA(WH_CBT, CloseBoxes, NULL, GetCurrentThreadId());
}

CBoxCloser::~CBoxCloser()
{
    UnhookWindowsHookEx(m_hHook);
    delete t_pTexts;
    t_pTexts = nullptr;
}

const std::map<std::string, unsigned>& CBoxCloser::Texts() const
{
    return *t_pTexts;
}
