#pragma once
// The platform's registrar component, which runs registration scripts. The
// toolchain's headers do not declare it; the slot order is the platform's.

#include <windows.h>

struct IRegistrar : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR pszKey, LPCOLESTR pszItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR pszFileName, LPCOLESTR pszID, LPCOLESTR pszType) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR pszFileName, LPCOLESTR pszID, LPCOLESTR pszType) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR pszFileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR pszFileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR pszData) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR pszData) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR pszFileName, UINT nID, LPCOLESTR pszType) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR pszFileName, UINT nID, LPCOLESTR pszType) = 0;
};

// {44EC053A-400F-11D0-9DCD-00A0C90391D3}
const CLSID CLSID_Registrar = {0x44EC053A, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
// {44EC053B-400F-11D0-9DCD-00A0C90391D3}
const IID IID_IRegistrar = {0x44EC053B, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
