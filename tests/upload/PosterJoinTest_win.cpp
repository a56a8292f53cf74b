// The window thread waiting for an upload worker that is itself waiting for
// the window thread: the worker's event handler is inside SendMessage to the
// owner's window while the owner deletes the uploader, posts again, or
// detaches its handler. Each must return within the bound and no event may
// arrive once it has.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>

#include "upload/HttpPoster.h"

namespace {

const UINT kProgressMessage = WM_USER + 100;
const DWORD kBoundMs = 2000;

// Ends the process if a case deadlocks, so that the suite fails instead of
// hanging until the runner's time-out.
class Watchdog {
public:
    Watchdog() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = CreateThread(nullptr, 0, &Watchdog::Main, this, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

private:
    static DWORD WINAPI Main(void* self) {
        if (WaitForSingleObject(static_cast<Watchdog*>(self)->done_, 15000) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "deadlock: the window thread never got its message answered\n");
            std::fflush(stderr);
            ExitProcess(3);
        }
        return 0;
    }
    HANDLE done_;
    HANDLE thread_;
};

struct WindowSink : HttpPosterEvent {
    HWND window = nullptr;
    HANDLE inSend = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // set just before each SendMessage
    std::atomic<int> events{0};

    ~WindowSink() { CloseHandle(inSend); }
    void Deliver() {
        ++events;
        SetEvent(inSend);
        SendMessageW(window, kProgressMessage, 0, 0);
    }
    void OnPostComplete(int) override { Deliver(); }
    void OnPostError(int, int) override { Deliver(); }
    void OnPostProgress(int, int, PxString) override { Deliver(); }
};

// Raises one progress event, then either finishes or waits to be stopped.
class OneStepPoster : public HttpPoster {
public:
    explicit OneStepPoster(bool untilStopped) : untilStopped_(untilStopped) {}
    ~OneStepPoster() override { WaitForWorker(); }
    void Post(PxFile* stream, const PxString& fileName) override { StartUpload(stream, fileName); }

protected:
    void Run() override {
        RaiseProgress(progressTag_, 0, PxString());
        while (untilStopped_ && !IsStopped()) Sleep(1);
        RaiseComplete();
    }

private:
    bool untilStopped_;
};

std::atomic<int> handled{0};

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == kProgressMessage) {
        ++handled;
        return 0;
    }
    return DefWindowProcW(window, message, wp, lp);
}

HWND MakeOwnerWindow() {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PixmendJoinTestOwner";
        return RegisterClassW(&wc);
    }();
    return atom ? CreateWindowW(L"PixmendJoinTestOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr)
                : nullptr;
}

// Answers what other threads send this thread for ms milliseconds.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
}

enum class Owner { kDeletes, kPostsAgain, kStopsDetachesDeletes };

struct Case {
    const char* what;
    Owner owner;
    bool apartment;  // the owner thread is in a single-threaded COM apartment
};

TEST(PosterJoin, OwnerWaitingForAWorkerInsideSendMessageReturnsWithinTheBound) {
    const Case cases[] = {
        {"delete", Owner::kDeletes, false},
        {"second post", Owner::kPostsAgain, false},
        {"stop, detach, delete", Owner::kStopsDetachesDeletes, false},
        {"delete in an apartment", Owner::kDeletes, true},
        {"second post in an apartment", Owner::kPostsAgain, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.apartment) {
            ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        }
        HWND window = MakeOwnerWindow();
        ASSERT_NE(nullptr, window);
        WindowSink sink;
        sink.window = window;
        handled = 0;
        auto* poster = new OneStepPoster(c.owner != Owner::kPostsAgain);
        poster->SetEventSink(&sink);
        poster->Post(nullptr, PX_TEXT("img.jpg"));
        // The worker is now blocked in SendMessage: this thread has not pumped.
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink.inSend, 5000));
        DWORD spent;
        int eventsAtReturn = 0;
        {
            Watchdog watchdog;
            const DWORD start = GetTickCount();
            switch (c.owner) {
            case Owner::kDeletes:
                delete poster;
                poster = nullptr;
                break;
            case Owner::kPostsAgain:
                poster->Post(nullptr, PX_TEXT("img.jpg"));  // joins the first upload
                break;
            case Owner::kStopsDetachesDeletes:
                poster->Stop();
                poster->SetEventSink(nullptr);
                eventsAtReturn = sink.events;
                delete poster;
                poster = nullptr;
                break;
            }
            spent = GetTickCount() - start;
        }
        EXPECT_LT(spent, kBoundMs);
        EXPECT_GE(handled.load(), 1) << "the blocked SendMessage was answered during the wait";
        if (poster) {
            Pump(300);  // the second upload runs its progress and final event
            EXPECT_EQ(4, sink.events.load()) << "two uploads, two events each";
            delete poster;
        } else {
            if (c.owner == Owner::kDeletes) eventsAtReturn = sink.events;
            Pump(200);
            EXPECT_EQ(eventsAtReturn, sink.events.load()) << "an event arrived after the owner let go";
            EXPECT_EQ(1, sink.events.load()) << "a deleted uploader raises no final event";
        }
        DestroyWindow(window);
        if (c.apartment) CoUninitialize();
    }
}

}  // namespace
