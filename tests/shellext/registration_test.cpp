// Registration of the real library with the platform's regsvr32, registrar
// and automation client, in the test prefix's registry.

#include "Kestrun_Tool_i.h"
#include "com_checks.h"
#include "kestrun_ids.h"
#include "child_process.h"
#include "temp_dir.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string CLSID_TEXT = "{" KESTRUN_CLSID_TEXT "}";
const std::string LIBID_TEXT = "{" KESTRUN_LIBID_TEXT "}";
const std::string CLASS_KEY = "CLSID\\" + CLSID_TEXT;
const std::string HANDLER_KEY = "*\\ShellEx\\ContextMenuHandlers\\Quorvex_Kestrun";
const std::string TYPELIB_KEY = "TypeLib\\" + LIBID_TEXT;

// A string value of HKCR\key ("" for the default), or "<missing>".
std::string Value(const std::string& key, const char* pszName = NULL)
{
    char szValue[1024] = {};
    DWORD cb = sizeof(szValue) - 1;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), pszName, RRF_RT_REG_SZ, NULL, szValue, &cb) != ERROR_SUCCESS)
        return "<missing>";
    return szValue;
}

std::string ShortPath(const std::string& path)
{
    char szShort[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), szShort, MAX_PATH);
    return szShort;
}

DWORD RunSystemProgram(const std::string& program, const std::string& arguments)
{
    const std::string application = "C:\\windows\\system32\\" + program;
    CChildProcess process;
    if (!process.Start(application, "\"" + application + "\" " + arguments))
        return 0xFFFFFFFF;
    return process.Wait(60000);
}

DWORD Regsvr32(const std::string& arguments, const std::string& library)
{
    return RunSystemProgram("regsvr32.exe", arguments + " \"" + library + "\"");
}

// A copy of a library (and the stand-in it imports) in a folder of its own.
std::string CopyLibrary(const CTempDir& dir, const std::string& folder, const std::string& name,
                        const std::string& builtName)
{
    const std::string target = dir / folder;
    CreateDirectoryA(target.c_str(), NULL);
    EXPECT_TRUE(CopyFileA((ProgramDirectory() + builtName).c_str(), (target + "\\" + name).c_str(), FALSE));
    EXPECT_TRUE(CopyFileA((ProgramDirectory() + "Lorvane.dll").c_str(), (target + "\\Lorvane.dll").c_str(), FALSE));
    return target + "\\" + name;
}

class Registration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_library = ProgramDirectory() + "Kestrun_Tool.dll";
        Regsvr32("/u /s", m_library);
    }
    void TearDown() override { Regsvr32("/u /s", m_library); }

    std::string m_library;
};

} // namespace

TEST_F(Registration, WritesEveryKeyOfTheScriptAndTheTypeLibrary)
{
    ASSERT_EQ(0u, Regsvr32("/s", m_library));

    EXPECT_EQ("Quorvex_Kestrun Class", Value("Kestrun_Tool.Quorvex_Kestrun.1"));
    EXPECT_EQ(CLSID_TEXT, Value("Kestrun_Tool.Quorvex_Kestrun.1\\CLSID"));
    EXPECT_EQ("Quorvex_Kestrun Class", Value("Kestrun_Tool.Quorvex_Kestrun"));
    EXPECT_EQ(CLSID_TEXT, Value("Kestrun_Tool.Quorvex_Kestrun\\CLSID"));
    EXPECT_EQ("Kestrun_Tool.Quorvex_Kestrun.1", Value("Kestrun_Tool.Quorvex_Kestrun\\CurVer"));

    EXPECT_EQ("Quorvex_Kestrun Class", Value(CLASS_KEY));
    EXPECT_EQ("Kestrun_Tool.Quorvex_Kestrun.1", Value(CLASS_KEY + "\\ProgID"));
    EXPECT_EQ("Kestrun_Tool.Quorvex_Kestrun", Value(CLASS_KEY + "\\VersionIndependentProgID"));
    EXPECT_TRUE(KeyExists(CLASS_KEY + "\\Programmable"));
    EXPECT_EQ(ShortPath(m_library), Value(CLASS_KEY + "\\InprocServer32"));
    EXPECT_EQ("Apartment", Value(CLASS_KEY + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ(LIBID_TEXT, Value(CLASS_KEY + "\\TypeLib"));
    EXPECT_EQ(CLSID_TEXT, Value(HANDLER_KEY));

    // The type library, registered with the full path and its folder as help.
    EXPECT_EQ("Kestrun_Tool 1.0 Type Library", Value(TYPELIB_KEY + "\\1.0"));
    EXPECT_EQ(m_library, Value(TYPELIB_KEY + "\\1.0\\0\\win32"));
    EXPECT_EQ(ProgramDirectory(), Value(TYPELIB_KEY + "\\1.0\\HELPDIR"));
    EXPECT_EQ("IQuorvex_Kestrun", Value("Interface\\{" KESTRUN_IID_TEXT "}"));
}

TEST_F(Registration, UnregistrationRemovesTheClassAndKeepsSharedKeys)
{
    ASSERT_EQ(0u, Regsvr32("/s", m_library));
    ASSERT_EQ(0u, Regsvr32("/u /s", m_library));

    EXPECT_FALSE(KeyExists(CLASS_KEY));
    EXPECT_FALSE(KeyExists(HANDLER_KEY));
    EXPECT_FALSE(KeyExists(TYPELIB_KEY + "\\1.0"));
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_TRUE(KeyExists("*"));
    EXPECT_TRUE(KeyExists("*\\ShellEx"));
    EXPECT_TRUE(KeyExists("*\\ShellEx\\ContextMenuHandlers"));

    // Again, with nothing left to remove.
    EXPECT_EQ(0u, Regsvr32("/u /s", m_library));
}

TEST_F(Registration, AnApostropheInThePathIsWrittenOnce)
{
    CTempDir dir;
    const std::string library = CopyLibrary(dir, "it's", "Kestrun_Tool.dll", "Kestrun_Tool.dll");
    ASSERT_EQ(0u, Regsvr32("/s", library));
    const std::string server = Value(CLASS_KEY + "\\InprocServer32");
    EXPECT_EQ(ShortPath(library), server);
    EXPECT_NE(std::string::npos, server.find("\\it's\\"));
    EXPECT_EQ(std::string::npos, server.find("''"));
    EXPECT_EQ(0u, Regsvr32("/u /s", library));
    EXPECT_FALSE(KeyExists(CLASS_KEY));
}

TEST_F(Registration, AFolderTheCodePageCannotSpellIsRegisteredByItsTrueName)
{
    // The code page would spell A with macron as A: a folder that is not there.
    CTempDir dir;
    const std::wstring folder = std::wstring(dir.Path().begin(), dir.Path().end()) + L"\x0100\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    for (const wchar_t* pszFile : {L"Kestrun_Tool.dll", L"Lorvane.dll"}) {
        const std::string built = ProgramDirectory();
        ASSERT_TRUE(CopyFileW((std::wstring(built.begin(), built.end()) + pszFile).c_str(), (folder + pszFile).c_str(), FALSE));
    }
    const std::wstring library = folder + L"Kestrun_Tool.dll";
    const std::wstring regsvr32 = L"C:\\windows\\system32\\regsvr32.exe";
    CChildProcess registration;
    ASSERT_TRUE(registration.Start(regsvr32, L"\"" + regsvr32 + L"\" /s \"" + library + L"\""));
    ASSERT_EQ(0u, registration.Wait(60000)) << "the type library was looked for under the look-alike name";

    WCHAR wszShort[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(library.c_str(), wszShort, MAX_PATH));
    char szShort[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, wszShort, -1, szShort, MAX_PATH, NULL, NULL);
    const std::string server = Value(CLASS_KEY + "\\InprocServer32");
    EXPECT_EQ(szShort, server);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(server.c_str())) << server;

    CChildProcess unregistration;
    ASSERT_TRUE(unregistration.Start(regsvr32, L"\"" + regsvr32 + L"\" /u /s \"" + library + L"\""));
    EXPECT_EQ(0u, unregistration.Wait(60000));
    EXPECT_FALSE(KeyExists(CLASS_KEY));
}

TEST_F(Registration, WithoutTheResourceTheTypeLibraryBesideTheLibraryIsRegistered)
{
    CTempDir dir;
    const std::string library = CopyLibrary(dir, "notlb", "Kestrun_Tool_notlb.dll", "Kestrun_Tool_notlb.dll");

    // No type library anywhere: the script's keys stay, the failure is reported.
    EXPECT_EQ(5u, Regsvr32("/s", library));
    EXPECT_EQ(ShortPath(library), Value(CLASS_KEY + "\\InprocServer32"));
    EXPECT_FALSE(KeyExists(TYPELIB_KEY + "\\1.0"));

    const std::string tlb = dir / "notlb\\Kestrun_Tool_notlb.tlb";
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "Kestrun_Tool.tlb").c_str(), tlb.c_str(), FALSE));
    ASSERT_EQ(0u, Regsvr32("/s", library));
    EXPECT_EQ(tlb, Value(TYPELIB_KEY + "\\1.0\\0\\win32"));
    EXPECT_EQ(0u, Regsvr32("/u /s", library));
    EXPECT_FALSE(KeyExists(TYPELIB_KEY + "\\1.0"));
}

TEST_F(Registration, AnAutomationClientCreatesTheObjectByItsProgID)
{
    ASSERT_EQ(0u, Regsvr32("/s", m_library));
    CTempDir dir;
    const std::string script = dir / "create.vbs";
    ASSERT_TRUE(WriteTextFile(script,
                              "Set o = CreateObject(\"Kestrun_Tool.Quorvex_Kestrun\")\r\n"
                              "If IsObject(o) Then WScript.Quit 42\r\n"
                              "WScript.Quit 1\r\n"));
    EXPECT_EQ(42u, RunSystemProgram("cscript.exe", "//nologo \"" + script + "\""));

    // Unregistered, the same script cannot create it.
    ASSERT_EQ(0u, Regsvr32("/u /s", m_library));
    EXPECT_NE(42u, RunSystemProgram("cscript.exe", "//nologo \"" + script + "\""));
}
