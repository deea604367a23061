// Leak and balance of the extension's own objects: thousands of handlers
// created, initialised, asked for their menu and released, and eight threads
// racing the exports and the class factory. Sizes: quick by default,
// KESTRUN_FULL=1 for the full ones.

#include "drop_data_object.h"
#include "module_session.h"
#include "process_figures.h"
#include "quorvex_kestrun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <vector>

namespace {

const HRESULT ONE_ITEM = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);

// One right-click as Explorer makes it; false at the first unexpected answer.
bool MenuCycle(IDataObject* pData)
{
    IClassFactory* pFactory = NULL;
    if (DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)) != S_OK)
        return false;
    IShellExtInit* pInit = NULL;
    HRESULT hr = pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit));
    pFactory->Release();
    if (hr != S_OK)
        return false;
    IContextMenu* pMenu = NULL;
    bool bOk = pInit->Initialize(NULL, pData, NULL) == S_OK &&
               pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu)) == S_OK;
    if (bOk) {
        HMENU hmenu = CreatePopupMenu();
        bOk = pMenu->QueryContextMenu(hmenu, 0, 1, 100, CMF_NORMAL) == ONE_ITEM && GetMenuItemCount(hmenu) == 1;
        DestroyMenu(hmenu);
        pMenu->Release();
    }
    return pInit->Release() == 0 && bOk;
}

} // namespace

TEST(Balance, MenuCyclesLeaveNothingBehind)
{
    CModuleSession module;
    CDropDataObject* pData = CDropDataObject::Create({"C:\\img\\boot.bin"});
    const unsigned nCycles = LoopSize(10000, 100000);
    CLeakCheck leaks("menu_cycles", 64 * 1024, 2);
    ASSERT_TRUE(leaks.StartWhenSteady([pData] { return MenuCycle(pData); }, 500, 10)) << "a warm-up run failed";
    for (unsigned i = 0; i < nCycles; ++i)
        ASSERT_TRUE(MenuCycle(pData)) << "cycle " << i;
    leaks.Finish(nCycles);

    EXPECT_EQ(0, _Module.GetLockCount());
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    EXPECT_EQ(0, pData->MediaOutstanding());
    EXPECT_EQ(0u, pData->Release()) << "a handler kept the data object";
}

TEST(Balance, EightThreadsRacingTheExportsAndTheFactory)
{
    CModuleSession module;
    const unsigned nThreads = 8;
    const unsigned nOperations = LoopSize(1000000, 10000000);
    // Each round: DllGetClassObject, AddRef, LockServer(TRUE),
    // LockServer(FALSE), Release, Release.
    const unsigned nRounds = (nOperations + 6 * nThreads - 1) / (6 * nThreads);
    ASSERT_EQ(nullptr, ObjectMap[0].pCF) << "the first requests must race the creation";

    struct RACER
    {
        HANDLE hThread;
        IUnknown* pFirst;
        unsigned nOtherFactory;
        unsigned nFailures;
    };
    static std::atomic<bool> s_bGo;
    s_bGo = false;
    std::vector<RACER> racers(nThreads);
    struct START
    {
        RACER* pRacer;
        unsigned nRounds;
    };
    std::vector<START> starts(nThreads);
    for (unsigned i = 0; i < nThreads; ++i) {
        racers[i] = RACER{NULL, NULL, 0, 0};
        starts[i] = START{&racers[i], nRounds};
        racers[i].hThread = CreateThread(NULL, 0, [](LPVOID pv) WINAPI -> DWORD {
            START* pStart = static_cast<START*>(pv);
            RACER& racer = *pStart->pRacer;
            while (!s_bGo)
                Sleep(0);
            for (unsigned n = 0; n < pStart->nRounds; ++n) {
                IClassFactory* pFactory = NULL;
                void** ppv = reinterpret_cast<void**>(&pFactory);
                if (DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, ppv) != S_OK) {
                    ++racer.nFailures;
                    continue;
                }
                if (racer.pFirst == NULL)
                    racer.pFirst = pFactory;
                else if (racer.pFirst != pFactory)
                    ++racer.nOtherFactory;
                pFactory->AddRef();
                if (pFactory->LockServer(TRUE) != S_OK || pFactory->LockServer(FALSE) != S_OK)
                    ++racer.nFailures;
                pFactory->Release();
                pFactory->Release();
            }
            return 0;
        }, &starts[i], 0, NULL);
        ASSERT_NE(nullptr, racers[i].hThread);
    }

    const DWORD dwStart = GetTickCount();
    s_bGo = true;
    std::vector<HANDLE> handles;
    for (const RACER& racer : racers)
        handles.push_back(racer.hThread);
    const DWORD dwWait = WaitForMultipleObjects(nThreads, handles.data(), TRUE, 120000);
    const DWORD dwElapsed = GetTickCount() - dwStart;
    ASSERT_EQ(WAIT_OBJECT_0, dwWait) << "the racers did not finish in two minutes: deadlock";
    for (HANDLE hThread : handles)
        CloseHandle(hThread);

    for (const RACER& racer : racers) {
        EXPECT_EQ(0u, racer.nFailures);
        EXPECT_EQ(0u, racer.nOtherFactory) << "a second factory was created";
        EXPECT_EQ(racers[0].pFirst, racer.pFirst);
    }
    EXPECT_EQ(0, _Module.GetLockCount());
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    // Only the cache's own reference is left.
    ASSERT_NE(nullptr, ObjectMap[0].pCF);
    EXPECT_EQ(2u, ObjectMap[0].pCF->AddRef());
    EXPECT_EQ(1u, ObjectMap[0].pCF->Release());
    EXPECT_EQ(0, _Module.GetLockCount());
    std::set<IUnknown*> factories;
    for (const RACER& racer : racers)
        factories.insert(racer.pFirst);
    PrintFigure("factory_race", "threads=" + std::to_string(nThreads) +
                                    " operations=" + std::to_string(6ull * nRounds * nThreads) +
                                    " ms=" + std::to_string(dwElapsed) +
                                    " factories=" + std::to_string(factories.size()) +
                                    " lock_count_after=" + std::to_string(_Module.GetLockCount()));
}
