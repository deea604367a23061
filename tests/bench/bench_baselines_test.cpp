// The benchmarks' own stand-ins are fair floors: the data object hands out
// the same drop list at a fixed cost, the do-nothing handler library answers
// the right-click sequence as the extension does for a non-image while doing
// nothing, and the factory model follows the extension's counting rules.

#include "bench_drop_data.h"
#include "bench_inproc_server.h"
#include "do_nothing_handler.h"
#include "factory_model.h"

#include "Kestrun_Tool_i.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char FIRST[] = "C:\\users\\kestrun\\images\\boot.bin";

class CComApartment
{
public:
    CComApartment() { CoInitializeEx(NULL, COINIT_APARTMENTTHREADED); }
    ~CComApartment() { CoUninitialize(); }
};

UINT Count(HGLOBAL hDrop)
{
    HDROP hLocked = static_cast<HDROP>(GlobalLock(hDrop));
    const UINT nFiles = DragQueryFileA(hLocked, 0xFFFFFFFF, NULL, 0);
    GlobalUnlock(hDrop);
    return nFiles;
}

} // namespace

TEST(BenchDropData, HandsOutOneListThatOutlivesEachMedium)
{
    for (std::size_t nFiles : {1u, 3u, 10000u}) {
        const std::vector<std::string> files = SelectionOf(FIRST, nFiles);
        ASSERT_EQ(nFiles, files.size());
        CBenchDropData* pData = CBenchDropData::Create(files);
        ASSERT_NE(nullptr, pData);
        FORMATETC format = {CF_HDROP, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM first = {}, second = {};
        ASSERT_EQ(S_OK, pData->GetData(&format, &first));
        ASSERT_EQ(S_OK, pData->GetData(&format, &second));
        EXPECT_EQ(first.hGlobal, second.hGlobal);
        EXPECT_EQ(2, pData->MediaOutstanding());
        ReleaseStgMedium(&first);
        ReleaseStgMedium(&second);
        EXPECT_EQ(0, pData->MediaOutstanding());
        EXPECT_EQ(2, pData->GetDataCalls());

        // Still whole after the media are released.
        EXPECT_EQ(nFiles, Count(pData->DropFiles()));
        char szPath[MAX_PATH] = {};
        HDROP hDrop = static_cast<HDROP>(GlobalLock(pData->DropFiles()));
        DragQueryFileA(hDrop, static_cast<UINT>(nFiles - 1), szPath, MAX_PATH);
        GlobalUnlock(pData->DropFiles());
        EXPECT_EQ(files.back(), szPath);
        pData->Release();
    }
}

TEST(BenchDropData, RefusesOtherFormats)
{
    CBenchDropData* pData = CBenchDropData::Create({FIRST});
    FORMATETC format = {CF_TEXT, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    EXPECT_EQ(DV_E_FORMATETC, pData->GetData(&format, &medium));
    format = {CF_HDROP, NULL, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    EXPECT_EQ(DV_E_FORMATETC, pData->GetData(&format, &medium));
    EXPECT_EQ(0, pData->MediaOutstanding());
    pData->Release();
}

// Figure 1's sequence, step by step, on both libraries: both refuse the
// non-image, only the extension looks at it, and both may be unloaded after.
TEST(RightClickBaseline, RefusesANonImageLikeTheExtensionWithoutLookingAtIt)
{
    CComApartment apartment;
    struct
    {
        const char* pszLibrary;
        const CLSID* pclsid;
        LONG nGetDataCalls;
    } const cases[] = {
        {"Kestrun_Tool.dll", &CLSID_Quorvex_Kestrun, 1},
        {"do_nothing_handler.dll", &CLSID_DoNothingHandler, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszLibrary);
        CBenchDropData* pData = CBenchDropData::Create({"C:\\users\\kestrun\\images\\readme.txt"});
        CInprocServer server;
        ASSERT_TRUE(server.Load(BenchProgramDirectory() + c.pszLibrary));
        void* pv = nullptr;
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.GetClassObject(CLSID_FactoryModel, IID_IClassFactory, &pv));
        IClassFactory* pFactory = nullptr;
        ASSERT_EQ(S_OK, server.GetClassObject(*c.pclsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
        EXPECT_EQ(S_FALSE, server.CanUnloadNow());
        IShellExtInit* pInit = nullptr;
        ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit)));
        pFactory->Release();
        EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "a live handler holds the library";
        EXPECT_EQ(E_INVALIDARG, pInit->Initialize(NULL, pData, NULL));
        EXPECT_EQ(c.nGetDataCalls, pData->GetDataCalls());
        EXPECT_EQ(0, pData->MediaOutstanding());
        pInit->Release();
        EXPECT_EQ(S_OK, server.CanUnloadNow());
        pData->Release();
    }
}

// The model stands for the extension's factory only if it counts as the
// extension does; the same cases on both.
TEST(FactoryModel, CountsLikeTheExtensionsFactory)
{
    CInprocServer server;
    ASSERT_TRUE(server.Load(BenchProgramDirectory() + "Kestrun_Tool.dll"));
    struct
    {
        const char* pszName;
        LPFNGETCLASSOBJECT pfnGetClassObject;
        const CLSID* pclsid;
        bool (*pfnHeld)(const CInprocServer&);
    } const cases[] = {
        {"Kestrun_Tool.dll", server.GetClassObjectExport(), &CLSID_Quorvex_Kestrun,
         [](const CInprocServer& s) { return s.CanUnloadNow() == S_FALSE; }},
        {"model", ModelGetClassObject, &CLSID_FactoryModel,
         [](const CInprocServer&) { return ModelLockCount() != 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        IClassFactory* pFirst = nullptr;
        IClassFactory* pSecond = nullptr;
        ASSERT_EQ(S_OK, c.pfnGetClassObject(*c.pclsid, IID_IClassFactory, reinterpret_cast<void**>(&pFirst)));
        ASSERT_EQ(S_OK, c.pfnGetClassObject(*c.pclsid, IID_IClassFactory, reinterpret_cast<void**>(&pSecond)));
        EXPECT_EQ(pFirst, pSecond) << "one cached factory";
        EXPECT_TRUE(c.pfnHeld(server));
        EXPECT_EQ(2u, pSecond->Release()) << "the cache keeps its own reference";
        EXPECT_TRUE(c.pfnHeld(server));
        EXPECT_EQ(1u, pFirst->Release());
        EXPECT_FALSE(c.pfnHeld(server));

        IUnknown* pUnknown = nullptr;
        ASSERT_EQ(S_OK, c.pfnGetClassObject(*c.pclsid, IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
        EXPECT_EQ(static_cast<IUnknown*>(pFirst), pUnknown);
        pUnknown->Release();

        void* pv = &pUnknown;
        EXPECT_EQ(E_NOINTERFACE, c.pfnGetClassObject(*c.pclsid, IID_IDataObject, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, c.pfnGetClassObject(IID_IDataObject, IID_IClassFactory, &pv));
        EXPECT_EQ(E_POINTER, c.pfnGetClassObject(*c.pclsid, IID_IClassFactory, nullptr));
        EXPECT_FALSE(c.pfnHeld(server));
    }
}
