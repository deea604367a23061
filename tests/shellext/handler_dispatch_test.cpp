// IDispatch of the handler, answered from the registered type library.

#include "com_checks.h"
#include "module_session.h"
#include "quorvex_kestrun.h"
#include "registered_type_library.h"
#include "type_info_holder.h"
#include "text_file.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

namespace {

class HandlerDispatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IDispatch, reinterpret_cast<void**>(&m_pDispatch)));
    }
    void TearDown() override { m_pDispatch->Release(); }

    CTypeLibraryRegistration m_typeLibrary;
    CModuleSession m_module;
    IDispatch* m_pDispatch = NULL;
};

} // namespace

TEST_F(HandlerDispatch, CountsOneTypeInfo)
{
    UINT nCount = 99;
    EXPECT_EQ(S_OK, m_pDispatch->GetTypeInfoCount(&nCount));
    EXPECT_EQ(1u, nCount);
    EXPECT_EQ(E_POINTER, m_pDispatch->GetTypeInfoCount(NULL));
}

TEST_F(HandlerDispatch, AnswersFromTheRegisteredTypeLibrary)
{
    m_typeLibrary.Register();
    ITypeInfo* pFirst = NULL;
    ITypeInfo* pSeventh = NULL;
    ASSERT_EQ(S_OK, m_pDispatch->GetTypeInfo(0, 0, &pFirst));
    ASSERT_EQ(S_OK, m_pDispatch->GetTypeInfo(7, 0, &pSeventh));
    EXPECT_EQ(pFirst, pSeventh);
    EXPECT_EQ(E_POINTER, m_pDispatch->GetTypeInfo(0, 0, NULL));

    TYPEATTR* pAttr = NULL;
    ASSERT_EQ(S_OK, pFirst->GetTypeAttr(&pAttr));
    EXPECT_TRUE(IsEqualGUID(IID_IQuorvex_Kestrun, pAttr->guid));
    pFirst->ReleaseTypeAttr(pAttr);

    // Every name goes to the type information (directly or through the name
    // cache): the answers are the type information's own.
    for (const wchar_t* pszName : {L"QueryInterface", L"GetTypeInfoCount", L"Invoke", L"NoSuchMember", L""}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(pszName)};
        DISPID expected = DISPID_UNKNOWN;
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hrExpected = pFirst->GetIDsOfNames(names, 1, &expected);
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_EQ(hrExpected, m_pDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
            if (SUCCEEDED(hrExpected)) {
                EXPECT_EQ(expected, id);
            }
        }
    }
    // A failing name ends the lookup.
    LPOLESTR two[] = {const_cast<LPOLESTR>(L"NoSuchMember"), const_cast<LPOLESTR>(L"Other")};
    DISPID ids[2] = {DISPID_UNKNOWN, 77};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, m_pDispatch->GetIDsOfNames(IID_NULL, two, 2, 0, ids));
    EXPECT_EQ(77, ids[1]);

    DISPPARAMS none = {};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, m_pDispatch->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL));

    pSeventh->Release();
    // The holder keeps one reference until the module terminates.
    const ULONG nHeld = References(pFirst);
    m_pDispatch->Release();
    m_module.Restart();
    EXPECT_EQ(nHeld - 1, References(pFirst));
    pFirst->Release();
    ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IDispatch, reinterpret_cast<void**>(&m_pDispatch)));
}

TEST_F(HandlerDispatch, FailsWhileUnregisteredAndRecoversOnceRegistered)
{
    const int nEntriesBefore = _Module.GetTermFuncCount();
    for (int i = 0; i < 5; ++i) {
        ITypeInfo* pInfo = reinterpret_cast<ITypeInfo*>(0x1234);
        HRESULT hr = m_pDispatch->GetTypeInfo(0, 0, &pInfo);
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_EQ(nullptr, pInfo);
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"QueryInterface")};
        EXPECT_EQ(hr, m_pDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
        DISPPARAMS none = {};
        EXPECT_EQ(hr, m_pDispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL));
    }
    // Every failed load tried again, but the clean-up was added once only.
    EXPECT_EQ(nEntriesBefore + 1, _Module.GetTermFuncCount());

    m_typeLibrary.Register();
    ITypeInfo* pInfo = NULL;
    ASSERT_EQ(S_OK, m_pDispatch->GetTypeInfo(0, 0, &pInfo));
    pInfo->Release();
    EXPECT_EQ(nEntriesBefore + 1, _Module.GetTermFuncCount());

    // Loaded once, it stays loaded, registered or not.
    m_typeLibrary.Unregister();
    ASSERT_EQ(S_OK, m_pDispatch->GetTypeInfo(0, 0, &pInfo));
    pInfo->Release();

    // Another holder has a clean-up of its own: without one, its type
    // information would outlive the module.
    static CComTypeInfoHolder second = {&IID_IQuorvex_Kestrun, &LIBID_KESTRUN_TOOLLib, 1, 0, NULL, 0, NULL, 0, false};
    m_typeLibrary.Register();
    ASSERT_EQ(S_OK, second.GetTypeInfo(0, 0, &pInfo));
    pInfo->Release();
    EXPECT_EQ(nEntriesBefore + 2, _Module.GetTermFuncCount());
    m_pDispatch->Release();
    m_module.Restart();
    EXPECT_EQ(nullptr, second.m_pInfo);
    ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IDispatch, reinterpret_cast<void**>(&m_pDispatch)));
}
