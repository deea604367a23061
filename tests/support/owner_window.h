#pragma once
#include <windows.h>

// A top-level window to own messages, as Explorer's window would.
class COwnerWindow
{
public:
    COwnerWindow() : m_hwnd(CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, NULL, NULL)) {}
    ~COwnerWindow() { DestroyWindow(m_hwnd); }
    COwnerWindow(const COwnerWindow&) = delete;
    COwnerWindow& operator=(const COwnerWindow&) = delete;
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};
