// Hostile arguments at every COM method and export of the extension: null
// out-pointers, pointers that must not be touched on a refusal path, help
// text buffers of every size, and a host that never initialised COM.

#include "case_table.h"
#include "drop_data_object.h"
#include "hostile_data_object.h"
#include "kestrun_ids.h"
#include "module_session.h"
#include "quorvex_kestrun.h"
#include "registered_type_library.h"
#include "text_file.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstring>
#include <thread>

namespace {

const HRESULT ONE_ITEM = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
const char HELP[] = "This will execute Kestrun Tool!";

// An outer object for the aggregated handler: answers IUnknown itself and
// everything else from the inner object.
class COuter final : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            return S_OK;
        }
        return m_pInner != NULL ? m_pInner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    IUnknown* m_pInner = NULL;
};

class HostileInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK,
                  DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&m_pFactory)));
        ASSERT_EQ(S_OK, m_pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&m_pInit)));
        ASSERT_EQ(S_OK, m_pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pMenu)));
        ASSERT_EQ(S_OK, m_pInit->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_pDispatch)));
        ASSERT_EQ(S_OK, m_pFactory->CreateInstance(&m_outer, IID_IUnknown, reinterpret_cast<void**>(&m_pInner)));
        m_outer.m_pInner = m_pInner;
        ASSERT_EQ(S_OK, m_pInner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pInnerMenu)));
        m_lLocks = _Module.GetLockCount();
    }

    void TearDown() override
    {
        EXPECT_EQ(m_lLocks, _Module.GetLockCount()) << "a refused call changed the module lock count";
        m_pInnerMenu->Release();
        EXPECT_EQ(0u, m_pInner->Release());
        m_pDispatch->Release();
        m_pMenu->Release();
        EXPECT_EQ(0u, m_pInit->Release());
        m_pFactory->Release();
        EXPECT_EQ(0, _Module.GetLockCount());
    }

    // Every interface part of the plain handler, and the aggregate's.
    std::vector<std::pair<std::string, IUnknown*>> Parts() const
    {
        return {{"dual", m_pDispatch}, {"shell init", m_pInit}, {"context menu", m_pMenu},
                {"aggregate", m_pInner}, {"inner context menu", m_pInnerMenu}};
    }

    CModuleSession m_module;
    COuter m_outer;
    IClassFactory* m_pFactory = NULL;
    IShellExtInit* m_pInit = NULL;
    IContextMenu* m_pMenu = NULL;
    IDispatch* m_pDispatch = NULL;
    IUnknown* m_pInner = NULL;
    IContextMenu* m_pInnerMenu = NULL;
    LONG m_lLocks = 0;
};

} // namespace

TEST_F(HostileInput, NullOutPointersAreRefused)
{
    CTypeLibraryRegistration typeLibrary;
    typeLibrary.Register();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"QueryInterface")};
    DISPPARAMS none = {};
    std::vector<CALL_CASE> cases = {
        {"DllGetClassObject", E_POINTER,
         [] { return DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, NULL); }},
        {"DllGetClassObject, other class", E_POINTER,
         [] { return DllGetClassObject(GUID_NULL, IID_IClassFactory, NULL); }},
        {"factory QueryInterface", E_POINTER, [&] { return m_pFactory->QueryInterface(IID_IClassFactory, NULL); }},
        {"factory QueryInterface, other", E_POINTER, [&] { return m_pFactory->QueryInterface(IID_IPersist, NULL); }},
        {"CreateInstance", E_POINTER, [&] { return m_pFactory->CreateInstance(NULL, IID_IContextMenu, NULL); }},
        {"CreateInstance, aggregated", E_POINTER,
         [&] { return m_pFactory->CreateInstance(&m_outer, IID_IUnknown, NULL); }},
        {"CreateInstance, aggregated non-IUnknown", E_POINTER,
         [&] { return m_pFactory->CreateInstance(&m_outer, IID_IShellExtInit, NULL); }},
        {"GetTypeInfoCount", E_POINTER, [&] { return m_pDispatch->GetTypeInfoCount(NULL); }},
        {"GetTypeInfo", E_POINTER, [&] { return m_pDispatch->GetTypeInfo(0, 0, NULL); }},
        {"GetTypeInfo, other index", E_POINTER, [&] { return m_pDispatch->GetTypeInfo(99, 0, NULL); }},
        {"GetIDsOfNames, no names and no ids", E_POINTER,
         [&] { return m_pDispatch->GetIDsOfNames(IID_NULL, NULL, 1, 0, NULL); }},
        {"GetIDsOfNames, no ids", E_POINTER, [&] { return m_pDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, NULL); }},
        {"GetIDsOfNames, nothing asked", S_OK, [&] { return m_pDispatch->GetIDsOfNames(IID_NULL, NULL, 0, 0, NULL); }},
        {"Initialize, no data object", E_INVALIDARG, [&] { return m_pInit->Initialize(NULL, NULL, NULL); }},
        {"GetCommandString A, no buffer", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(0, GCS_HELPTEXTA, NULL, NULL, 64); }},
        {"GetCommandString W, no buffer", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(0, GCS_HELPTEXTW, NULL, NULL, 64); }},
        {"InvokeCommand, no record", E_INVALIDARG, [&] { return m_pMenu->InvokeCommand(NULL); }},
        {"inner InvokeCommand, no record", E_INVALIDARG, [&] { return m_pInnerMenu->InvokeCommand(NULL); }},
        {"Invoke, no result, exception or argument error", DISP_E_MEMBERNOTFOUND,
         [&] { return m_pDispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL); }},
    };
    for (const auto& part : Parts()) {
        IUnknown* pPart = part.second;
        for (const IID* piid :
             {&IID_IUnknown, &IID_IDispatch, &IID_IShellExtInit, &IID_IContextMenu, &IID_IContextMenu3}) {
            cases.push_back(
                {part.first + " QueryInterface", E_POINTER, [=] { return pPart->QueryInterface(*piid, NULL); }});
        }
    }
    RunCases("null_out_pointers", cases);
}

TEST_F(HostileInput, PointersOnARefusalPathAreNeverTouched)
{
    char szBuffer[64] = {};
    LPSTR pszBad = static_cast<LPSTR>(DANGLING);
    UINT* pReserved = static_cast<UINT*>(DANGLING);
    IUnknown* pBadOuter = static_cast<IUnknown*>(DANGLING);
    std::vector<CALL_CASE> cases = {
        {"GetCommandString, offset 1", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(1, GCS_HELPTEXTA, pReserved, pszBad, 64); }},
        {"GetCommandString, huge offset", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(~UINT_PTR(0), GCS_HELPTEXTW, pReserved, pszBad, 64); }},
        {"GetCommandString, size 0", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(0, GCS_HELPTEXTA, pReserved, pszBad, 0); }},
        {"GetCommandString W, size 0", E_INVALIDARG,
         [&] { return m_pMenu->GetCommandString(0, GCS_HELPTEXTW, pReserved, pszBad, 0); }},
        {"GetCommandString, reserved never read", S_OK,
         [&] { return m_pMenu->GetCommandString(0, GCS_HELPTEXTA, pReserved, szBuffer, 64); }},
        {"CreateInstance, aggregated non-IUnknown", CLASS_E_NOAGGREGATION,
         [&] {
             void* pv = NULL;
             HRESULT hr = m_pFactory->CreateInstance(pBadOuter, IID_IShellExtInit, &pv);
             return pv == NULL ? hr : E_UNEXPECTED;
         }},
        {"CreateInstance, aggregated, no out-pointer", E_POINTER,
         [&] { return m_pFactory->CreateInstance(pBadOuter, IID_IUnknown, NULL); }},
        {"InvokeCommand, verb string", E_INVALIDARG,
         [&] {
             CMINVOKECOMMANDINFO info = {sizeof(info), 0, NULL, pszBad, pszBad, pszBad, 0, 0, NULL};
             return m_pMenu->InvokeCommand(&info);
         }},
        {"InvokeCommand, lowest verb string", E_INVALIDARG,
         [&] {
             LPCSTR pszLowest = reinterpret_cast<LPCSTR>(0x10000);
             CMINVOKECOMMANDINFO info = {sizeof(info), 0, NULL, pszLowest, NULL, NULL, 0, 0, NULL};
             return m_pMenu->InvokeCommand(&info);
         }},
        {"QueryContextMenu, no menu", ONE_ITEM, [&] { return m_pMenu->QueryContextMenu(NULL, 0, 1, 2, CMF_NORMAL); }},
        {"QueryContextMenu, stale menu", ONE_ITEM,
         [&] {
             HMENU hmenu = reinterpret_cast<HMENU>(0xDEAD0);
             return m_pMenu->QueryContextMenu(hmenu, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, CMF_NORMAL);
         }},
        {"QueryContextMenu, default only, no menu", S_OK,
         [&] { return m_pMenu->QueryContextMenu(static_cast<HMENU>(DANGLING), 0, 1, 2, CMF_DEFAULTONLY); }},
    };
    for (UINT uType : {UINT(GCS_VERBA), UINT(GCS_VERBW), UINT(GCS_VALIDATEA), UINT(GCS_VALIDATEW), UINT(GCS_VERBICONW),
                       0x10u}) {
        cases.push_back({"GetCommandString, kind " + std::to_string(uType), E_INVALIDARG,
                         [=] { return m_pMenu->GetCommandString(0, uType, pReserved, pszBad, 64); }});
    }
    for (const IID* piid : {&IID_IClassFactory, &GUID_NULL}) {
        cases.push_back({"DllGetClassObject, class that is not served", CLASS_E_CLASSNOTAVAILABLE, [piid] {
                             void* pv = DANGLING;
                             HRESULT hr = DllGetClassObject(*piid, IID_IClassFactory, &pv);
                             return pv == NULL ? hr : E_UNEXPECTED;
                         }});
    }
    RunCases("untouched_pointers", cases);
    EXPECT_STREQ(HELP, szBuffer);
}

TEST_F(HostileInput, InitializeUsesOnlyTheDataObject)
{
    // The folder and the program-id key must not matter: only the selection.
    CDropDataObject* pData = CDropDataObject::Create({"C:\\img\\boot.bin"});
    EXPECT_EQ(S_OK, m_pInit->Initialize(static_cast<PCIDLIST_ABSOLUTE>(DANGLING), pData, static_cast<HKEY>(DANGLING)));
    EXPECT_EQ(0, pData->MediaOutstanding());
    pData->Release();

    // A data object that fails is not kept.
    CHostileDataObject* pFailing = new CHostileDataObject(ANSWER_FAILS);
    EXPECT_EQ(E_INVALIDARG, m_pInit->Initialize(NULL, pFailing, NULL));
    EXPECT_EQ(1, pFailing->References());
    pFailing->Release();
}

TEST_F(HostileInput, HelpTextFitsEveryBufferSize)
{
    struct SIZE_CASE
    {
        UINT cchMax;
        std::size_t cchCopied;   // characters before the terminator
    };
    const std::size_t cchHelp = std::strlen(HELP);
    const SIZE_CASE sizes[] = {
        {1, 0}, {2, 1}, {3, 2}, {10, 9}, {31, 30}, {32, 31}, {33, 31}, {256, 31},
        // Huge sizes claim a buffer larger than the text: the text and its
        // terminator are all that is written.
        {0x7FFFFFFF, 31}, {0x80000000, 31}, {0xFFFFFFFF, 31},
    };
    unsigned nCases = 0;
    for (const SIZE_CASE& size : sizes) {
        ASSERT_LE(size.cchCopied, cchHelp);
        for (bool bWide : {false, true}) {
            SCOPED_TRACE(std::to_string(size.cchMax) + (bWide ? " W" : " A"));
            WCHAR wszBuffer[300];
            char szBuffer[300];
            std::memset(wszBuffer, 0x77, sizeof(wszBuffer));
            std::memset(szBuffer, 0x77, sizeof(szBuffer));
            LPSTR pszOut = bWide ? reinterpret_cast<LPSTR>(wszBuffer) : szBuffer;
            const UINT uType = bWide ? GCS_HELPTEXTW : GCS_HELPTEXTA;
            EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, uType, NULL, pszOut, size.cchMax));
            for (std::size_t i = 0; i < size.cchCopied; ++i) {
                if (bWide)
                    ASSERT_EQ(static_cast<WCHAR>(HELP[i]), wszBuffer[i]) << i;
                else
                    ASSERT_EQ(HELP[i], szBuffer[i]) << i;
            }
            EXPECT_EQ(0, bWide ? wszBuffer[size.cchCopied] : szBuffer[size.cchCopied]);
            // Nothing beyond the terminator.
            const int nAfter = bWide ? wszBuffer[size.cchCopied + 1] : (szBuffer[size.cchCopied + 1] & 0xFF);
            EXPECT_EQ(bWide ? 0x7777 : 0x77, nAfter);
            ++nCases;
        }
    }
    // Kinds with the help-text bit and others besides.
    WCHAR wszBuffer[64] = {};
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, 0xFFFFFFFF, NULL, reinterpret_cast<LPSTR>(wszBuffer), 64));
    EXPECT_STREQ(L"This will execute Kestrun Tool!", wszBuffer);
    char szBuffer[64] = {};
    EXPECT_EQ(S_OK, m_pMenu->GetCommandString(0, GCS_HELPTEXTA | 0x100, NULL, szBuffer, 64));
    EXPECT_STREQ(HELP, szBuffer);
    PrintFigure("hostile_cases", "table=help_text_sizes cases=" + std::to_string(nCases + 2));
}

TEST_F(HostileInput, ExportsAnswerAHostThatNeverInitialisedCom)
{
    const std::string key = "CLSID\\{" KESTRUN_CLSID_TEXT "}";
    HRESULT hrRegister = S_OK;
    HRESULT hrUnregister = E_UNEXPECTED;
    // A thread of its own: nothing has initialised COM on it.
    std::thread host([&] {
        hrRegister = DllRegisterServer();
        hrUnregister = DllUnregisterServer();
    });
    host.join();
    EXPECT_EQ(CO_E_NOTINITIALIZED, hrRegister);
    EXPECT_EQ(S_OK, hrUnregister);
    HKEY hKey = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &hKey)) << "registration wrote";
    if (hKey != NULL)
        RegCloseKey(hKey);
    PrintFigure("hostile_cases", "table=exports_without_com cases=2");
}
