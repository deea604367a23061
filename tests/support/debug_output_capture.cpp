#include "debug_output_capture.h"

namespace {
const DWORD BUFFER_SIZE = 4096;
}

CDebugOutputCapture::CDebugOutputCapture()
    : m_hMutex(CreateMutexA(NULL, FALSE, "DBWinMutex")),
      m_hMapping(CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, BUFFER_SIZE, "DBWIN_BUFFER")),
      m_hBufferReady(CreateEventA(NULL, FALSE, FALSE, "DBWIN_BUFFER_READY")),
      m_hDataReady(CreateEventA(NULL, FALSE, FALSE, "DBWIN_DATA_READY")),
      m_hStop(CreateEventA(NULL, TRUE, FALSE, NULL)),
      m_pBuffer(m_hMapping ? static_cast<const BYTE*>(MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, BUFFER_SIZE)) : NULL)
{
    if (m_pBuffer != NULL)
        m_thread = std::thread([this] { Listen(); });
}

CDebugOutputCapture::~CDebugOutputCapture()
{
    SetEvent(m_hStop);
    if (m_thread.joinable())
        m_thread.join();
    if (m_pBuffer != NULL)
        UnmapViewOfFile(m_pBuffer);
    for (HANDLE h : {m_hMapping, m_hBufferReady, m_hDataReady, m_hStop, m_hMutex})
        if (h != NULL)
            CloseHandle(h);
}

std::vector<std::string> CDebugOutputCapture::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

void CDebugOutputCapture::Listen()
{
    HANDLE waits[] = {m_hDataReady, m_hStop};
    for (;;) {
        SetEvent(m_hBufferReady);
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
            return;
        DWORD dwProcessId = *reinterpret_cast<const DWORD*>(m_pBuffer);
        const char* pszText = reinterpret_cast<const char*>(m_pBuffer + sizeof(DWORD));
        std::string text(pszText, strnlen(pszText, BUFFER_SIZE - sizeof(DWORD)));
        if (dwProcessId == GetCurrentProcessId()) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_texts.push_back(text);
        }
    }
}
