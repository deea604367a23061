#pragma once
// Watches for message boxes of one process, records what they show and
// answers each with OK, so no test waits on a box nobody closes. Needs an X
// display (without one, Wine returns from MessageBox at once).

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct OBSERVED_BOX
{
    std::string caption;
    std::string text;
    HWND hwndOwner;
    bool bWarningIcon;
    int nButtons;
    DWORD dwThreadId;    // the thread that shows the box
};

class CMessageBoxWatcher
{
public:
    explicit CMessageBoxWatcher(DWORD dwProcessId = GetCurrentProcessId());
    ~CMessageBoxWatcher();
    CMessageBoxWatcher(const CMessageBoxWatcher&) = delete;
    CMessageBoxWatcher& operator=(const CMessageBoxWatcher&) = delete;

    // Watch another process from now on (a child started after the watcher).
    void SetProcessId(DWORD dwProcessId);
    std::vector<OBSERVED_BOX> Boxes() const;
    // True once at least nBoxes were seen; false after dwTimeoutMs.
    bool WaitForBoxes(std::size_t nBoxes, DWORD dwTimeoutMs) const;

    // For a box that did not come: every window the watched process has now
    // (class, text, visible or not, thread), each of its threads, and how
    // many polls the watcher has made. A thread still inside a box that is
    // not listed was never seen; no such thread, it was never shown.
    std::string Describe() const;

private:
    void Poll();
    void Observe(HWND hwndBox);

    mutable std::mutex m_mutex;
    DWORD m_dwProcessId;
    std::vector<OBSERVED_BOX> m_boxes;
    std::set<HWND> m_seen;
    std::map<HWND, DWORD> m_hiddenSince;   // the poll thread's own
    unsigned long m_nPolls = 0;
    HANDLE m_hStop;
    std::thread m_thread;
};

extern const char BOX_CAPTION[];   // "Quorvex Kestrun Tool"
