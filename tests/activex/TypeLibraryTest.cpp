// The type library inside the DLL, as script hosts and registration read it,
// and the help-string bytes it stores.
#include <string>
#include <vector>

#include "tests/activex/PixmendDll.h"

namespace {

// Code page 936 bytes of the help strings.
const char kMethod[] = "\xB7\xBD\xB7\xA8";      // 方法
const char kProperty[] = "\xCA\xF4\xD0\xD4 ";   // 属性 + blank

struct Member {
    const char* name;
    DISPID id;
    INVOKEKIND kind;
    short params;
};

// v-table order after IDispatch's seven slots.
const Member kMembers[] = {
    {"BackColor", -501, INVOKE_PROPERTYPUT, 1},   {"BackColor", -501, INVOKE_PROPERTYGET, 1},
    {"FillColor", -510, INVOKE_PROPERTYPUT, 1},   {"FillColor", -510, INVOKE_PROPERTYGET, 1},
    {"AddField", 1, INVOKE_FUNC, 2},              {"ClearFields", 2, INVOKE_FUNC, 0},
    {"OpenFile", 15, INVOKE_FUNC, 1},             {"FireComplete", 16, INVOKE_FUNC, 0},
    {"FireError", 17, INVOKE_FUNC, 0},            {"PostUrl", 3, INVOKE_PROPERTYPUT, 1},
    {"FileFieldName", 6, INVOKE_PROPERTYPUT, 1},  {"Object", 8, INVOKE_PROPERTYPUT, 1},
    {"ImageType", 9, INVOKE_PROPERTYPUT, 1},      {"JpgQuality", 7, INVOKE_PROPERTYPUT, 1},
    {"ClipWidth", 10, INVOKE_PROPERTYPUT, 1},     {"ClipHeight", 18, INVOKE_PROPERTYPUT, 1},
    {"OnComplete", 11, INVOKE_PROPERTYPUT, 1},    {"OnError", 12, INVOKE_PROPERTYPUT, 1},
    {"Version", 13, INVOKE_PROPERTYGET, 1},       {"Response", 14, INVOKE_PROPERTYGET, 1},
};

std::string HelpBytes(const Member& m) {
    if (m.kind != INVOKE_FUNC) return std::string(kProperty) + m.name;
    // Every method but AddField has a blank after the word.
    return std::string(kMethod) + (std::string(m.name) == "AddField" ? "" : " ") + m.name;
}

std::wstring Wide(const std::string& bytes, UINT codePage) {
    std::wstring out(bytes.size(), L'\0');
    out.resize(MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), &out[0],
                                   int(out.size())));
    return out;
}

std::wstring Take(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return out;
}

class TypeLibraryTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        wchar_t path[MAX_PATH];
        ASSERT_NE(GetModuleFileNameW(dll.module, path, MAX_PATH), 0u);
        ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
    }
    void TearDown() override {
        if (library != nullptr) library->Release();
        ComTest::TearDown();
    }
    ITypeLib* library = nullptr;
};

TEST_F(TypeLibraryTest, LibraryAndClass) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_PixmendAppLib);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(name), L"PixmendAppLib");
    EXPECT_EQ(Take(help), Wide("PixmendApp 1.0 \xC0\xE0\xD0\xCD\xBF\xE2", CP_ACP));

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Pixmend, &coclass), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL),
              TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    EXPECT_EQ(ta->cImplTypes, 1);
    coclass->ReleaseTypeAttr(ta);
    int implFlags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    BSTR className = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &className, &help, nullptr, nullptr);
    EXPECT_EQ(Take(className), L"Pixmend");
    EXPECT_EQ(Take(help), L"Pixmend Class");
    coclass->Release();

    // The parameter types of the callback members are described too.
    for (const IID* iid : {&IID_IDispatchEx, &IID_IServiceProvider}) {
        ITypeInfo* info = nullptr;
        EXPECT_EQ(library->GetTypeInfoOfGuid(*iid, &info), S_OK);
        if (info != nullptr) info->Release();
    }
}

TEST_F(TypeLibraryTest, MembersInOrder) {
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPixmend, &dispatch), S_OK);
    // A dual interface: the v-table half is the implemented type -1.
    HREFTYPE ref = 0;
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &info), S_OK);
    dispatch->Release();

    TYPEATTR* ta = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_INTERFACE);
    const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
    EXPECT_EQ(ta->wTypeFlags & flags, flags);
    ASSERT_EQ(ta->cFuncs, WORD(sizeof kMembers / sizeof kMembers[0]));
    info->ReleaseTypeAttr(ta);
    BSTR help = nullptr;
    info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_EQ(Take(help), Wide("IPixmend \xBD\xD3\xBF\xDA", CP_ACP));

    short previousSlot = -1;
    for (UINT i = 0; i < sizeof kMembers / sizeof kMembers[0]; ++i) {
        const Member& m = kMembers[i];
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &fd), S_OK);
        EXPECT_EQ(fd->memid, m.id) << m.name;
        EXPECT_EQ(fd->invkind, m.kind) << m.name;
        EXPECT_EQ(fd->cParams, m.params) << m.name;
        EXPECT_GT(fd->oVft, previousSlot) << m.name;
        EXPECT_EQ(fd->oVft, short((7 + i) * sizeof(void*))) << m.name;
        previousSlot = fd->oVft;
        BSTR name = nullptr;
        EXPECT_EQ(info->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Take(name), Wide(m.name, CP_ACP));
        info->ReleaseFuncDesc(fd);
    }
    info->Release();
}

// Help strings are stored as code page 936 bytes, each behind its 16-bit
// length in the library's string table, and a reader decodes them in the
// ANSI code page: under the Chinese code page (the suite runs with
// LANG=zh_CN.UTF-8) script hosts show the Chinese text.
TEST_F(TypeLibraryTest, HelpStringBytes) {
    HRSRC found = FindResourceW(dll.module, MAKEINTRESOURCEW(1), L"TYPELIB");
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(dll.module, found)));
    const std::string tlb(bytes, SizeofResource(dll.module, found));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPixmend, &info), S_OK);
    for (const Member& m : kMembers) {
        const std::string expected = HelpBytes(m);
        const char length[2] = {char(expected.size()), 0};
        EXPECT_NE(tlb.find(std::string(length, 2) + expected), std::string::npos) << m.name;
        BSTR help = nullptr;
        ASSERT_EQ(info->GetDocumentation(m.id, nullptr, &help, nullptr, nullptr), S_OK) << m.name;
        EXPECT_EQ(Take(help), Wide(expected, 936)) << m.name;
    }
    ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8";
    BSTR help = nullptr;
    ASSERT_EQ(info->GetDocumentation(2, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(help), L"\u65B9\u6CD5 ClearFields");
    ASSERT_EQ(info->GetDocumentation(-501, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(help), L"\u5C5E\u6027 BackColor");
    info->Release();
}

}  // namespace
