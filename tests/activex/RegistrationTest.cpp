// regsvr32 of the 64-bit DLL in the suite's private Wine prefix, then the
// registry as a client finds it: per machine, per user, and after removal.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "hosts/activex/Pixmend.h"

namespace {

const wchar_t kClsid[] = L"{E6922CFB-1FCF-46C6-9831-35E271B46399}";
const wchar_t kIid[] = L"{F761B5D3-268C-4075-B8F7-1DD853471807}";
const wchar_t kLibid[] = L"{EB7E5176-0709-4338-AB4E-30F6EE3D9F24}";
const wchar_t kAppId[] = L"{2EE1A098-89D9-4258-A4EF-26C7E460BB31}";

std::wstring DllPath() {
    std::string narrow = PIXMEND_DLL;
    std::replace(narrow.begin(), narrow.end(), '/', '\\');
    return std::wstring(narrow.begin(), narrow.end());
}

// Runs regsvr32 with the arguments and the DLL; its exit status.
DWORD Regsvr32(const std::wstring& args) {
    std::wstring line = L"regsvr32.exe /s " + args + L" \"" + DllPath() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// Classes roots: the machine's and the current user's.
const wchar_t kMachine[] = L"Software\\Classes\\";
HKEY RootOf(bool user) { return user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

bool KeyExists(bool user, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootOf(user), (kMachine + path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A text value, or "<missing>".
std::wstring Value(bool user, const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t data[1024];
    DWORD size = sizeof data;
    if (RegGetValueW(RootOf(user), (kMachine + path).c_str(), name, RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

std::set<std::wstring> Subkeys(bool user, const std::wstring& path) {
    std::set<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootOf(user), (kMachine + path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.insert(name);
    }
    RegCloseKey(key);
    return names;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// Everything a registration writes, under one classes root.
void ExpectRegistered(bool user) {
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;
    EXPECT_EQ(Subkeys(user, cls),
              (std::set<std::wstring>{L"Control", L"InprocServer32", L"MiscStatus", L"ProgID",
                                      L"Programmable", L"ToolboxBitmap32", L"TypeLib", L"Version",
                                      L"VersionIndependentProgID"}));
    EXPECT_EQ(Value(user, cls), L"Pixmend Class");
    EXPECT_EQ(Value(user, cls, L"AppID"), kAppId);
    EXPECT_EQ(Value(user, cls + L"\\ProgID"), L"Corvane.Pixmend.1");
    EXPECT_EQ(Value(user, cls + L"\\VersionIndependentProgID"), L"Corvane.Pixmend");
    EXPECT_TRUE(SamePath(Value(user, cls + L"\\InprocServer32"), DllPath()));
    EXPECT_EQ(Value(user, cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_TRUE(SamePath(Value(user, cls + L"\\ToolboxBitmap32"), DllPath() + L", 103"));
    EXPECT_EQ(Value(user, cls + L"\\MiscStatus"), L"0");
    EXPECT_EQ(Value(user, cls + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(Value(user, cls + L"\\TypeLib"), kLibid);
    EXPECT_EQ(Value(user, cls + L"\\Version"), L"1.0");
    EXPECT_EQ(Subkeys(user, cls + L"\\Programmable").size(), 0u);

    EXPECT_EQ(Value(user, L"Corvane.Pixmend.1"), L"Pixmend Class");
    EXPECT_EQ(Value(user, L"Corvane.Pixmend.1\\CLSID"), kClsid);
    EXPECT_EQ(Value(user, L"Corvane.Pixmend"), L"Pixmend Class");
    EXPECT_EQ(Value(user, L"Corvane.Pixmend\\CLSID"), kClsid);
    EXPECT_EQ(Value(user, L"Corvane.Pixmend\\CurVer"), L"Corvane.Pixmend.1");

    EXPECT_EQ(Value(user, std::wstring(L"AppID\\") + kAppId), L"Pixmend");
    EXPECT_EQ(Value(user, L"AppID\\Pixmend.DLL", L"AppID"), kAppId);

    const wchar_t* arch = sizeof(void*) == 8 ? L"win64" : L"win32";
    EXPECT_TRUE(SamePath(Value(user, std::wstring(L"TypeLib\\") + kLibid + L"\\1.0\\409\\" + arch),
                         DllPath()));
    // The proxy/stub: its class id is the interface id, served by this DLL.
    const std::wstring itf = std::wstring(L"Interface\\") + kIid;
    EXPECT_EQ(Value(user, itf + L"\\ProxyStubClsid32"), kIid);
    EXPECT_TRUE(SamePath(Value(user, std::wstring(L"CLSID\\") + kIid + L"\\InprocServer32"), DllPath()));
}

void ExpectRemoved(bool user) {
    for (const std::wstring& key :
         {std::wstring(L"CLSID\\") + kClsid, std::wstring(L"CLSID\\") + kIid,
          std::wstring(L"Corvane.Pixmend.1"), std::wstring(L"Corvane.Pixmend"),
          std::wstring(L"AppID\\") + kAppId, std::wstring(L"AppID\\Pixmend.DLL"),
          std::wstring(L"TypeLib\\") + kLibid, std::wstring(L"Interface\\") + kIid})
        EXPECT_FALSE(KeyExists(user, key)) << std::string(key.begin(), key.end());
    // The parents are shared with every other server: kept.
    EXPECT_TRUE(KeyExists(user, L"CLSID"));
    EXPECT_TRUE(KeyExists(user, L"AppID"));
}

// A worker apartment's calls through the proxy of IPixmend.
struct ProxyCalls {
    IStream* stream = nullptr;  // the marshalled control
    HRESULT version = E_FAIL, names = E_FAIL;
    std::wstring versionText;

    static DWORD WINAPI Run(void* self) {
        ProxyCalls& calls = *static_cast<ProxyCalls*>(self);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IPixmend* proxy = nullptr;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(calls.stream, IID_IPixmend,
                                                     reinterpret_cast<void**>(&proxy)))) {
            BSTR text = nullptr;
            calls.version = proxy->get_Version(&text);
            calls.versionText = text != nullptr ? text : L"";
            SysFreeString(text);
            DISPID id = 0;
            LPOLESTR name = const_cast<LPOLESTR>(L"response");
            calls.names = proxy->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
            if (id != 14) calls.names = E_FAIL;
            proxy->Release();
        }
        CoUninitialize();
        return 0;
    }
};

// Registered, the control is reached from another apartment through the
// proxy/stub built into the DLL (IDispatch's part included).
void ExpectCallsThroughTheProxy() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IPixmend* control = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Pixmend, nullptr, CLSCTX_INPROC_SERVER, IID_IPixmend,
                               reinterpret_cast<void**>(&control)), S_OK);
    ProxyCalls calls;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IPixmend, control, &calls.stream), S_OK);
    HANDLE worker = CreateThread(nullptr, 0, &ProxyCalls::Run, &calls, 0, nullptr);
    DWORD index = 0;  // the worker's calls run here: keep answering them
    CoWaitForMultipleHandles(0, 30000, 1, &worker, &index);
    CloseHandle(worker);
    control->Release();
    CoUninitialize();
    EXPECT_EQ(calls.version, S_OK);
    EXPECT_EQ(calls.versionText, L"1,0,3,20662");
    EXPECT_EQ(calls.names, S_OK);
}

class Registration : public ::testing::Test {
protected:
    // Starts from nothing registered, whatever an earlier run left.
    void SetUp() override {
        Regsvr32(L"/u /n /i:user");
        Regsvr32(L"/u");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Registration, PerMachineAndRemoval) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(false);
    EXPECT_FALSE(KeyExists(true, std::wstring(L"CLSID\\") + kClsid));
    // Registering again replaces the class key whole, nested subkeys included.
    const std::wstring stale = kMachine + std::wstring(L"CLSID\\") + kClsid + L"\\Stale";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (stale + L"\\Deeper").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(false);
    ExpectCallsThroughTheProxy();
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectRemoved(false);
    // The library describes IDispatchEx, but registering it must not take
    // over (or, on removal, delete) the system's marshalling of it.
    EXPECT_EQ(Value(false, L"Interface\\{A6EF9860-C720-11D0-9337-00A0C90DCAA9}\\ProxyStubClsid32"),
              L"{10E2414A-EC59-49D2-BC51-5ADD2C36FEBC}");
}

// DllInstall's "user" is the whole command line in any letter case.
TEST_F(Registration, PerUserOnlyForTheWordUser) {
    const struct {
        const wchar_t* commandLine;
        bool user;
    } cases[] = {{L"user", true}, {L"USER", true}, {L"users", false}, {L"\"user \"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("command line ") + std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)));
        ASSERT_EQ(Regsvr32(std::wstring(L"/n /i:") + c.commandLine), 0u);
        ExpectRegistered(c.user);
        EXPECT_FALSE(KeyExists(!c.user, std::wstring(L"CLSID\\") + kClsid));
        ASSERT_EQ(Regsvr32(std::wstring(L"/u /n /i:") + c.commandLine), 0u);
        ExpectRemoved(c.user);
    }
}

}  // namespace
