// Hostile hosts at the click: invoke records of every shape and size, and
// selections that fail, come in other formats, hold no file or ten thousand,
// paths of every length and names outside ASCII. Each case gives its
// documented result, and whatever is accepted boots exactly the first file.

#include "case_table.h"
#include "drop_data_object.h"
#include "hostile_data_object.h"
#include "message_box_watcher.h"
#include "module_session.h"
#include "quorvex_kestrun.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

const char TRANSFER_FAILED[] = "Quorvex Kestrun Error!";

class HostileClick : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device.WriteSettings("0x8000");
        ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&m_pInit)));
        ASSERT_EQ(S_OK, m_pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pMenu)));
    }
    void TearDown() override
    {
        m_pMenu->Release();
        EXPECT_EQ(0u, m_pInit->Release());
    }

    HRESULT Select(IDataObject* pData)
    {
        HRESULT hr = m_pInit->Initialize(NULL, pData, NULL);
        pData->Release();
        return hr;
    }
    HRESULT SelectFiles(const std::vector<std::string>& files)
    {
        CDropDataObject* pData = CDropDataObject::Create(files);
        HRESULT hr = m_pInit->Initialize(NULL, pData, NULL);
        EXPECT_EQ(0, pData->MediaOutstanding()) << "the medium was not released";
        pData->Release();
        return hr;
    }
    HRESULT SelectWide(const std::vector<std::wstring>& files)
    {
        CDropDataObject* pData = CDropDataObject::CreateWide(files);
        HRESULT hr = m_pInit->Initialize(NULL, pData, NULL);
        EXPECT_EQ(0, pData->MediaOutstanding()) << "the medium was not released";
        pData->Release();
        return hr;
    }

    HRESULT Click(HWND hwnd = NULL)
    {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = hwnd;
        info.lpVerb = MAKEINTRESOURCEA(0);
        return m_pMenu->InvokeCommand(&info);
    }

    // The image path of the n-th transfer (from 1), once it is over.
    std::string TransferredImage(std::size_t n)
    {
        EXPECT_TRUE(m_device.WaitForCalls("Kestrun", n, 20000));
        std::vector<STANDIN_CALL> transfers = m_device.Calls("Kestrun");
        return transfers.size() < n ? std::string() : transfers[n - 1].fields["image"];
    }

    CModuleSession m_module;
    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    IShellExtInit* m_pInit = NULL;
    IContextMenu* m_pMenu = NULL;
};

// Storage for a record of any claimed size: an extended record followed by
// room the handler must never read.
union RECORD
{
    CMINVOKECOMMANDINFOEX ex;
    CMINVOKECOMMANDINFO plain;
    BYTE bytes[sizeof(CMINVOKECOMMANDINFOEX) + 64];
};

} // namespace

TEST_F(HostileClick, InvokeRecordsOfEveryShapeAndSize)
{
    const std::string image = m_device.MakeImage("boot.bin", 512);
    ASSERT_EQ(S_OK, SelectFiles({image}));

    // The fields read are the size, the window and the verb: a record must
    // reach as far as the verb; nothing past it is looked at.
    const DWORD cbNeeded = offsetof(CMINVOKECOMMANDINFO, lpParameters);
    const DWORD PLAIN = sizeof(CMINVOKECOMMANDINFO);
    struct RECORD_CASE
    {
        const char* pszName;
        void (*fill)(RECORD& record);
        DWORD cbSize;
        HRESULT hrExpected;
    };
    const RECORD_CASE cases[] = {
        {"size 0", [](RECORD&) {}, 0, E_INVALIDARG},
        {"size 1", [](RECORD&) {}, 1, E_INVALIDARG},
        {"one byte short of the verb", [](RECORD&) {}, cbNeeded - 1, E_INVALIDARG},
        {"exactly up to the verb", [](RECORD&) {}, cbNeeded, S_OK},
        {"plain record", [](RECORD&) {}, PLAIN, S_OK},
        {"extended record", [](RECORD&) {}, sizeof(CMINVOKECOMMANDINFOEX), S_OK},
        {"odd size", [](RECORD&) {}, sizeof(CMINVOKECOMMANDINFOEX) + 3, S_OK},
        {"largest size", [](RECORD&) {}, 0xFFFFFFFF, S_OK},
        {"extended, every string but the verbs dangling",
         [](RECORD& r) {
             r.ex.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE | CMIC_MASK_HOTKEY;
             r.ex.lpParameters = r.ex.lpDirectory = r.ex.lpTitle = static_cast<LPCSTR>(DANGLING);
             r.ex.lpParametersW = r.ex.lpDirectoryW = r.ex.lpTitleW = static_cast<LPCWSTR>(DANGLING);
             r.ex.hIcon = static_cast<HANDLE>(DANGLING);
         },
         sizeof(CMINVOKECOMMANDINFOEX), S_OK},
        // With the Unicode flag the wide verb counts as much as the ANSI one.
        {"extended, wide verb string and ANSI offset 0",
         [](RECORD& r) {
             r.ex.fMask = CMIC_MASK_UNICODE;
             r.ex.lpVerbW = L"open";
         },
         sizeof(CMINVOKECOMMANDINFOEX), E_INVALIDARG},
        {"extended, dangling wide verb",
         [](RECORD& r) {
             r.ex.fMask = CMIC_MASK_UNICODE;
             r.ex.lpVerbW = static_cast<LPCWSTR>(DANGLING);
         },
         sizeof(CMINVOKECOMMANDINFOEX), E_INVALIDARG},
        {"extended, wide offset 1",
         [](RECORD& r) {
             r.ex.fMask = CMIC_MASK_UNICODE;
             r.ex.lpVerbW = MAKEINTRESOURCEW(1);
         },
         sizeof(CMINVOKECOMMANDINFOEX), E_INVALIDARG},
        {"extended, wide verb string without the Unicode flag",
         [](RECORD& r) { r.ex.lpVerbW = L"open"; }, sizeof(CMINVOKECOMMANDINFOEX), S_OK},
        {"stale window", [](RECORD& r) { r.plain.hwnd = reinterpret_cast<HWND>(0xDEAD0); }, PLAIN, S_OK},
        {"odd show command", [](RECORD& r) { r.plain.nShow = -12345; }, PLAIN, S_OK},
        {"verb string", [](RECORD& r) { r.plain.lpVerb = "open"; }, PLAIN, E_INVALIDARG},
        {"extended, verb string",
         [](RECORD& r) {
             r.ex.lpVerb = "runas";
             r.ex.lpVerbW = L"runas";
         },
         sizeof(CMINVOKECOMMANDINFOEX), E_INVALIDARG},
        {"empty verb string", [](RECORD& r) { r.plain.lpVerb = ""; }, PLAIN, E_INVALIDARG},
        {"offset 1", [](RECORD& r) { r.plain.lpVerb = MAKEINTRESOURCEA(1); }, PLAIN, E_INVALIDARG},
        {"offset 0xFFFF", [](RECORD& r) { r.plain.lpVerb = MAKEINTRESOURCEA(0xFFFF); }, PLAIN, E_INVALIDARG},
        {"verb string, short record", [](RECORD& r) { r.plain.lpVerb = "open"; }, cbNeeded, E_INVALIDARG},
    };

    std::size_t nAccepted = 0;
    for (const RECORD_CASE& test : cases) {
        SCOPED_TRACE(test.pszName);
        RECORD record;
        std::memset(&record, 0, sizeof(record));
        record.plain.lpVerb = MAKEINTRESOURCEA(0);
        record.plain.nShow = SW_SHOWNORMAL;
        test.fill(record);
        record.plain.cbSize = test.cbSize;
        EXPECT_EQ(test.hrExpected, m_pMenu->InvokeCommand(&record.plain));
        if (test.hrExpected == S_OK) {
            ++nAccepted;
            EXPECT_EQ(image, TransferredImage(nAccepted));
        }
    }
    Sleep(100);
    EXPECT_EQ(nAccepted, m_device.Calls("Kestrun.begin").size()) << "a refused record started a transfer";
    EXPECT_EQ(nAccepted, m_device.DeviceRecords().size());
    EXPECT_TRUE(m_boxes.Boxes().empty());
    PrintFigure("hostile_cases", "table=invoke_records cases=" + std::to_string(sizeof(cases) / sizeof(cases[0])));
}

TEST_F(HostileClick, AVerbStringAnywhereInTheAddressSpaceIsAString)
{
    // A string whose address has nothing in its second 16 bits, as a string
    // above 4 GiB may have in a 64-bit process. It is still a string.
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "a 32-bit address with a zero high word is an offset";
    ASSERT_EQ(S_OK, SelectFiles({m_device.MakeImage("boot.bin", 16)}));
    char* pszVerb = NULL;
    for (ULONGLONG uBase = 0x100000000ULL; pszVerb == NULL && uBase <= 0x7F00000000ULL; uBase += 0x100000000ULL)
        pszVerb = static_cast<char*>(VirtualAlloc(reinterpret_cast<void*>(static_cast<ULONG_PTR>(uBase)), 4096,
                                                  MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pszVerb);
    ASSERT_EQ(0u, reinterpret_cast<ULONG_PTR>(pszVerb) & 0xFFFFFFFF);
    std::strcpy(pszVerb, "open");

    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = pszVerb;
    EXPECT_EQ(E_INVALIDARG, m_pMenu->InvokeCommand(&info));
    VirtualFree(pszVerb, 0, MEM_RELEASE);
    Sleep(200);
    EXPECT_TRUE(m_device.Calls().empty()) << "the verb string was taken for command 0";
}

TEST_F(HostileClick, AClickWithoutASelectionReportsTheFailedTransfer)
{
    // The path is empty until Initialize accepts a file; a host that clicks
    // regardless gets a started request whose transfer fails visibly.
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ("", TransferredImage(1));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 10000)) << m_boxes.Describe();
    EXPECT_EQ(TRANSFER_FAILED, m_boxes.Boxes()[0].text);

    // A refused selection leaves no path of an earlier one behind.
    ASSERT_EQ(S_OK, SelectFiles({m_device.MakeImage("boot.bin", 16)}));
    ASSERT_EQ(E_INVALIDARG, SelectFiles({"C:\\img\\notes.txt"}));
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ("", TransferredImage(2));
}

TEST_F(HostileClick, UnusableDataObjectsAreRefusedAndReleased)
{
    struct DATA_CASE
    {
        const char* pszName;
        HOSTILE_ANSWER answer;
        HRESULT hrFailure;
    };
    const DATA_CASE hostile[] = {
        {"fails", ANSWER_FAILS, E_FAIL},
        {"out of memory", ANSWER_FAILS, E_OUTOFMEMORY},
        {"no such format", ANSWER_FAILS, DV_E_FORMATETC},
        {"wrong medium asked", ANSWER_FAILS, DV_E_TYMED},
        {"scribbles over the medium, then fails", ANSWER_SCRIBBLES_AND_FAILS, E_UNEXPECTED},
        {"offers text only", ANSWER_ONLY_TEXT, S_OK},
        {"answers with a stream", ANSWER_STREAM, S_OK},
        {"answers with a file", ANSWER_FILE, S_OK},
        {"answers with nothing", ANSWER_NOTHING, S_OK},
    };
    for (const DATA_CASE& test : hostile) {
        SCOPED_TRACE(test.pszName);
        CHostileDataObject* pData = new CHostileDataObject(test.answer, test.hrFailure);
        EXPECT_EQ(E_INVALIDARG, m_pInit->Initialize(NULL, pData, NULL));
        EXPECT_EQ(0, pData->MediaOutstanding()) << "a medium was not released";
        EXPECT_EQ(1, pData->References()) << "the data object was kept";
        pData->Release();
    }
    for (DROP_BEHAVIOUR behaviour : {DROP_GETDATA_FAILS, DROP_OTHER_MEDIUM, DROP_NULL_HGLOBAL})
        EXPECT_EQ(E_INVALIDARG, Select(CDropDataObject::Create({"C:\\img\\boot.bin"}, behaviour))) << behaviour;

    // Crafted blocks the shell's reader would run past: too short for the
    // header, a list that starts in the header or past the block, a list
    // without its double terminator.
    auto block = [](DWORD pFiles, BOOL fWide, const std::string& list) {
        DROPFILES header = {};
        header.pFiles = pFiles;
        header.fWide = fWide;
        return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + list;
    };
    const std::string crafted[] = {
        std::string("\x14\0\0", 3),
        block(4, FALSE, std::string("C:\\img\\boot.bin\0\0", 17)),
        block(0x10000, FALSE, std::string("C:\\img\\boot.bin\0\0", 17)),
        block(sizeof(DROPFILES), FALSE, "C:\\img\\boot.bin"),
        block(sizeof(DROPFILES), FALSE, std::string("C:\\img\\boot.bin\0", 16)),
        block(sizeof(DROPFILES), TRUE, std::string("C\0:\0\\\0b\0.\0b\0i\0n\0\0\0\0", 19)),
        block(sizeof(DROPFILES), FALSE, std::string("\0\0", 2)),
    };
    for (const std::string& bytes : crafted) {
        CDropDataObject* pData = CDropDataObject::CreateRaw(bytes);
        EXPECT_EQ(E_INVALIDARG, m_pInit->Initialize(NULL, pData, NULL)) << bytes.size() << " bytes";
        EXPECT_EQ(0, pData->MediaOutstanding());
        pData->Release();
    }
    // The same block well formed is a selection.
    CDropDataObject* pData = CDropDataObject::CreateRaw(block(sizeof(DROPFILES), FALSE, std::string("C:\\img\\boot.bin\0\0", 17)));
    EXPECT_EQ(S_OK, m_pInit->Initialize(NULL, pData, NULL));
    pData->Release();
    const std::size_t nCases = sizeof(hostile) / sizeof(hostile[0]) + 3 + sizeof(crafted) / sizeof(crafted[0]);
    PrintFigure("hostile_cases", "table=data_objects cases=" + std::to_string(nCases));
}

TEST_F(HostileClick, TenThousandFilesBootTheFirstOnly)
{
    const std::string image = m_device.MakeImage("first.bin", 300);
    std::vector<std::string> files(10000);
    for (std::size_t i = 0; i < files.size(); ++i)
        files[i] = "C:\\selection\\file" + std::to_string(i) + (i % 2 ? ".bin" : ".txt");

    files[0] = image;
    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(S_OK, SelectFiles(files));
    const DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ(image, TransferredImage(1));

    files[0] = "C:\\selection\\first.txt";
    EXPECT_EQ(E_INVALIDARG, SelectFiles(files));
    EXPECT_EQ(E_INVALIDARG, SelectFiles({}));
    PrintFigure("hostile_cases",
                "table=selection_sizes cases=3 initialize_10000_files_ms=" + std::to_string(dwElapsed));
}

TEST_F(HostileClick, FirstPathsOfEveryLength)
{
    // A real 259-character image: the longest path that fits the buffer.
    const std::string folder = m_device.ToolDirectory();
    const std::string longest = folder + std::string(259 - folder.size() - 4, 'n') + ".bin";
    ASSERT_EQ(259u, longest.size());
    ASSERT_TRUE(CopyFileA(m_device.MakeImage("seed.bin", 64).c_str(), longest.c_str(), FALSE));

    struct LENGTH_CASE
    {
        std::size_t cch;
        HRESULT hrExpected;
    };
    const LENGTH_CASE lengths[] = {{0, E_INVALIDARG}, {1, E_INVALIDARG}, {4, S_OK}, {258, S_OK}, {259, S_OK},
                                   {260, E_INVALIDARG}, {261, E_INVALIDARG}, {1024, E_INVALIDARG},
                                   {32767, E_INVALIDARG}};
    unsigned nCases = 0;
    for (const LENGTH_CASE& length : lengths) {
        std::string path = length.cch == 259 ? longest : std::string(length.cch, 'p');
        if (length.cch >= 4 && length.cch != 259)
            path.replace(length.cch - 4, 4, ".bin");
        for (bool bWide : {false, true}) {
            SCOPED_TRACE(std::to_string(length.cch) + (bWide ? " wide" : " ANSI"));
            const HRESULT hr = bWide ? SelectWide({std::wstring(path.begin(), path.end()), L"C:\\second.bin"})
                                     : SelectFiles({path, "C:\\second.bin"});
            EXPECT_EQ(length.hrExpected, hr);
            ++nCases;
        }
    }
    // The longest reaches the device whole.
    ASSERT_EQ(S_OK, SelectWide({std::wstring(longest.begin(), longest.end())}));
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ(longest, TransferredImage(1));
    EXPECT_EQ("259", m_device.Calls("Kestrun")[0].fields["length"]);
    EXPECT_EQ("0", m_device.Calls("Kestrun")[0].fields["result"]);
    PrintFigure("hostile_cases", "table=first_path_lengths cases=" + std::to_string(nCases));
}

TEST_F(HostileClick, NamesOutsideAsciiReachTheDeviceAsAnsi)
{
    // A name the ANSI code page can spell arrives spelled in it and boots.
    const std::string tool = m_device.ToolDirectory();
    const std::wstring folder = std::wstring(tool.begin(), tool.end()) + L"\x00E9\x00FC";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    const std::wstring wideImage = folder + L"\\d\x00E9mo-\x00C5.bin";
    const std::string seed = m_device.MakeImage("seed.bin", 100);
    ASSERT_TRUE(CopyFileW(std::wstring(seed.begin(), seed.end()).c_str(), wideImage.c_str(), FALSE));
    char szAnsi[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, wideImage.c_str(), -1, szAnsi, MAX_PATH, NULL, NULL);

    EXPECT_EQ(S_OK, SelectWide({wideImage}));
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ(std::string(szAnsi), TransferredImage(1));
    EXPECT_EQ("0", m_device.Calls("Kestrun")[0].fields["result"]);

    // A name it cannot spell, of a file without a short name (it does not
    // exist): no form names it exactly, so there is no item and nothing
    // reaches the library.
    EXPECT_EQ(E_INVALIDARG, SelectWide({folder + L"\\\x4E2D\x6587.bin"}));
    EXPECT_EQ(1u, m_device.Calls("Kestrun").size());

    // Double-byte text in the ANSI selection passes byte for byte, a trail
    // byte that equals a backslash included.
    const std::string doubleByte = "C:\\img\\\x95\x5C\x83\x5C.bin";
    EXPECT_EQ(S_OK, SelectFiles({doubleByte}));
    EXPECT_EQ(S_OK, Click());
    EXPECT_EQ(doubleByte, TransferredImage(2));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 10000));
    EXPECT_EQ(TRANSFER_FAILED, m_boxes.Boxes()[0].text);

    PrintFigure("hostile_cases", "table=non_ascii_names cases=3");
}
