// The scriptable object as a browser drives it, through its NPClass, against
// the fake runtime: every name with every value type, the references it
// keeps, the strings it returns, and the browser tables it refuses to use.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor/EditorSettings.h"
#include "hosts/npapi/Browser.h"
#include "hosts/npapi/ScriptRefs.h"
#include "hosts/npapi/ScriptValues.h"
#include "hosts/npapi/ScriptablePluginObject.h"
#include "support/ConfigMgr.h"
#include "support/Loger.h"
#include "tests/npapi/FakeBrowser.h"

namespace {

// Stores what script sets, as plain settings.
struct Owner : ScriptOwner {
    EditorSettings settings;
    ScriptRefs refs;
    int clipHeightCalls = 0;
    void SetPostUrl(const std::string& url) override { settings.postUrl = url; }
    void SetCharset(const std::string& charset) override { settings.charset = charset; }
    void SetClipWidth(int32_t width) override { settings.clipWidth = width; }
    void SetClipHeight(int32_t height) override {
        settings.clipHeight = height;
        ++clipHeightCalls;
    }
    void SetImageType(const std::string& type) override { settings.imageType = type; }
    void SetJpegQuality(int quality) override { settings.jpegQuality = quality; }
    void AddField(const std::string& name, const std::string& value) override {
        settings.fields.Set(name, value);
    }
    void ClearFields() override { settings.fields.Clear(); }
    std::string GetResponse() const override { return settings.response; }
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
        owner_.refs.callbackArgument.Reset(nullptr);
        owner_.refs.onComplete.Reset(nullptr);
        owner_.refs.onError.Reset(nullptr);
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
    std::string GetText(const char* name) {
        NPVariant result;
        if (!Get(name, &result)) return "<failed>";
        std::string text = VariantText(result);
        browser_.Release(result);
        return text;
    }
    bool Call(const char* name, std::vector<NPVariant> args) {
        NPVariant result;
        VOID_TO_NPVARIANT(result);
        const bool ok = object_->_class->invoke(object_, browser_.Id(name), args.data(),
                                                static_cast<uint32_t>(args.size()), &result);
        EXPECT_EQ(result.type, NPVariantType_Void) << name << " returns no value";
        return ok;
    }

    FakeBrowser browser_;
    NPP_t npp_ = {};
    Owner owner_;
    NPObject* object_ = nullptr;
};

const char* const kProperties[] = {"Object", "Debug", "LogFile", "Response", "PostUrl",
                                   "EncodeType", "JpegQuality", "ClipWidth", "ClipHeight",
                                   "ImageUploadType", "Watermark", "DefaultFolder", "OnError",
                                   "OnComplete", "Version"};

TEST_F(ScriptObjectTest, AnswersExactlyItsNames) {
    for (const char* name : kProperties) {
        EXPECT_TRUE(object_->_class->hasProperty(object_, browser_.Id(name))) << name;
        EXPECT_FALSE(object_->_class->hasMethod(object_, browser_.Id(name))) << name;
    }
    for (const char* name : {"AddField", "ClearFields"}) {
        EXPECT_TRUE(object_->_class->hasMethod(object_, browser_.Id(name))) << name;
        EXPECT_FALSE(object_->_class->hasProperty(object_, browser_.Id(name))) << name;
    }
    for (const char* name : {"object", "postUrl", "addField", "", "toString"}) {
        EXPECT_FALSE(object_->_class->hasProperty(object_, browser_.Id(name))) << name;
        EXPECT_FALSE(object_->_class->hasMethod(object_, browser_.Id(name))) << name;
        NPVariant v = IntVariant(1);
        EXPECT_FALSE(Set(name, v)) << name;
        EXPECT_FALSE(Get(name, &v)) << name;
        EXPECT_FALSE(Call(name, {})) << name;
    }
    NPVariant v;
    EXPECT_FALSE(object_->_class->removeProperty(object_, browser_.Id("PostUrl")));
    EXPECT_FALSE(object_->_class->construct(object_, nullptr, 0, &v));
    NPIdentifier* ids = nullptr;
    uint32_t count = 0;
    EXPECT_FALSE(object_->_class->enumerate(object_, &ids, &count));
}

TEST_F(ScriptObjectTest, ReadsOnlyWhatIsReadable) {
    for (const char* name : kProperties) {
        const std::string n = name;
        const bool readable = n == "Object" || n == "Response" || n == "Version";
        NPVariant result;
        EXPECT_EQ(Get(name, &result), readable) << name;
        browser_.Release(result);
    }
    ScriptString text("x");
    EXPECT_FALSE(Set("Response", text.Variant()));
    EXPECT_FALSE(Set("Version", text.Variant()));
    EXPECT_EQ(GetText("Version"), "1,0,3,20662");
    EXPECT_EQ(GetText("Response"), "");
    owner_.settings.response = std::string("ok\0tail", 7);
    EXPECT_EQ(GetText("Response"), "ok");  // up to the first zero byte
}

TEST_F(ScriptObjectTest, IntegerPropertiesSaturateAndIgnoreOtherTypes) {
    ScriptString digits("320"), spaced(" \t-12px"), none("px"), huge("99999999999"),
        tiny("-99999999999");
    // "12" followed by more digits in memory: only the length counts.
    ScriptString longer("123");
    NPVariant cut = longer.Variant();
    cut.value.stringValue.UTF8Length = 2;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        NPVariant value;
        int32_t expected;
    } cases[] = {
        {IntVariant(-7), -7},          {DoubleVariant(320.9), 320},
        {DoubleVariant(-2.9), -2},     {DoubleVariant(1e10), INT32_MAX},
        {DoubleVariant(-1e10), INT32_MIN}, {DoubleVariant(nan), 0},
        {DoubleVariant(INFINITY), INT32_MAX}, {digits.Variant(), 320},
        {spaced.Variant(), -12},       {none.Variant(), 0},
        {huge.Variant(), INT32_MAX},   {tiny.Variant(), INT32_MIN},
        {cut, 12},                     {BoolVariant(true), 0},
        {NullVariant(), 0},            {ObjectVariant(object_), 0},
    };
    for (const auto& c : cases) {
        owner_.settings.clipWidth = 55;
        EXPECT_TRUE(Set("ClipWidth", c.value));
        EXPECT_EQ(owner_.settings.clipWidth, c.expected) << "type " << c.value.type;
    }
    EXPECT_TRUE(Set("ClipHeight", IntVariant(240)));
    EXPECT_EQ(owner_.settings.clipHeight, 240);
    EXPECT_EQ(owner_.clipHeightCalls, 1);
    EXPECT_TRUE(Set("JpegQuality", IntVariant(100000)));
    EXPECT_EQ(owner_.settings.jpegQuality, 100000);
    EXPECT_EQ(ConfigMgr::Instance().GetJpegQuality(), INT16_MAX);
}

TEST_F(ScriptObjectTest, FlagsAndTexts) {
    const struct {
        NPVariant value;
        bool expected;
    } flags[] = {
        {BoolVariant(true), true},  {BoolVariant(false), false}, {IntVariant(1), true},
        {IntVariant(256), false},   {DoubleVariant(1.0), true},  {DoubleVariant(0.0), false},
        {NullVariant(), false},
    };
    for (const auto& c : flags) {
        EXPECT_TRUE(Set("Debug", c.value));
        EXPECT_EQ(Loger::Instance().GetLog().IsEnabled() != 0, c.expected) << c.value.type;
        EXPECT_TRUE(Set("Watermark", c.value));
        EXPECT_EQ(ConfigMgr::Instance().GetWatermark(), c.expected) << c.value.type;
    }
    ScriptString url("http://127.0.0.1/up"), type("PNG"), charset("gbk"), log("c:\\px.log");
    EXPECT_TRUE(Set("PostUrl", url.Variant()));
    EXPECT_TRUE(Set("ImageUploadType", type.Variant()));
    EXPECT_TRUE(Set("EncodeType", charset.Variant()));
    EXPECT_TRUE(Set("LogFile", log.Variant()));
    EXPECT_EQ(owner_.settings.postUrl, "http://127.0.0.1/up");
    EXPECT_EQ(owner_.settings.imageType, "PNG");  // the editor lower-cases
    EXPECT_EQ(owner_.settings.charset, "gbk");
    EXPECT_EQ(Loger::Instance().GetLogFile(), "c:\\px.log");
    // Values of other types clear a text instead of being misread.
    for (NPVariant other : {IntVariant(5), NullVariant(), ObjectVariant(object_)}) {
        EXPECT_TRUE(Set("PostUrl", other));
        EXPECT_EQ(owner_.settings.postUrl, "");
        EXPECT_TRUE(Set("LogFile", other));
        EXPECT_EQ(Loger::Instance().GetLogFile(), "");
    }
}

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
    EXPECT_EQ(browser_.RefCount(b), 2u);
    ASSERT_TRUE(Get("Object", &read));
    ASSERT_EQ(read.type, NPVariantType_Object);
    EXPECT_EQ(read.value.objectValue, b);
    EXPECT_EQ(browser_.RefCount(b), 3u);  // the reader's reference
    browser_.Release(read);
    // A value that is not an object clears the slot (and drops its reference).
    EXPECT_TRUE(Set("OnError", IntVariant(12345)));
    EXPECT_TRUE(Set("Object", ScriptString("b").Variant()));
    EXPECT_EQ(owner_.refs.onError.Get(), nullptr);
    EXPECT_EQ(owner_.refs.callbackArgument.Get(), nullptr);
    EXPECT_EQ(browser_.RefCount(a), 2u);
    EXPECT_EQ(browser_.RefCount(b), 1u);
    Browser::ReleaseObject(a);
    Browser::ReleaseObject(b);
}

TEST_F(ScriptObjectTest, AddFieldAndClearFields) {
    ScriptString a("a"), z("z"), one("1"), two("2");
    const struct {
        std::vector<NPVariant> args;
        const char* fields;  // "name=value;" after the call
    } cases[] = {
        {{z.Variant(), one.Variant()}, "z=1;"},
        {{a.Variant(), IntVariant(7)}, "a=7;z=1;"},
        {{a.Variant(), two.Variant()}, "a=2;z=1;"},
        {{a.Variant(), IntVariant(INT32_MIN)}, "a=-2147483648;z=1;"},
        {{a.Variant(), DoubleVariant(7.5)}, "a=-2147483648;z=1;"},
        {{a.Variant(), BoolVariant(true)}, "a=-2147483648;z=1;"},
        {{IntVariant(3), one.Variant()}, "a=-2147483648;z=1;"},
        {{a.Variant()}, "a=-2147483648;z=1;"},
        {{}, "a=-2147483648;z=1;"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Call("AddField", c.args));
        std::string fields;
        for (const auto& f : owner_.settings.fields.Items()) fields += f.first + "=" + f.second + ";";
        EXPECT_EQ(fields, c.fields);
    }
    EXPECT_TRUE(Call("ClearFields", {one.Variant()}));
    EXPECT_TRUE(owner_.settings.fields.Items().empty());
}

TEST_F(ScriptObjectTest, DefaultCallAndStringsNeedBrowserMemory) {
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    ASSERT_TRUE(object_->_class->invokeDefault(object_, nullptr, 0, &result));
    EXPECT_EQ(VariantText(result), "default method return val");
    EXPECT_EQ(browser_.OutstandingMemory(), 1u);
    browser_.Release(result);
    browser_.failMemAlloc = true;
    EXPECT_FALSE(Get("Version", &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
    EXPECT_FALSE(object_->_class->invokeDefault(object_, nullptr, 0, &result));
}

TEST_F(ScriptObjectTest, FailsEverythingOnceItsOwnerIsGone) {
    ScriptablePluginObject::From(object_)->SetOwner(nullptr);
    NPVariant v = IntVariant(5);
    for (const char* name : kProperties) {
        EXPECT_FALSE(object_->_class->hasProperty(object_, browser_.Id(name))) << name;
        EXPECT_FALSE(Set(name, v)) << name;
        EXPECT_FALSE(Get(name, &v)) << name;
    }
    EXPECT_FALSE(Call("ClearFields", {}));
    EXPECT_EQ(owner_.settings.clipWidth, 0);
}

TEST_F(ScriptObjectTest, PageCallHoldsFunctionAndArgumentAcrossTheCall) {
    NPObject* function = browser_.NewPageObject();
    NPObject* argument = browser_.NewPageObject();
    EXPECT_TRUE(Set("OnComplete", ObjectVariant(function)));
    EXPECT_TRUE(Set("Object", ObjectVariant(argument)));
    Browser::ReleaseObject(function);  // the plug-in holds the only references now
    Browser::ReleaseObject(argument);
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
    Browser::ReleaseObject(onError);
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
        EXPECT_EQ(Browser::PluginThreadAsyncCall(nullptr, [](void* n) { ++*static_cast<int*>(n); },
                                                 &ran),
                  c.async);
    }
    EXPECT_EQ(browser.RunAsyncCalls(), 2u);
    EXPECT_EQ(ran, 2);
    Browser::SetFuncs(nullptr);
    EXPECT_FALSE(Browser::HasScripting());
    EXPECT_EQ(Browser::MemAlloc(4), nullptr);
}

}  // namespace
