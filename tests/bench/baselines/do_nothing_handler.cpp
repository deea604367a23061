// A context-menu handler library that does nothing: the same four exports as
// Kestrun_Tool.dll, a class factory and a handler whose Initialize refuses
// every selection without looking at it. Built, linked and stripped like
// Kestrun_Tool.dll and bound to the same DLLs and functions (Lorvane.dll
// included), so loading it costs the loader what loading the extension costs;
// DllRegisterServer reads the address of each function the extension's own
// code imports and calls none of them (it is never called). What a
// right-click costs when the handler itself does no work: the floor of the
// right-click benchmark. Built with KESTRUN_BENCH_HAND_OFF it is bound like
// Kestrun_Tool64.dll instead: no boot library, no worker thread, a process
// start.
//
// It is still a correct in-process server: each handler is an object of its
// own, and the library stays loaded while a handler or a client's reference
// to the factory is alive.

#include "do_nothing_handler.h"
#ifndef KESTRUN_BENCH_HAND_OFF
#include "lorvane.h"
#endif

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <process.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

LONG g_nLocks;

class CHandler final : public IShellExtInit
{
public:
    CHandler() { InterlockedIncrement(&g_nLocks); }
    ~CHandler() { InterlockedDecrement(&g_nLocks); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (!InlineIsEqualGUID(riid, IID_IUnknown) && !InlineIsEqualGUID(riid, IID_IShellExtInit))
            return E_NOINTERFACE;
        *ppv = static_cast<IShellExtInit*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_nRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG nRef = --m_nRef;
        if (nRef == 0) {
            this->~CHandler();
            std::free(this);
        }
        return static_cast<ULONG>(nRef);
    }

    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) override { return E_INVALIDARG; }

private:
    LONG m_nRef = 0;
};

class CFactory final : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (!InlineIsEqualGUID(riid, IID_IUnknown) && !InlineIsEqualGUID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One static factory; a reference held by a client holds the library.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&g_nLocks)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&g_nLocks)); }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (pUnkOuter != NULL)
            return CLASS_E_NOAGGREGATION;
        void* pv = std::malloc(sizeof(CHandler));
        if (pv == NULL)
            return E_OUTOFMEMORY;
        CHandler* pHandler = new (pv) CHandler;
        pHandler->AddRef();
        const HRESULT hr = pHandler->QueryInterface(riid, ppv);
        pHandler->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            InterlockedIncrement(&g_nLocks);
        else
            InterlockedDecrement(&g_nLocks);
        return S_OK;
    }
};

CFactory g_factory;

const void* volatile g_pImport;

template <typename FUNCTION>
void Touch(FUNCTION* pfn)
{
    g_pImport = reinterpret_cast<const void*>(pfn);
}

} // namespace

STDAPI DllCanUnloadNow()
{
    return g_nLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    if (!InlineIsEqualGUID(rclsid, CLSID_DoNothingHandler))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer()
{
    // advapi32
    Touch(&RegOpenKeyExA);
    Touch(&RegQueryValueExA);
    Touch(&RegCloseKey);
    // kernel32
    Touch(&CloseHandle);
    Touch(&InitializeCriticalSection);
    Touch(&EnterCriticalSection);
    Touch(&LeaveCriticalSection);
    Touch(&DeleteCriticalSection);
    Touch(&DisableThreadLibraryCalls);
    Touch(&ExpandEnvironmentStringsA);
    Touch(&FreeLibrary);
    Touch(&GetLastError);
    Touch(&GetModuleFileNameW);
    Touch(&GetProcAddress);
    Touch(&GetShortPathNameW);
    Touch(&GlobalLock);
    Touch(&GlobalSize);
    Touch(&GlobalUnlock);
    Touch(&LoadLibraryA);
    Touch(&MultiByteToWideChar);
    Touch(&OutputDebugStringA);
    Touch(&WideCharToMultiByte);
    Touch(&lstrcpyW);
    Touch(&lstrcpynA);
    Touch(&lstrcpynW);
    Touch(&lstrlenW);
    // msvcrt
    Touch(&calloc);
    Touch(&memchr);
    Touch(&memcmp);
    Touch(&memmove);
    Touch(&strrchr);
    Touch(&wcscmp);
    Touch(&wcsrchr);
    // ole32, oleaut32, shell32, user32
    Touch(&CoCreateInstance);
    Touch(&ReleaseStgMedium);
    Touch(&LoadRegTypeLib);
    Touch(&LoadTypeLib);
    Touch(&RegisterTypeLib);
    Touch(&SysFreeString);
    Touch(&SysStringLen);
    Touch(&DragQueryFileW);
    Touch(&InsertMenuA);
    Touch(&MessageBoxA);
#ifdef KESTRUN_BENCH_HAND_OFF
    // the hand-off to the launcher, and the packaged verb
    Touch(&RegQueryValueExW);
    Touch(&ExpandEnvironmentStringsW);
    Touch(&CoTaskMemAlloc);
    Touch(&CoTaskMemFree);
    Touch(&CreateProcessW);
    Touch(&wcslen);
#else
    // the worker thread and the boot library
    Touch(&FreeLibraryAndExitThread);
    Touch(&GetModuleHandleExA);
    Touch(&GetPrivateProfileIntA);
    Touch(&_beginthreadex);
    Touch(&Load_IniFile);
    Touch(&Kestrun);
#endif
    return E_NOTIMPL;
}

STDAPI DllUnregisterServer()
{
    return E_NOTIMPL;
}
