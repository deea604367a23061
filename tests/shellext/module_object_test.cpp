#include "com_module.h"
#include "injected_fault.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<DWORD_PTR> g_calls;

void WINAPI Record(DWORD_PTR dw)
{
    g_calls.push_back(dw);
}

DWORD WINAPI LockAndUnlock(LPVOID pv)
{
    CComModule* pModule = static_cast<CComModule*>(pv);
    for (int i = 0; i < 100000; ++i) {
        pModule->Lock();
        pModule->Unlock();
    }
    return 0;
}

} // namespace

TEST(ModuleObject, TerminationListRunsNewestFirstEachEntryOnce)
{
    CComModule module;
    module.Init(NULL, GetModuleHandleA(NULL));
    g_calls.clear();
    ASSERT_EQ(S_OK, module.AddTermFunc(Record, 1));
    ASSERT_EQ(S_OK, module.AddTermFunc(Record, 2));
    ASSERT_EQ(S_OK, module.AddTermFunc(Record, 3));
    EXPECT_EQ(3, module.GetTermFuncCount());
    EXPECT_TRUE(g_calls.empty());

    module.Term();
    EXPECT_EQ((std::vector<DWORD_PTR>{3, 2, 1}), g_calls);

    // The list is empty afterwards: a second termination runs nothing.
    module.Init(NULL, GetModuleHandleA(NULL));
    EXPECT_EQ(0, module.GetTermFuncCount());
    module.Term();
    EXPECT_EQ(3u, g_calls.size());
}

TEST(ModuleObject, AnEntryThatCannotBeAllocatedLeavesTheListUnchanged)
{
    CComModule module;
    module.Init(NULL, GetModuleHandleA(NULL));
    g_calls.clear();
    ASSERT_EQ(S_OK, module.AddTermFunc(Record, 1));
    {
        CInjectedFault fault("term_entry_alloc");
        EXPECT_EQ(E_OUTOFMEMORY, module.AddTermFunc(Record, 2));
    }
    EXPECT_EQ(1, module.GetTermFuncCount());
    module.Term();
    EXPECT_EQ((std::vector<DWORD_PTR>{1}), g_calls);
}

TEST(ModuleObject, LockCountIsAtomicAndBalanced)
{
    CComModule module;
    module.Init(NULL, GetModuleHandleA(NULL));
    EXPECT_EQ(0, module.GetLockCount());
    EXPECT_EQ(1, module.Lock());
    EXPECT_EQ(2, module.Lock());
    EXPECT_EQ(1, module.Unlock());
    EXPECT_EQ(0, module.Unlock());
    EXPECT_EQ(0, module.GetLockCount());

    // Four threads, 100,000 pairs each, interleaved.
    HANDLE threads[4];
    for (HANDLE& hThread : threads)
        hThread = CreateThread(NULL, 0, LockAndUnlock, &module, 0, NULL);
    WaitForMultipleObjects(4, threads, TRUE, 60000);
    for (HANDLE hThread : threads)
        CloseHandle(hThread);
    EXPECT_EQ(0, module.GetLockCount());
    module.Term();
}
