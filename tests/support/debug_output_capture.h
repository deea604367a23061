#pragma once
// Collects what the process writes to the debugger output
// (OutputDebugStringA), through the platform's shared-buffer protocol that
// debug viewers use.

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CDebugOutputCapture
{
public:
    CDebugOutputCapture();
    ~CDebugOutputCapture();
    CDebugOutputCapture(const CDebugOutputCapture&) = delete;
    CDebugOutputCapture& operator=(const CDebugOutputCapture&) = delete;

    bool IsListening() const { return m_pBuffer != NULL; }
    // The texts of this process, in order.
    std::vector<std::string> Texts() const;

private:
    void Listen();

    HANDLE m_hMutex;
    HANDLE m_hMapping;
    HANDLE m_hBufferReady;
    HANDLE m_hDataReady;
    HANDLE m_hStop;
    const BYTE* m_pBuffer;
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
    std::thread m_thread;
};
