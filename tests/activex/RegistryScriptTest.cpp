// The registry script text: replacements and parsing.
#include <gtest/gtest.h>

#include "hosts/activex/RegistryScript.h"

namespace {

TEST(RegistryScript, ReplacementsStayInsideTheirQuotes) {
    for (const wchar_t* module :
         {L"C:\\Program Files\\Pixmend.dll", L"C:\\Bob's files\\Pixmend.dll", L"C:\\''\\x'"}) {
        std::wstring text;
        ASSERT_TRUE(ExpandRegistryScript(L"HKCR { K = s '%MODULE%' { val P = s '100%%' } }",
                                         {{L"MODULE", module}}, text));
        std::vector<RegistryRoot> roots;
        ASSERT_TRUE(ParseRegistryScript(text, roots)) << text.c_str();
        ASSERT_EQ(roots.size(), 1u);
        ASSERT_EQ(roots[0].keys.size(), 1u);
        const RegistryKey& key = roots[0].keys[0];
        EXPECT_EQ(key.defaultValue.text, module);
        ASSERT_EQ(key.values.size(), 1u);
        EXPECT_EQ(key.values[0].second.text, L"100%");
    }
}

TEST(RegistryScript, UnknownReplacementFails) {
    std::wstring text;
    EXPECT_FALSE(ExpandRegistryScript(L"HKCR { '%UNKNOWN%' }", {}, text));
    EXPECT_FALSE(ExpandRegistryScript(L"HKCR { '%MODULE' }", {{L"MODULE", L"x"}}, text));
}

}  // namespace
