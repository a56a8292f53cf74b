// The registry script text: replacements and parsing.
#include <gtest/gtest.h>

#include "hosts/activex/RegistryScript.h"

namespace {

TEST(RegistryScript, ReplacementsStayInsideTheirQuotes) {
    const struct {
        const wchar_t* module;
    } cases[] = {{L"C:\\Program Files\\Pixmend.dll"}, {L"C:\\Bob's files\\Pixmend.dll"},
                 {L"C:\\''\\x'"}};
    for (const auto& c : cases) {
        std::wstring text;
        ASSERT_TRUE(ExpandRegistryScript(L"HKCR { K = s '%MODULE%' { val P = s '100%%' } }",
                                         {{L"MODULE", c.module}}, text));
        std::vector<RegistryRoot> roots;
        ASSERT_TRUE(ParseRegistryScript(text, roots)) << text.c_str();
        ASSERT_EQ(roots.size(), 1u);
        ASSERT_EQ(roots[0].keys.size(), 1u);
        const RegistryKey& key = roots[0].keys[0];
        EXPECT_EQ(key.defaultValue.text, c.module);
        ASSERT_EQ(key.values.size(), 1u);
        EXPECT_EQ(key.values[0].second.text, L"100%");
    }
}

TEST(RegistryScript, BadTextFails) {
    std::wstring text;
    EXPECT_FALSE(ExpandRegistryScript(L"HKCR { '%UNKNOWN%' }", {}, text));
    EXPECT_FALSE(ExpandRegistryScript(L"HKCR { '%MODULE' }", {{L"MODULE", L"x"}}, text));
    std::wstring deep = L"HKCR {";
    for (int i = 0; i < 40; ++i) deep += L" k {";
    for (int i = 0; i < 40; ++i) deep += L" }";
    deep += L" }";
    const wchar_t* bad[] = {L"HKCR { 'open }", L"HKCR { K = s 'x' ", L"HKCR { K = q 'x' }",
                            L"HKCR { K = d 'twelve' }", L"{ K }", L"HKCR { ForceRemove }",
                            deep.c_str()};
    for (const wchar_t* script : bad) {
        std::vector<RegistryRoot> roots;
        EXPECT_FALSE(ParseRegistryScript(script, roots)) << std::wstring(script).c_str();
    }
}

}  // namespace
