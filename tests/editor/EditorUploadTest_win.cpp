// The confirmation flow end to end against the local test servers (run
// inside tests/upload/upload_server.py): busy display, disabled buttons,
// progress, the page called on the window thread, the reply, the form as
// sent, failures, and teardown during an upload.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/editor/EditorTestSupport.h"

using namespace editor_test;

namespace {

std::string Port(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

PxString Url(const char* portVariable, const std::string& path) {
    return Px("http://127.0.0.1:" + Port(portVariable) + path);
}

// The request body that /echo reports back as hex.
std::string EchoedBody(const PxString& response) {
    const std::string text(response.begin(), response.end());
    const size_t at = text.find("body=");
    if (at == std::string::npos) return std::string();
    std::string bytes;
    for (size_t i = at + 5; i + 1 < text.size() && isxdigit(text[i]); i += 2)
        bytes.push_back(static_cast<char>(std::strtol(text.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

// Names of the form's parts in body order.
std::vector<std::string> PartNames(const std::string& body) {
    std::vector<std::string> names;
    const std::string key = "form-data; name=\"";
    for (size_t at = body.find(key); at != std::string::npos; at = body.find(key, at + 1)) {
        const size_t start = at + key.size();
        names.push_back(body.substr(start, body.find('"', start) - start));
    }
    return names;
}

std::string PartValue(const std::string& body, const std::string& name) {
    const std::string head = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = body.find(head);
    if (at == std::string::npos) return std::string();
    const size_t start = at + head.size();
    return body.substr(start, body.find("\r\n", start) - start);
}

class EditorUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Port("PIXMEND_TEST_HTTP_PORT").empty()) << "run inside upload_server.py";
        picture_ = WritePicture("editor-upload.jpg", 800, 600);
        ASSERT_FALSE(picture_.empty());
    }
    // An editor with a picture and a 200 x 150 frame posting to url.
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
    const std::string garbage = UniqueTempName("editor-garbage.jpg");
    FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a picture", f);
    std::fclose(f);
    const struct {
        const char* what;
        std::string file;  // empty: no picture at all
    } kCases[] = {{"no picture", ""}, {"undecodable file", garbage}};
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
        h.editor.AddField(PX_TEXT("zeta"), PX_TEXT("last by name"));
        h.editor.AddField(PX_TEXT("alpha"), PX_TEXT("first by name"));
        h.editor.AddField(PX_TEXT("zeta"), PX_TEXT("replaced"));
        h.ClickButton(Editor::kOk);
        // At once, before any message is handled:
        EXPECT_EQ(h.editor.GetUploadState(), Uploading);
        EXPECT_TRUE(h.editor.Canvas()->IsBusy());
        EXPECT_EQ(h.editor.Canvas()->GetStatusText(), PX_TEXT("0%"));
        for (int i = 0; i < Editor::kButtonCount; ++i)
            EXPECT_EQ(h.editor.GetButton(static_cast<Editor::ButtonId>(i)).IsDisabled() != 0,
                      i != Editor::kCancel) << i;
        ASSERT_TRUE(WaitForCalls(h, 1)) << hostSchedules;
        const PageCall& call = h.host.calls[0];
        EXPECT_EQ(call.outcome, UploadOutcome::Complete);
        EXPECT_EQ(call.thread, GetCurrentThreadId());
        // The visible state was final before the page was called.
        EXPECT_EQ(call.state, Idle);
        EXPECT_FALSE(call.busy);
        EXPECT_TRUE(call.okEnabled);
        EXPECT_EQ(call.response, h.editor.GetResponse());
        // Progress reached the window: a later percentage replaced "0%".
        const PxString shown = h.editor.Canvas()->GetStatusText();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), PX_TEXT('%'));
        EXPECT_GT(std::stoi(std::string(shown.begin(), shown.end() - 1)), 0);

        const std::string body = EchoedBody(h.editor.GetResponse());
        ASSERT_FALSE(body.empty());
        const std::vector<std::string> fields =
            FlavourTraits::kFieldsSortedByName
                ? std::vector<std::string>{"alpha", "zeta", "width", "height", "img"}
                : std::vector<std::string>{"zeta", "alpha", "width", "height", "img"};
        EXPECT_EQ(PartNames(body), fields);
        EXPECT_EQ(PartValue(body, "zeta"), "replaced");
        EXPECT_EQ(PartValue(body, "width"), "200");
        EXPECT_EQ(PartValue(body, "height"), "150");
        EXPECT_NE(body.find("filename=\"img.jpg\""), std::string::npos);
        EXPECT_NE(body.find("\xFF\xD8\xFF"), std::string::npos);  // a JPEG follows

        // A new address is not used by this editor's later uploads.
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
            EXPECT_EQ(call.state, Failed);
            EXPECT_FALSE(call.busy);
            EXPECT_TRUE(call.okEnabled);
            EXPECT_TRUE(call.response.empty());
        }
        EXPECT_EQ(h.editor.GetUploadState(), Failed);
    }
}

TEST_F(EditorUpload, SecondOkWhileThePageRunsIsIgnored) {
    Harness h;
    Prepare(h, Url("PIXMEND_TEST_HTTP_PORT", "/echo"));
    UploadState during = Uploading;
    // The page's callback shows a modal dialog and the visitor presses OK
    // inside it: the editor must neither start nor wait for anything.
    h.host.duringCall = [&] {
        h.ClickButton(Editor::kOk);
        during = h.editor.GetUploadState();
    };
    h.ClickButton(Editor::kOk);
    ASSERT_TRUE(WaitForCalls(h, 1));
    EXPECT_EQ(during, Idle);
    h.host.duringCall = nullptr;
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(h.host.calls.size(), 1u);
    EXPECT_EQ(h.editor.GetUploadState(), Idle);
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

    IDataObject* data = FileListData({WritePicture("editor-upload-other.jpg", 300, 200)});
    IDropTarget* target = editor.get();
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data, 0, POINTL{300, 300}, &effect);
    target->Drop(data, 0, POINTL{300, 300}, &effect);
    data->Release();
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
    const std::string a = EchoedBody(first.editor.GetResponse());
    const std::string b = EchoedBody(second.editor.GetResponse());
    EXPECT_NE(a.find("filename=\"img.png\""), std::string::npos);
    EXPECT_NE(a.find("\x89PNG"), std::string::npos);
    EXPECT_NE(b.find("filename=\"img.bmp\""), std::string::npos);
    EXPECT_EQ(b.find("\x89PNG"), std::string::npos);
    EXPECT_NE(b.find("\r\n\r\nBM"), std::string::npos);
    EXPECT_EQ(PartNames(a).back(), "img");
    EXPECT_EQ(PartNames(b).back(), "photo");
}
