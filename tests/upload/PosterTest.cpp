// The uploader base: body assembly, one final event per upload, events on the
// worker thread, and deletion while the worker runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "image/PxFile.h"
#include "support/Convert.h"
#include "upload/HttpPoster.h"

namespace {

struct RecordingSink : HttpPosterEvent {
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;

    void Record(const std::string& what) {
        std::lock_guard<std::mutex> hold(mutex);
        events.push_back(what);
        threads.push_back(std::this_thread::get_id());
    }
    void OnPostComplete(int reserved) override { Record("complete " + std::to_string(reserved)); }
    void OnPostError(int reserved, int code) override {
        Record("error " + std::to_string(reserved) + " " + std::to_string(code));
    }
    void OnPostProgress(int tag, int sent, PxString) override {
        Record("progress " + std::to_string(tag) + " " + std::to_string(sent));
    }
};

// A poster whose worker follows a script chosen by the test.
class ScriptedPoster : public HttpPoster {
public:
    enum Script { kComplete, kTwoFinals, kNoFinal, kBlockUntilStopped, kAssemble, kProgressUntilStopped };
    explicit ScriptedPoster(Script script) : script_(script) {}
    ~ScriptedPoster() override { WaitForWorker(); }

    void Post(PxFile* stream, const PxString& fileName) override { StartUpload(stream, fileName); }

    std::atomic<bool> started{false};
    std::atomic<bool> sawStop{false};
    std::string body;
    bool assembled = false;

protected:
    void Run() override {
        started = true;
        switch (script_) {
        case kComplete:
            sent_ = total_.load();
            RaiseProgress(progressTag_, 0, PxString());
            RaiseComplete();
            break;
        case kTwoFinals:
            RaiseError(kErrorConnect);
            RaiseComplete();
            RaiseProgress(progressTag_, 0, PxString());  // after the final event: dropped
            break;
        case kNoFinal:
            break;
        case kProgressUntilStopped:
            while (!IsStopped()) RaiseProgress(progressTag_, 0, PxString());
            RaiseError(kErrorRequest);
            break;
        case kBlockUntilStopped:
            while (!IsStopped()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            sawStop = true;
            RaiseError(kErrorRequest);
            break;
        case kAssemble: {
            FieldsData data;
            assembled = AssembleBody(data);
            body.assign(data.GetBuffer(), data.GetSize());
            total_ = static_cast<uint32_t>(data.GetSize());
            RaiseComplete();
            break;
        }
        }
    }

private:
    Script script_;
};

// Waits (bounded) until the sink holds at least n events.
bool WaitForEvents(RecordingSink& sink, size_t n) {
    for (int i = 0; i < 2000; ++i) {
        {
            std::lock_guard<std::mutex> hold(sink.mutex);
            if (sink.events.size() >= n) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(HttpPoster, SettersStoreAndLowerCaseWhereTheyShould) {
    ScriptedPoster poster(ScriptedPoster::kComplete);
    poster.SetUrl(PX_TEXT("http://Host/Up"));
    poster.SetAuthType(PX_TEXT("NTLM"));
    poster.SetCharset(PX_TEXT("UTF-8"));
    EXPECT_EQ(poster.GetUrl(), PX_TEXT("http://Host/Up"));
    EXPECT_EQ(poster.GetAuthType(), PX_TEXT("ntlm"));
    EXPECT_EQ(poster.GetForm().GetCharset(), PX_TEXT("utf-8"));
    EXPECT_EQ(poster.GetStatus(), 0u);
    poster.SetStatus(HttpPoster::kStatusConnected | HttpPoster::kStatusAllSent);
    poster.SetError(6);
    EXPECT_EQ(poster.GetStatus(), 0u);
    EXPECT_EQ(poster.GetErrorCode(), 6);
    EXPECT_EQ(poster.GetPercentText(), PX_TEXT("100%"));
}

TEST(HttpPoster, EventsArriveOnTheWorkerAndTheLastPercentIs100) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kComplete);
    poster.SetEventSink(&sink);
    PxMemFile stream;
    ASSERT_TRUE(stream.Open());
    ASSERT_EQ(stream.Write("12345", 1, 5), 5u);
    poster.Post(&stream, PX_TEXT("img.jpg"));
    ASSERT_TRUE(WaitForEvents(sink, 2));
    EXPECT_EQ(sink.events, (std::vector<std::string>{"progress -1 0", "complete 0"}));
    EXPECT_NE(sink.threads[0], std::this_thread::get_id());
    EXPECT_EQ(sink.threads[0], sink.threads[1]);
    EXPECT_EQ(poster.GetTotal(), 5u);
    EXPECT_EQ(poster.GetPercentText(), PX_TEXT("100%"));
    EXPECT_EQ(poster.GetForm().GetFieldCount(), 1u);  // Post appended the file part
}

TEST(HttpPoster, ExactlyOneFinalEventPerUpload) {
    RecordingSink sink;
    ScriptedPoster twice(ScriptedPoster::kTwoFinals);
    twice.SetEventSink(&sink);
    twice.Post(nullptr, PX_TEXT("img.jpg"));
    ScriptedPoster none(ScriptedPoster::kNoFinal);
    none.SetEventSink(&sink);
    none.Post(nullptr, PX_TEXT("img.jpg"));
    ASSERT_TRUE(WaitForEvents(sink, 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard<std::mutex> hold(sink.mutex);
    ASSERT_EQ(sink.events.size(), 2u);
    // One "error 0 0" from the first poster, one fallback "error 0 1" from the second.
    EXPECT_TRUE((sink.events == std::vector<std::string>{"error 0 0", "error 0 1"}) ||
                (sink.events == std::vector<std::string>{"error 0 1", "error 0 0"}));
}

TEST(HttpPoster, ReusedForASecondUploadAfterTheFirstEnded) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kComplete);
    poster.SetEventSink(&sink);
    poster.Post(nullptr, PX_TEXT("img.jpg"));
    ASSERT_TRUE(WaitForEvents(sink, 2));
    poster.GetForm().ClearFields();
    poster.Post(nullptr, PX_TEXT("img.jpg"));
    ASSERT_TRUE(WaitForEvents(sink, 4));
    EXPECT_EQ(sink.events.back(), "complete 0");
}

TEST(HttpPoster, DeletingWhileTheWorkerRunsStopsAndWaitsForIt) {
    RecordingSink sink;
    auto* poster = new ScriptedPoster(ScriptedPoster::kBlockUntilStopped);
    poster->SetEventSink(&sink);
    poster->Post(nullptr, PX_TEXT("img.jpg"));
    while (!poster->started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete poster;  // must not return before the worker has ended
    // The sink was detached before the wait: nothing reaches it afterwards.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::lock_guard<std::mutex> hold(sink.mutex);
    EXPECT_TRUE(sink.events.empty());
}

// A receiver whose progress handler takes a while, as the editor's does while
// its window thread answers.
struct SlowSink : HttpPosterEvent {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    void OnPostProgress(int, int, PxString) override {
        inside = true;
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        inside = false;
    }
    void OnPostError(int, int) override { ++calls; }
};

TEST(HttpPoster, DetachingTheSinkWaitsForTheCallUnderWayAndNothingFollows) {
    SlowSink sink;
    ScriptedPoster poster(ScriptedPoster::kProgressUntilStopped);
    poster.SetEventSink(&sink);
    poster.Post(nullptr, PX_TEXT("img.jpg"));
    while (!sink.inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    poster.SetEventSink(nullptr);
    EXPECT_FALSE(sink.inside.load()) << "returned while the receiver was still being called";
    const int calls = sink.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls, sink.calls.load());
    EXPECT_TRUE(poster.IsRunning());
    poster.Stop();
}

TEST(HttpPoster, StopEndsABlockedUploadWithTheFailureEvent) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kBlockUntilStopped);
    poster.SetEventSink(&sink);
    poster.Post(nullptr, PX_TEXT("img.jpg"));
    while (!poster.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    poster.Stop();
    ASSERT_TRUE(WaitForEvents(sink, 1));
    EXPECT_TRUE(poster.sawStop);
    EXPECT_EQ(sink.events.front(), "error 0 1");
}

TEST(HttpPoster, AssemblesTheFormAroundTheWholeStream) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kAssemble);
    poster.SetEventSink(&sink);
    poster.GetForm().AddField(PX_TEXT("user"), PX_TEXT("ann"));
    PxMemFile stream;
    ASSERT_TRUE(stream.Open());
    const std::string bytes("\x00\x01\xFF\r\n--", 7);
    ASSERT_EQ(stream.Write(bytes.data(), 1, bytes.size()), bytes.size());  // stream left at its end
    poster.Post(&stream, PX_TEXT("img.png"));
    ASSERT_TRUE(WaitForEvents(sink, 1));
    ASSERT_TRUE(poster.assembled);
    const HttpForm& form = poster.GetForm();
    EXPECT_EQ(poster.body, ToBodyBytes(form.BuildFieldsText()) + bytes + "\r\n" +
                               ToBodyBytes(form.BuildTrailer()));
    EXPECT_EQ(poster.body.size(), form.GetContentLength());
    EXPECT_EQ(poster.GetTotal(), poster.body.size());
}

TEST(HttpPoster, AForgedPartFailsTheUploadBeforeTheExchangeStarts) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kComplete);
    poster.SetEventSink(&sink);
    poster.GetForm().AddField(PX_TEXT("user\r\nX-Injected: 1"), PX_TEXT("ann"));
    poster.Post(nullptr, PX_TEXT("img.jpg"));
    ASSERT_TRUE(WaitForEvents(sink, 1));
    EXPECT_EQ(sink.events, std::vector<std::string>{"error 0 1"});
    EXPECT_FALSE(poster.started) << "the exchange must not begin";
}

TEST(HttpPoster, AssemblyFailsWithoutAStream) {
    RecordingSink sink;
    ScriptedPoster poster(ScriptedPoster::kAssemble);
    poster.SetEventSink(&sink);
    poster.Post(nullptr, PX_TEXT("img.png"));
    ASSERT_TRUE(WaitForEvents(sink, 1));
    EXPECT_FALSE(poster.assembled);
    EXPECT_TRUE(poster.body.empty());
}

}  // namespace
