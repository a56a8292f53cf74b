// The confirmation flow end to end against the local test servers (run
// inside tests/upload/upload_server.py): busy display, disabled buttons,
// progress, the page called on the window thread once the state is final,
// the form as sent, failures, and teardown during an upload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "tests/editor/EditorTestSupport.h"

using namespace editor_test;

namespace {

PxString Url(const char* portVariable, const std::string& path) {
    const char* port = std::getenv(portVariable);
    return Px("http://127.0.0.1:" + std::string(port != nullptr ? port : "0") + path);
}

// The parts of the request body that /echo reports back as hex, in order:
// (name, value); a file part is named like 'img; filename=img.jpg' and its
// value is its first two bytes.
std::vector<std::pair<std::string, std::string>> EchoedParts(const PxString& response) {
    const std::string text(response.begin(), response.end());
    std::string body;
    for (size_t i = text.find("body=") + 5; i + 1 < text.size() && isxdigit(text[i]); i += 2)
        body.push_back(static_cast<char>(std::strtol(text.substr(i, 2).c_str(), nullptr, 16)));
    std::vector<std::pair<std::string, std::string>> parts;
    const std::string key = "form-data; name=";
    for (size_t at = body.find(key); at != std::string::npos; at = body.find(key, at + 1)) {
        const size_t start = at + key.size(), value = body.find("\r\n\r\n", start) + 4;
        std::string name = body.substr(start, body.find("\r\n", start) - start);
        name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
        const bool file = name.find(';') != std::string::npos;
        parts.emplace_back(name, body.substr(value, file ? 2 : body.find("\r\n", value) - value));
    }
    return parts;
}

class EditorUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("PIXMEND_TEST_HTTP_PORT"), nullptr) << "run inside upload_server.py";
        picture_ = WritePicture("editor-upload.jpg", 800, 600);
        ASSERT_FALSE(picture_.empty());
    }
    // A picture and a 200 x 150 frame, posting to url.
    void Prepare(Harness& h, const PxString& url) {
        h.editor.SetPostUrl(url);
        h.editor.SetClipWidth(200);
        h.editor.SetClipHeight(150);
        h.editor.LoadPicture(Px(picture_));
    }
    static bool WaitForCalls(Harness& h, size_t count) {
        return PumpUntil([&] { return h.host.calls.size() >= count; });
    }

    std::string picture_;
};

}  // namespace

TEST_F(EditorUpload, NothingHappensWithoutAPictureOrWithAnEmptyCut) {
    const struct {
        const char* what;
        std::string file;  // empty: no picture at all
    } kCases[] = {{"no picture", ""}, {"a file that did not decode", picture_ + ".missing"}};
    for (const auto& k : kCases) {
        Harness h;
        h.editor.SetPostUrl(Url("PIXMEND_TEST_HTTP_PORT", "/echo"));
        if (!k.file.empty()) h.editor.LoadPicture(Px(k.file));
        h.ClickButton(Editor::kOk);
        EXPECT_FALSE(h.editor.GetUploadState() != Idle || h.editor.Canvas()->IsBusy() ||
                     h.editor.GetButton(Editor::kOpen).IsDisabled()) << k.what;
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(h.host.calls.empty()) << k.what;
    }
}

TEST_F(EditorUpload, FullConfirmationThroughEitherFinishPath) {
    for (bool hostSchedules : {false, true}) {
        Harness h;
        h.host.schedules = hostSchedules;
        Prepare(h, Url("PIXMEND_TEST_HTTP_PORT", "/echo"));
        h.editor.AddField(PX_TEXT("zeta"), PX_TEXT("z"));
        h.editor.AddField(PX_TEXT("alpha"), PX_TEXT("a"));
        h.editor.AddField(PX_TEXT("zeta"), PX_TEXT("replaced"));
        // The page's callback runs a modal loop in which the visitor presses
        // OK again: ignored, and nothing waits for anything.
        UploadState during = Uploading;
        h.host.duringCall = [&] {
            h.ClickButton(Editor::kOk);
            during = h.editor.GetUploadState();
        };
        h.ClickButton(Editor::kOk);
        EXPECT_EQ(h.editor.GetUploadState(), Uploading);
        EXPECT_TRUE(h.editor.Canvas()->IsBusy());
        EXPECT_EQ(h.editor.Canvas()->GetStatusText(), PX_TEXT("0%"));
        for (int i = 0; i < Editor::kButtonCount; ++i)
            EXPECT_EQ(h.editor.GetButton(static_cast<Editor::ButtonId>(i)).IsDisabled() != 0, i != Editor::kCancel);
        ASSERT_TRUE(WaitForCalls(h, 1)) << hostSchedules;
        const PageCall& call = h.host.calls[0];
        EXPECT_EQ(call.outcome, UploadOutcome::Complete);
        EXPECT_EQ(call.thread, GetCurrentThreadId());
        EXPECT_TRUE(call.state == Idle && !call.busy && call.okEnabled);  // final before the call
        EXPECT_EQ(call.response, h.editor.GetResponse());
        EXPECT_EQ(during, Idle);
        // Progress reached the window: a later percentage replaced "0%".
        const PxString shown = h.editor.Canvas()->GetStatusText();
        EXPECT_TRUE(shown.size() >= 2 && shown.back() == PX_TEXT('%') && shown != PX_TEXT("0%"));

        const std::vector<std::pair<std::string, std::string>> sorted = {
            {"alpha", "a"}, {"zeta", "replaced"}, {"width", "200"}, {"height", "150"},
            {"img; filename=img.jpg", "\xFF\xD8"}};
        auto parts = sorted;
        if (!FlavourTraits::kFieldsSortedByName) std::swap(parts[0], parts[1]);
        EXPECT_EQ(EchoedParts(h.editor.GetResponse()), parts);

        // A new address is not used by this editor's later uploads.
        h.host.duringCall = nullptr;
        h.editor.SetPostUrl(Url("PIXMEND_TEST_HTTP_PORT", "/fail"));
        h.ClickButton(Editor::kOk);
        ASSERT_TRUE(WaitForCalls(h, 2));
        EXPECT_EQ(h.host.calls[1].outcome, UploadOutcome::Complete);
    }
}

TEST_F(EditorUpload, FailuresReportErrorAndAllowAFreshUpload) {
    const struct {
        const char* what;
        PxString url;
    } kCases[] = {
        {"status 500", Url("PIXMEND_TEST_HTTP_PORT", "/fail")},
        {"refused", Url("PIXMEND_TEST_REFUSED_PORT", "/")},
    };
    for (const auto& k : kCases) {
        Harness h;
        Prepare(h, k.url);
        for (size_t round = 1; round <= 2; ++round) {
            h.ClickButton(Editor::kOk);
            EXPECT_EQ(h.editor.GetUploadState(), Uploading) << k.what;
            ASSERT_TRUE(WaitForCalls(h, round)) << k.what;
            const PageCall& call = h.host.calls[round - 1];
            EXPECT_EQ(call.outcome, UploadOutcome::Error) << k.what;
            EXPECT_TRUE(call.state == Failed && !call.busy && call.okEnabled && call.response.empty());
        }
        EXPECT_EQ(h.editor.GetUploadState(), Failed);
    }
}

TEST_F(EditorUpload, DropIgnoredWhileUploadingAndTeardownDuringAStall) {
    TestHost host;
    HWND window = MakeWindow(600, 500);
    auto editor = std::make_unique<Editor>(host);
    host.editor = editor.get();
    host.window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor.get()));
    editor->AttachWindow(window);
    editor->SetPostUrl(Url("PIXMEND_TEST_HTTP_PORT", "/stall"));
    editor->LoadPicture(Px(picture_));
    editor->Submit();
    ASSERT_EQ(editor->GetUploadState(), Uploading);
    PumpUntil([] { return false; }, 300);

    FileListData files({WritePicture("editor-upload-other.jpg", 300, 200)});
    IDataObject* data = &files;
    IDropTarget* target = editor.get();
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data, 0, POINTL{300, 300}, &effect);
    target->Drop(data, 0, POINTL{300, 300}, &effect);
    EXPECT_EQ(editor->Canvas()->Model().Picture()->GetWidth(), 800u);

    // The page goes away while the server never answers: the editor stops
    // the upload and returns, and the page is not called.
    const DWORD start = GetTickCount();
    editor.reset();
    EXPECT_LT(GetTickCount() - start, 10000u);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(host.calls.empty());
    DestroyWindow(window);
}

TEST_F(EditorUpload, TwoEditorsSendTheirOwnBytesAndTypes) {
    Harness first(600, 500);
    Harness second(400, 300);
    Prepare(first, Url("PIXMEND_TEST_HTTP_PORT", "/echo"));
    Prepare(second, Url("PIXMEND_TEST_HTTP_PORT", "/echo"));
    first.editor.SetImageType(PX_TEXT("PNG"));
    second.editor.SetImageType(PX_TEXT("bmp"));
    second.editor.SetFileFieldName(PX_TEXT("photo"));
    first.editor.Submit();
    second.editor.Submit();
    ASSERT_TRUE(WaitForCalls(first, 1));
    ASSERT_TRUE(WaitForCalls(second, 1));
    const auto a = EchoedParts(first.editor.GetResponse());
    const auto b = EchoedParts(second.editor.GetResponse());
    ASSERT_TRUE(!a.empty() && !b.empty());
    EXPECT_EQ(a.back(), std::make_pair(std::string("img; filename=img.png"), std::string("\x89P")));
    EXPECT_EQ(b.back(), std::make_pair(std::string("photo; filename=img.bmp"), std::string("BM")));
}
