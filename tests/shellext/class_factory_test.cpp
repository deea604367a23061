// The exports and the cached class factory, in-process.

#include "class_factory.h"
#include "debug_output_capture.h"
#include "injected_fault.h"
#include "module_session.h"
#include "quorvex_kestrun.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

void* const GARBAGE = reinterpret_cast<void*>(0x1234);

IClassFactory* GetFactory()
{
    IClassFactory* pFactory = NULL;
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
    return pFactory;
}

class ClassFactory : public ::testing::Test
{
protected:
    CModuleSession m_module;
};

} // namespace

TEST_F(ClassFactory, OneCachedFactoryHoldsTheModuleWhileAClientHoldsIt)
{
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    IClassFactory* pFirst = GetFactory();
    EXPECT_EQ(1, _Module.GetLockCount());
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    IClassFactory* pSecond = GetFactory();
    EXPECT_EQ(pFirst, pSecond);
    EXPECT_EQ(1, _Module.GetLockCount());
    IUnknown* pUnknown = NULL;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
    EXPECT_EQ(static_cast<IUnknown*>(pFirst), pUnknown);

    // The cache's own reference is the first: counts 2, 3, 4 held by clients.
    EXPECT_EQ(3u, pUnknown->Release());
    EXPECT_EQ(2u, pSecond->Release());
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    EXPECT_EQ(1u, pFirst->Release());
    EXPECT_EQ(0, _Module.GetLockCount());
    EXPECT_EQ(S_OK, DllCanUnloadNow());

    // Still cached: the next request gets the same object.
    IClassFactory* pAgain = GetFactory();
    EXPECT_EQ(pFirst, pAgain);
    pAgain->Release();
}

TEST_F(ClassFactory, EightThreadsRacingTheFirstRequestGetOneFactory)
{
    HANDLE hGo = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::vector<IClassFactory*> factories(8);
    std::vector<std::thread> threads;
    for (IClassFactory*& pFactory : factories) {
        threads.emplace_back([&pFactory, hGo] {
            WaitForSingleObject(hGo, INFINITE);
            DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
        });
    }
    Sleep(50);
    SetEvent(hGo);
    for (std::thread& thread : threads)
        thread.join();
    CloseHandle(hGo);

    EXPECT_EQ(1u, std::set<IClassFactory*>(factories.begin(), factories.end()).size());
    EXPECT_NE(nullptr, factories[0]);
    EXPECT_EQ(1, _Module.GetLockCount());
    for (IClassFactory* pFactory : factories)
        pFactory->Release();
    EXPECT_EQ(0, _Module.GetLockCount());
}

TEST_F(ClassFactory, RefusesOtherClassesInterfacesAndNullPointers)
{
    void* pv = GARBAGE;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(IID_IClassFactory, IID_IClassFactory, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(E_POINTER, DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, NULL));

    pv = GARBAGE;
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory2, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    // The factory stays cached all the same.
    EXPECT_NE(nullptr, ObjectMap[0].pCF);
}

TEST_F(ClassFactory, AFactoryThatCannotBeAllocatedIsTriedAgainNextTime)
{
    {
        CInjectedFault fault("factory_alloc");
        void* pv = GARBAGE;
        EXPECT_EQ(E_OUTOFMEMORY, DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(nullptr, ObjectMap[0].pCF);
    }
    IClassFactory* pFactory = GetFactory();
    ASSERT_NE(nullptr, pFactory);
    pFactory->Release();
}

TEST_F(ClassFactory, LockServerCallsAreNotPaired)
{
    IClassFactory* pFactory = GetFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    pFactory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    IClassFactory* pOther = GetFactory();
    EXPECT_EQ(S_OK, pOther->LockServer(FALSE));
    pOther->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    ObjectMap[0].pCF->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&pOther));
    EXPECT_EQ(S_OK, pOther->LockServer(FALSE));
    pOther->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassFactory, ALiveHandlerKeepsTheLibrary)
{
    IClassFactory* pFactory = GetFactory();
    IContextMenu* pMenu = NULL;
    void* pv = GARBAGE;
    EXPECT_EQ(E_POINTER, pFactory->CreateInstance(NULL, IID_IContextMenu, NULL));
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(NULL, IID_IPersist, &pv));
    EXPECT_EQ(nullptr, pv);
    ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));
    pFactory->Release();
    EXPECT_EQ(1, _Module.GetLockCount());
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    pMenu->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassFactory, AggregationIsOfferedOnlyForIUnknown)
{
    CDebugOutputCapture debugOutput;
    ASSERT_TRUE(debugOutput.IsListening());
    IClassFactory* pFactory = GetFactory();

    // An outer object that never gets called: creation keeps no reference.
    struct COuter : IUnknown
    {
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override { *ppv = NULL; return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } outer;

    void* pv = GARBAGE;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(&outer, IID_IShellExtInit, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(1, _Module.GetLockCount());

    IUnknown* pInner = NULL;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)));
    EXPECT_EQ(2, _Module.GetLockCount());
    EXPECT_EQ(0u, pInner->Release());
    pFactory->Release();

    Sleep(100);
    std::vector<std::string> texts = debugOutput.Texts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("ATL: ", texts[0]);
    EXPECT_EQ("CComClassFactory: asked for non IUnknown interface while creating an aggregated object", texts[1]);
}
