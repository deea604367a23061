#include "shell_item_path.h"

#include "interface_ptr.h"

#include <cstring>
#include <cwchar>

namespace {

// Text the shell allocated for us, freed on every path.
class CTaskMemoryText
{
public:
    CTaskMemoryText() : m_psz(NULL) {}
    ~CTaskMemoryText() { CoTaskMemFree(m_psz); }
    CTaskMemoryText(const CTaskMemoryText&) = delete;
    CTaskMemoryText& operator=(const CTaskMemoryText&) = delete;

    LPWSTR* Receive() { return &m_psz; }
    LPCWSTR Get() const { return m_psz; }

private:
    LPWSTR m_psz;
};

} // namespace

HRESULT FirstItemPath(IShellItemArray* psiItemArray, WIDEPATHBUFFER& szPath)
{
    std::memset(szPath, 0, sizeof(szPath));
    DWORD dwCount = 0;
    if (psiItemArray == NULL || FAILED(psiItemArray->GetCount(&dwCount)) || dwCount == 0)
        return E_INVALIDARG;

    CInterfacePtr<IShellItem> item;
    if (FAILED(psiItemArray->GetItemAt(0, item.Receive())) || item.Get() == NULL)
        return E_INVALIDARG;
    CTaskMemoryText path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive())) || path.Get() == NULL)
        return E_INVALIDARG;

    // Measured no further than what could fit, whatever the item hands over.
    const std::size_t cchPath = wcsnlen(path.Get(), PATH_BUFFER_SIZE);
    if (cchPath == 0 || cchPath >= PATH_BUFFER_SIZE)
        return E_INVALIDARG;
    std::memcpy(szPath, path.Get(), cchPath * sizeof(wchar_t));
    return S_OK;
}
