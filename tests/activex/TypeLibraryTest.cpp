// The type library inside the DLL as script hosts and registration read it,
// and the help-string bytes it stores. The suite runs with LANG=zh_CN.UTF-8,
// so readers decode the help strings in code page 936 as on a Chinese system.
#include <string>

#include "tests/activex/PixmendDll.h"

namespace {

struct Member {
    const wchar_t* name;
    DISPID id;
    INVOKEKIND kind;
    short params;
};

// v-table order after IDispatch's seven slots.
const Member kMembers[] = {
    {L"BackColor", -501, INVOKE_PROPERTYPUT, 1},   {L"BackColor", -501, INVOKE_PROPERTYGET, 1},
    {L"FillColor", -510, INVOKE_PROPERTYPUT, 1},   {L"FillColor", -510, INVOKE_PROPERTYGET, 1},
    {L"AddField", 1, INVOKE_FUNC, 2},              {L"ClearFields", 2, INVOKE_FUNC, 0},
    {L"OpenFile", 15, INVOKE_FUNC, 1},             {L"FireComplete", 16, INVOKE_FUNC, 0},
    {L"FireError", 17, INVOKE_FUNC, 0},            {L"PostUrl", 3, INVOKE_PROPERTYPUT, 1},
    {L"FileFieldName", 6, INVOKE_PROPERTYPUT, 1},  {L"Object", 8, INVOKE_PROPERTYPUT, 1},
    {L"ImageType", 9, INVOKE_PROPERTYPUT, 1},      {L"JpgQuality", 7, INVOKE_PROPERTYPUT, 1},
    {L"ClipWidth", 10, INVOKE_PROPERTYPUT, 1},     {L"ClipHeight", 18, INVOKE_PROPERTYPUT, 1},
    {L"OnComplete", 11, INVOKE_PROPERTYPUT, 1},    {L"OnError", 12, INVOKE_PROPERTYPUT, 1},
    {L"Version", 13, INVOKE_PROPERTYGET, 1},       {L"Response", 14, INVOKE_PROPERTYGET, 1},
};

std::wstring Take(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return out;
}

// The help text and, behind its 16-bit length, its code page 936 bytes as
// the library's string table holds them.
std::string Stored(const std::wstring& text) {
    char bytes[256];
    const int n = WideCharToMultiByte(936, 0, text.c_str(), int(text.size()), bytes, 256, nullptr, nullptr);
    return std::string(1, char(n)) + '\0' + std::string(bytes, n);
}

class TypeLibraryTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        wchar_t path[MAX_PATH];
        ASSERT_NE(GetModuleFileNameW(dll.module, path, MAX_PATH), 0u);
        ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
        HRSRC found = FindResourceW(dll.module, MAKEINTRESOURCEW(1), L"TYPELIB");
        ASSERT_NE(found, nullptr);
        bytes.assign(static_cast<const char*>(LockResource(LoadResource(dll.module, found))),
                     SizeofResource(dll.module, found));
        ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8";
    }
    void TearDown() override {
        if (library != nullptr) library->Release();
        ComTest::TearDown();
    }
    // Name and help text of one member (MEMBERID_NIL: the type itself).
    void ExpectDoc(ITypeInfo* info, MEMBERID id, const std::wstring& name, const std::wstring& help) {
        BSTR n = nullptr, h = nullptr;
        ASSERT_EQ(info->GetDocumentation(id, &n, &h, nullptr, nullptr), S_OK) << id;
        EXPECT_EQ(Take(n), name);
        EXPECT_EQ(Take(h), help);
        EXPECT_NE(bytes.find(Stored(help)), std::string::npos) << id;
    }
    ITypeLib* library = nullptr;
    std::string bytes;  // the "TYPELIB" resource
};

TEST_F(TypeLibraryTest, LibraryAndClass) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_PixmendAppLib);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->wMajorVerNum * 100 + attr->wMinorVerNum, 100);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(name), L"PixmendAppLib");
    EXPECT_EQ(Take(help), L"PixmendApp 1.0 \u7C7B\u578B\u5E93");

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Pixmend, &coclass), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_EQ(ta->wTypeFlags, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    EXPECT_EQ(ta->cImplTypes, 1);
    coclass->ReleaseTypeAttr(ta);
    int implFlags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    ExpectDoc(coclass, MEMBERID_NIL, L"Pixmend", L"Pixmend Class");
    coclass->Release();
    // The parameter types of the callback members are described too.
    for (const IID* iid : {&IID_IDispatchEx, &IID_IServiceProvider}) {
        ITypeInfo* info = nullptr;
        EXPECT_EQ(library->GetTypeInfoOfGuid(*iid, &info), S_OK);
        if (info != nullptr) info->Release();
    }
}

TEST_F(TypeLibraryTest, MembersInOrder) {
    // A dual interface: its v-table half is the implemented type -1.
    ITypeInfo* dispatch = nullptr;
    ITypeInfo* info = nullptr;
    HREFTYPE ref = 0;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPixmend, &dispatch), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &info), S_OK);
    dispatch->Release();
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_INTERFACE);
    EXPECT_EQ(ta->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE,
              TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION);
    ASSERT_EQ(ta->cFuncs, WORD(sizeof kMembers / sizeof kMembers[0]));
    info->ReleaseTypeAttr(ta);
    ExpectDoc(info, MEMBERID_NIL, L"IPixmend", L"IPixmend \u63A5\u53E3");

    for (UINT i = 0; i < sizeof kMembers / sizeof kMembers[0]; ++i) {
        const Member& m = kMembers[i];
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &fd), S_OK);
        EXPECT_EQ(fd->memid, m.id) << i;
        EXPECT_EQ(fd->invkind, m.kind) << i;
        EXPECT_EQ(fd->cParams, m.params) << i;
        EXPECT_EQ(fd->oVft, short((7 + i) * sizeof(void*))) << i;
        info->ReleaseFuncDesc(fd);
        // 方法 before method names (with a blank, except for AddField), 属性
        // and a blank before property names.
        const std::wstring name = m.name;
        const std::wstring help = m.kind != INVOKE_FUNC ? L"\u5C5E\u6027 " + name
                                  : name == L"AddField"  ? L"\u65B9\u6CD5" + name
                                                         : L"\u65B9\u6CD5 " + name;
        ExpectDoc(info, m.id, name, help);
    }
    info->Release();
}

}  // namespace
