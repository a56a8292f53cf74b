// The script layer against the fake runtime, natively under the sanitizers:
// value conversions of untrusted script values, the references kept for the
// page, strings returned through browser memory, the page call, and which
// browser tables are used. The names themselves are driven through the DLL
// by the test browser.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "hosts/npapi/Browser.h"
#include "hosts/npapi/ScriptRefs.h"
#include "hosts/npapi/ScriptValues.h"
#include "hosts/npapi/ScriptablePluginObject.h"
#include "support/ConfigMgr.h"
#include "support/Loger.h"
#include "tests/npapi/FakeBrowser.h"

namespace {

TEST(ScriptValues, UntrustedValuesReadSafely) {
    ScriptString digits("320"), spaced(" \t-12px"), none("px"), huge("99999999999"),
        tiny("-99999999999"), longer("123");
    NPVariant cut = longer.Variant();  // "12" with more digits in memory after it
    cut.value.stringValue.UTF8Length = 2;
    const struct {
        NPVariant value;
        int32_t integer;
        bool flag;
        const char* text;   // ScriptText
        const char* field;  // ScriptFieldValue, null when refused
    } cases[] = {
        {IntVariant(-7), -7, true, "", "-7"},
        {IntVariant(256), 256, false, "", "256"},
        {IntVariant(INT32_MIN), INT32_MIN, false, "", "-2147483648"},
        {DoubleVariant(320.9), 320, true, "", nullptr},
        {DoubleVariant(-2.9), -2, true, "", nullptr},
        {DoubleVariant(1e10), INT32_MAX, true, "", nullptr},
        {DoubleVariant(-1e10), INT32_MIN, true, "", nullptr},
        {DoubleVariant(std::nan("")), 0, false, "", nullptr},
        {DoubleVariant(INFINITY), INT32_MAX, true, "", nullptr},
        {digits.Variant(), 320, false, "320", "320"},
        {spaced.Variant(), -12, false, " \t-12px", " \t-12px"},
        {none.Variant(), 0, false, "px", "px"},
        {huge.Variant(), INT32_MAX, false, "99999999999", "99999999999"},
        {tiny.Variant(), INT32_MIN, false, "-99999999999", "-99999999999"},
        {cut, 12, false, "12", "12"},
        {BoolVariant(true), 0, true, "", nullptr},
        {BoolVariant(false), 0, false, "", nullptr},
        {NullVariant(), 0, false, "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.value.type << " case " << (&c - cases));
        EXPECT_EQ(ScriptInteger(c.value), c.integer);
        EXPECT_EQ(ScriptFlag(c.value), c.flag);
        EXPECT_EQ(ScriptText(c.value), c.text);
        EXPECT_EQ(ScriptObject(c.value), nullptr);
        std::string field = "unchanged";
        EXPECT_EQ(ScriptFieldValue(c.value, &field), c.field != nullptr);
        EXPECT_EQ(field, c.field ? c.field : "unchanged");
    }
}

// Keeps what script stores in plain values.
struct Owner : ScriptOwner {
    ScriptRefs refs;
    std::string response;
    int quality = 0;
    void SetPostUrl(const std::string&) override {}
    void SetCharset(const std::string&) override {}
    void SetClipWidth(int32_t) override {}
    void SetClipHeight(int32_t) override {}
    void SetImageType(const std::string&) override {}
    void SetJpegQuality(int q) override { quality = q; }
    void AddField(const std::string&, const std::string&) override {}
    void ClearFields() override {}
    std::string GetResponse() const override { return response; }
    ScriptRefs& Refs() override { return refs; }
};

class ScriptObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        Browser::SetFuncs(&browser_.funcs);
        RefreshScriptIds();
        object_ = Browser::CreateObject(&npp_, ScriptablePluginObject::Class());
        ASSERT_NE(ScriptablePluginObject::From(object_), nullptr);
        ScriptablePluginObject::From(object_)->SetOwner(&owner_);
    }
    void TearDown() override {
        for (ScriptRef* r : {&owner_.refs.callbackArgument, &owner_.refs.onComplete,
                             &owner_.refs.onError})
            r->Reset(nullptr);
        Browser::ReleaseObject(object_);
        EXPECT_EQ(browser_.LiveObjects(), 0u) << "a reference was not released";
        EXPECT_EQ(browser_.OutstandingMemory(), 0u);
        EXPECT_EQ(browser_.misuse, 0);
        Browser::SetFuncs(nullptr);
    }
    bool Set(const char* name, NPVariant value) {
        return object_->_class->setProperty(object_, browser_.Id(name), &value);
    }
    bool Get(const char* name, NPVariant* result) {
        VOID_TO_NPVARIANT(*result);
        return object_->_class->getProperty(object_, browser_.Id(name), result);
    }

    FakeBrowser browser_;
    NPP_t npp_ = {};
    Owner owner_;
    NPObject* object_ = nullptr;
};

TEST_F(ScriptObjectTest, StoredObjectsHoldOneReferenceEach) {
    NPObject* a = browser_.NewPageObject();
    NPObject* b = browser_.NewPageObject();
    NPVariant read;
    ASSERT_TRUE(Get("Object", &read));
    EXPECT_EQ(read.type, NPVariantType_Null);
    for (const char* name : {"Object", "OnComplete", "OnError"}) {
        EXPECT_TRUE(Set(name, ObjectVariant(a)));
        EXPECT_TRUE(Set(name, ObjectVariant(a)));  // storing it again keeps one
    }
    EXPECT_EQ(browser_.RefCount(a), 4u);
    EXPECT_TRUE(Set("Object", ObjectVariant(b)));
    EXPECT_EQ(browser_.RefCount(a), 3u);
    ASSERT_TRUE(Get("Object", &read));
    EXPECT_EQ(read.value.objectValue, b);
    EXPECT_EQ(browser_.RefCount(b), 3u);  // the reader's reference
    browser_.Release(read);
    // A value that is not an object clears the slot instead of becoming one.
    EXPECT_TRUE(Set("OnError", IntVariant(12345)));
    EXPECT_TRUE(Set("Object", ScriptString("b").Variant()));
    EXPECT_EQ(owner_.refs.onError.Get(), nullptr);
    EXPECT_EQ(owner_.refs.callbackArgument.Get(), nullptr);
    EXPECT_EQ(browser_.RefCount(a), 2u);
    EXPECT_EQ(browser_.RefCount(b), 1u);
    browser_.Drop(a);
    browser_.Drop(b);
}

TEST_F(ScriptObjectTest, StringsAndNumbersReturnedSafely) {
    owner_.response = std::string("ok\0tail", 7);
    NPVariant result;
    ASSERT_TRUE(Get("Response", &result));
    EXPECT_EQ(VariantText(result), "ok");  // up to the first zero byte
    browser_.Release(result);
    EXPECT_TRUE(Set("JpegQuality", IntVariant(100000)));
    EXPECT_EQ(owner_.quality, 100000);
    EXPECT_EQ(ConfigMgr::Instance().GetJpegQuality(), INT16_MAX);
    browser_.failMemAlloc = true;
    EXPECT_FALSE(Get("Version", &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
    EXPECT_FALSE(object_->_class->invokeDefault(object_, nullptr, 0, &result));
}

TEST_F(ScriptObjectTest, ProcessWideValuesGoToTheirHolders) {
    ScriptString log("c:\\px.log"), folder("D:\\pictures");
    EXPECT_TRUE(Set("Debug", IntVariant(1)));
    EXPECT_TRUE(Set("LogFile", log.Variant()));
    EXPECT_TRUE(Set("Watermark", BoolVariant(true)));
    EXPECT_TRUE(Set("DefaultFolder", folder.Variant()));
    EXPECT_EQ(Loger::Instance().GetLog().IsEnabled(), 1);
    EXPECT_EQ(Loger::Instance().GetLogFile(), "c:\\px.log");
    EXPECT_TRUE(ConfigMgr::Instance().GetWatermark());
    EXPECT_EQ(ConfigMgr::Instance().GetDefaultFolder(), "D:\\pictures");
}

TEST_F(ScriptObjectTest, PageCallHoldsFunctionAndArgumentAcrossTheCall) {
    NPObject* function = browser_.NewPageObject();
    NPObject* argument = browser_.NewPageObject();
    EXPECT_TRUE(Set("OnComplete", ObjectVariant(function)));
    EXPECT_TRUE(Set("Object", ObjectVariant(argument)));
    browser_.Drop(function);  // the plug-in holds the only references now
    browser_.Drop(argument);
    browser_.onPageCall = [&](NPObject*) {  // the page replaces both from inside
        EXPECT_TRUE(Set("OnComplete", NullVariant()));
        EXPECT_TRUE(Set("Object", NullVariant()));
    };
    CallPageFunction(&npp_, owner_.refs, UploadOutcome::Complete);
    ASSERT_EQ(browser_.pageCalls.size(), 1u);
    EXPECT_EQ(browser_.pageCalls[0].argCount, 1u);
    EXPECT_EQ(browser_.pageCalls[0].argObject, argument);
    EXPECT_EQ(browser_.LiveObjects(), 1u);  // only the script object is left

    // No function stored: nothing is called. A failed call's result is not
    // released (the fake counts a free of memory it did not hand out).
    CallPageFunction(&npp_, owner_.refs, UploadOutcome::Complete);
    NPObject* onError = browser_.NewPageObject();
    EXPECT_TRUE(Set("OnError", ObjectVariant(onError)));
    browser_.onPageCall = nullptr;
    browser_.pageCallFails = true;
    CallPageFunction(&npp_, owner_.refs, UploadOutcome::Error);
    ASSERT_EQ(browser_.pageCalls.size(), 2u);
    EXPECT_EQ(browser_.pageCalls[1].function, onError);
    EXPECT_EQ(browser_.pageCalls[1].argType, NPVariantType_Null);
    browser_.Drop(onError);
}

TEST(BrowserTable, EntriesAreUsedOnlyWhenTheTableHasThem) {
    FakeBrowser browser;
    const struct {
        uint16_t version;
        std::size_t size;
        bool scripting, async;
    } cases[] = {
        {27, sizeof(NPNetscapeFuncs), true, true},
        {19, offsetof(NPNetscapeFuncs, construct), true, true},
        {18, sizeof(NPNetscapeFuncs), true, false},
        {19, offsetof(NPNetscapeFuncs, pluginthreadasynccall), true, false},
        {13, sizeof(NPNetscapeFuncs), false, false},
        {14, offsetof(NPNetscapeFuncs, releasevariantvalue), false, false},
    };
    int ran = 0;
    for (const auto& c : cases) {
        browser.funcs.version = c.version;
        browser.funcs.size = static_cast<uint16_t>(c.size);
        Browser::SetFuncs(&browser.funcs);
        EXPECT_EQ(Browser::HasScripting(), c.scripting) << c.version << "/" << c.size;
        EXPECT_EQ(Browser::GetStringIdentifier("x") != nullptr, c.scripting);
        EXPECT_EQ(Browser::PluginThreadAsyncCall(
                      nullptr, [](void* n) { ++*static_cast<int*>(n); }, &ran),
                  c.async);
    }
    EXPECT_EQ(browser.RunAsyncCalls(), 2u);
    EXPECT_EQ(ran, 2);
    Browser::SetFuncs(nullptr);
    EXPECT_FALSE(Browser::HasScripting());
    EXPECT_EQ(Browser::MemAlloc(4), nullptr);
}

}  // namespace
