// The handler as a COM object: its parts, interface table, counts, its hold
// on the module and both shapes of aggregation.

#include "injected_fault.h"
#include "module_session.h"
#include "quorvex_kestrun.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

void* const GARBAGE = reinterpret_cast<void*>(0x1234);

class HandlerIdentity : public ::testing::Test
{
protected:
    // A plain handler, asked for riid.
    template <class Interface>
    Interface* Create(REFIID riid)
    {
        void* pv = GARBAGE;
        EXPECT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, riid, &pv));
        return static_cast<Interface*>(pv);
    }

    CModuleSession m_module;
};

// What QueryInterface through pPart answers for riid (released again).
void* Answer(IUnknown* pPart, REFIID riid)
{
    void* pv = GARBAGE;
    if (FAILED(pPart->QueryInterface(riid, &pv))) {
        EXPECT_EQ(nullptr, pv);
        return nullptr;
    }
    static_cast<IUnknown*>(pv)->Release();
    return pv;
}

// An outer object that aggregates a handler: it answers IUnknown itself and
// everything else from the inner object, and counts its own references.
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
            AddRef();
            return S_OK;
        }
        if (m_bDelegate && m_pInner != NULL)
            return m_pInner->QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_nRef; }

    LONG m_nRef = 1;
    IUnknown* m_pInner = NULL;
    bool m_bDelegate = true;
};

} // namespace

TEST_F(HandlerIdentity, EveryPartAnswersTheSameTable)
{
    IShellExtInit* pInit = Create<IShellExtInit>(IID_IShellExtInit);
    ASSERT_NE(nullptr, pInit);
    void* pIdentity = Answer(pInit, IID_IUnknown);
    IUnknown* pDual = static_cast<IUnknown*>(Answer(pInit, IID_IDispatch));
    IUnknown* pMenu = static_cast<IUnknown*>(Answer(pInit, IID_IContextMenu));

    // The parts sit in this order: dual interface, shell init, context menu.
    BYTE* pBase = static_cast<BYTE*>(pIdentity);
    EXPECT_EQ(pBase, static_cast<void*>(pDual));
    EXPECT_EQ(pBase + sizeof(void*), static_cast<void*>(pInit));
    EXPECT_EQ(pBase + 2 * sizeof(void*), static_cast<void*>(pMenu));

    for (IUnknown* pPart : {static_cast<IUnknown*>(pInit), pDual, pMenu}) {
        EXPECT_EQ(pIdentity, Answer(pPart, IID_IUnknown));
        EXPECT_EQ(pIdentity, Answer(pPart, IID_IDispatch));
        EXPECT_EQ(pIdentity, Answer(pPart, IID_IQuorvex_Kestrun));
        EXPECT_EQ(static_cast<void*>(pInit), Answer(pPart, IID_IShellExtInit));
        EXPECT_EQ(static_cast<void*>(pMenu), Answer(pPart, IID_IContextMenu));
    }
    pInit->Release();
}

TEST_F(HandlerIdentity, RefusesEverythingElseWithANullOutPointer)
{
    IContextMenu* pMenu = Create<IContextMenu>(IID_IContextMenu);
    for (const IID* piid : {&IID_IContextMenu2, &IID_IContextMenu3, &IID_IPersist, &IID_IClassFactory,
                            &IID_IObjectWithSite, &IID_IMarshal, &IID_IShellPropSheetExt}) {
        void* pv = GARBAGE;
        EXPECT_EQ(E_NOINTERFACE, pMenu->QueryInterface(*piid, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(E_POINTER, pMenu->QueryInterface(IID_IUnknown, NULL));
    EXPECT_EQ(E_POINTER, pMenu->QueryInterface(IID_IContextMenu2, NULL));
    EXPECT_EQ(0u, pMenu->Release());
}

TEST_F(HandlerIdentity, CountsAndHoldsTheModuleForItsLife)
{
    const LONG lBefore = _Module.GetLockCount();
    IShellExtInit* pInit = Create<IShellExtInit>(IID_IShellExtInit);
    EXPECT_EQ(lBefore + 1, _Module.GetLockCount());
    EXPECT_EQ(2u, pInit->AddRef());
    IContextMenu* pMenu = NULL;
    ASSERT_EQ(S_OK, pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));
    EXPECT_EQ(4u, pMenu->AddRef());   // every part counts on the one object
    EXPECT_EQ(3u, pMenu->Release());
    EXPECT_EQ(2u, pMenu->Release());
    EXPECT_EQ(1u, pInit->Release());
    EXPECT_EQ(2u, pInit->AddRef());
    EXPECT_EQ(1u, pInit->Release());
    EXPECT_EQ(lBefore + 1, _Module.GetLockCount());
    EXPECT_EQ(0u, pInit->Release());
    EXPECT_EQ(lBefore, _Module.GetLockCount());
}

TEST_F(HandlerIdentity, CreationFailuresLeaveNothingBehind)
{
    const LONG lBefore = _Module.GetLockCount();
    void* pv = GARBAGE;
    EXPECT_EQ(E_NOINTERFACE, CreateQuorvex_Kestrun(NULL, IID_IContextMenu3, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(lBefore, _Module.GetLockCount());

    {
        CInjectedFault fault("handler_alloc");
        pv = GARBAGE;
        EXPECT_EQ(E_OUTOFMEMORY, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, &pv));
        EXPECT_EQ(nullptr, pv);
        COuter outer;
        pv = GARBAGE;
        EXPECT_EQ(E_OUTOFMEMORY, CreateQuorvex_Kestrun(&outer, IID_IUnknown, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(lBefore, _Module.GetLockCount());
    EXPECT_EQ(E_POINTER, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, NULL));

    // A final construction that succeeds with S_FALSE yields no object: the
    // caller must not be told it got one.
    struct CHalfBuilt : public IUnknown, public CComObjectRoot
    {
        static const INTMAP_ENTRY* _GetEntries()
        {
            static const INTMAP_ENTRY entries[] = {{&IID_IUnknown, 0, INTMAP_DIRECT}, {NULL, 0, 0}};
            return entries;
        }
        HRESULT FinalConstruct() { return S_FALSE; }
    };
    pv = GARBAGE;
    EXPECT_EQ(E_UNEXPECTED, CreateComInstance<CHalfBuilt>(NULL, IID_IUnknown, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(lBefore, _Module.GetLockCount());
}

TEST_F(HandlerIdentity, AnAggregatedHandlerCountsOnItsOuterObject)
{
    const LONG lBefore = _Module.GetLockCount();
    COuter outer;
    IUnknown* pInner = NULL;
    ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)));
    outer.m_pInner = pInner;
    EXPECT_EQ(1, outer.m_nRef) << "the inner object takes no reference on its outer object";
    EXPECT_EQ(lBefore + 1, _Module.GetLockCount());

    // Through the wrapper: the inner object's parts, counted on the outer.
    IContextMenu* pMenu = NULL;
    ASSERT_EQ(S_OK, pInner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));
    EXPECT_EQ(2, outer.m_nRef);
    IShellExtInit* pInit = NULL;
    ASSERT_EQ(S_OK, pMenu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&pInit)));
    EXPECT_EQ(3, outer.m_nRef);
    EXPECT_EQ(static_cast<void*>(reinterpret_cast<BYTE*>(pMenu) - sizeof(void*)), static_cast<void*>(pInit));

    // AddRef on an inner part changes the outer count, not the wrapper's.
    EXPECT_EQ(4u, pInit->AddRef());
    EXPECT_EQ(3u, pInit->Release());
    EXPECT_EQ(2u, pInner->AddRef());
    EXPECT_EQ(1u, pInner->Release());

    // IUnknown from an inner part is the outer object's identity.
    IUnknown* pIdentity = NULL;
    ASSERT_EQ(S_OK, pInit->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pIdentity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), pIdentity);
    pIdentity->Release();

    // The wrapper's own IUnknown is its own.
    void* pv = GARBAGE;
    EXPECT_EQ(S_OK, pInner->QueryInterface(IID_IUnknown, &pv));
    EXPECT_EQ(static_cast<void*>(pInner), pv);
    pInner->Release();
    EXPECT_EQ(E_POINTER, pInner->QueryInterface(IID_IUnknown, NULL));
    pv = GARBAGE;
    EXPECT_EQ(E_NOINTERFACE, pInner->QueryInterface(IID_IPersist, &pv));
    EXPECT_EQ(nullptr, pv);

    pInit->Release();
    pMenu->Release();
    EXPECT_EQ(1, outer.m_nRef);
    EXPECT_EQ(0u, pInner->Release());
    EXPECT_EQ(lBefore, _Module.GetLockCount());
}

TEST_F(HandlerIdentity, AnInnerPartFallsBackToItsOwnTableWhenTheOuterRefuses)
{
    COuter outer;
    IUnknown* pInner = NULL;
    ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)));
    IContextMenu* pMenu = NULL;
    ASSERT_EQ(S_OK, pInner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)));

    // The outer object answers nothing but IUnknown: the inner table answers.
    outer.m_bDelegate = false;
    IShellExtInit* pInit = NULL;
    EXPECT_EQ(S_OK, pMenu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&pInit)));
    ASSERT_NE(nullptr, pInit);
    pInit->Release();
    void* pv = GARBAGE;
    EXPECT_EQ(E_NOINTERFACE, pMenu->QueryInterface(IID_IPersist, &pv));
    EXPECT_EQ(nullptr, pv);

    pMenu->Release();
    EXPECT_EQ(0u, pInner->Release());
}
