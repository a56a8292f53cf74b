// Editor timings under Wine: a 6000 x 4000 JPEG in a 600 x 500 editor.
//
//   open   decode + fit alone (a bare CanvasModel), then a file dropped on
//          the editor's drop target up to its first painted frame
//   zoom   each wheel step from the message to the painted frame, with the
//          display size it produced (bench/editor_bench.py sets Pillow's box
//          resize of the same picture to the same sizes beside them)
//   drag   one WM_MOUSEMOVE of a drag up to the painted frame, at zoom 4
//   ok     OK pressed to the first byte of the request arriving at a local
//          socket, for a 400 x 400 JPEG clip
//
// Lines are "name value..." with milliseconds of wall time, the median of
// the repeats (argument 1, default 5).
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "editor/Editor.h"
#include "image/PxFile.h"
#include "tests/editor/DroppedFiles.h"

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string WritePhoto() {
    PxImage img(6000, 4000, 24);
    for (uint32_t y = 0; y < 4000; ++y) {
        uint8_t* row = img.GetBits(y);
        for (uint32_t x = 0; x < 6000; ++x) {
            row[3 * x] = static_cast<uint8_t>(x / 24 + ((x * y) >> 9 & 15));
            row[3 * x + 1] = static_cast<uint8_t>(y / 16 + (x & 7));
            row[3 * x + 2] = static_cast<uint8_t>((x + y) / 40 + ((x ^ y) & 31));
        }
    }
    PxMemFile stream;
    stream.Open();
    img.SetQuality(90);
    img.Encode(&stream, PXIMAGE_FORMAT_JPG);
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "pixmend-editor-bench.jpg";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
        std::fclose(f);
    }
    return path;
}

class BenchHost : public EditorHost {
public:
    int calls = 0;
    void CallPage(UploadOutcome) override { ++calls; }
};

LRESULT CALLBACK Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Editor* editor = reinterpret_cast<Editor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (editor != nullptr && editor->HandleMessage(msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Runs the step and returns the milliseconds until its frame was painted.
double ToFrame(HWND window, const std::function<void()>& step) {
    const double start = Now();
    step();
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);
    GdiFlush();
    return Now() - start;
}

void Pump(const std::function<bool()>& done) {
    const double deadline = Now() + 30000;
    MSG msg;
    while (!done() && Now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

// A loopback listener that notes when the first request byte arrives and
// answers 200 once the whole request is in.
class FirstByte {
public:
    FirstByte() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        int len = sizeof(a);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listener_, 4);
    }
    ~FirstByte() { closesocket(listener_); }
    int Port() const { return port_; }
    // Serves one request on a thread; FirstAt() is then the arrival time.
    std::thread ServeOne() {
        first_ = 0;
        return std::thread([this] {
            SOCKET s = accept(listener_, nullptr, nullptr);
            char buffer[65536];
            std::string request;
            for (int n; (n = recv(s, buffer, sizeof(buffer), 0)) > 0;) {
                if (request.empty()) first_ = Now();
                request.append(buffer, static_cast<size_t>(n));
                const size_t head = request.find("\r\n\r\n");
                const size_t at = request.find("Content-Length: ");
                if (head != std::string::npos && at != std::string::npos &&
                    request.size() >= head + 4 + std::strtoul(request.c_str() + at + 16, nullptr, 10))
                    break;
            }
            const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            send(s, reply, sizeof(reply) - 1, 0);
            closesocket(s);
        });
    }
    double FirstAt() const { return first_; }

private:
    SOCKET listener_;
    int port_ = 0;
    std::atomic<double> first_{0};
};

}  // namespace

int main(int argc, char** argv) {
    const int repeat = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string photo = WritePhoto();
    const PxString file(photo.begin(), photo.end());

    std::vector<double> alone;
    for (int i = 0; i < repeat; ++i) {
        CanvasModel model;
        model.Layout(RECT{1, 60, 599, 460});
        const double start = Now();
        model.OpenPicture(file.c_str());
        alone.push_back(Now() - start);
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = Route;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PixmendEditorBench";
    RegisterClassW(&wc);
    RECT frame{0, 0, 600, 500};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowW(wc.lpszClassName, L"editor bench", WS_OVERLAPPEDWINDOW, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                wc.hInstance, nullptr);
    BenchHost host;
    Editor editor(host);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&editor));
    editor.AttachWindow(window);
    ShowWindow(window, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);

    std::vector<double> dropped;
    for (int i = 0; i < repeat; ++i) {
        FileListData files({photo});
        IDataObject* data = &files;
        IDropTarget* target = &editor;
        DWORD effect = DROPEFFECT_COPY;
        target->DragEnter(data, 0, POINTL{300, 300}, &effect);
        dropped.push_back(ToFrame(window, [&] { target->Drop(data, 0, POINTL{300, 300}, &effect); }));
    }
    const double a = Median(alone), d = Median(dropped);
    std::printf("open decode+fit %.1f drop-to-frame %.1f ratio %.2f\n", a, d, d / a);

    // Zoom steps in from the fitted view up to the largest zoom.
    const int steps = 20;
    std::vector<std::vector<double>> zoom(steps);
    std::vector<CanvasSize> sizes(steps);
    for (int r = 0; r < repeat; ++r) {
        editor.ResetView();
        for (int i = 0; i < steps; ++i) {
            zoom[i].push_back(ToFrame(window, [&] {
                SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
            }));
            sizes[i] = editor.Canvas()->Model().Display().Size();
        }
    }
    for (int i = 0; i < steps && (i == 0 || sizes[i].width != sizes[i - 1].width); ++i)
        std::printf("zoom %d %d %.2f\n", sizes[i].width, sizes[i].height, Median(zoom[i]));

    std::vector<double> drag;
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 250));
    for (int i = 0; i < 20 * repeat; ++i)
        drag.push_back(ToFrame(window, [&] {
            SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300 - (i % 2) * 9, 250 - (i % 2) * 5));
        }));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(300, 250));
    std::printf("drag %.2f\n", Median(drag));

    FirstByte server;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/upload";
    editor.SetPostUrl(PxString(url.begin(), url.end()));
    editor.SetClipWidth(400);
    editor.SetClipHeight(400);
    editor.ResetView();
    const RECT ok = editor.GetButton(Editor::kOk).GetBounds();
    std::vector<double> first;
    for (int i = 0; i < repeat; ++i) {
        std::thread serving = server.ServeOne();
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ok.left + 5, ok.top + 5));
        const double pressed = Now();
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(ok.left + 5, ok.top + 5));
        Pump([&] { return host.calls > i; });
        serving.join();
        first.push_back(server.FirstAt() - pressed);
    }
    std::printf("ok-to-first-byte %.2f (%d of %d uploads completed)\n", Median(first), host.calls, repeat);

    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    editor.DetachWindow();
    DestroyWindow(window);
    return 0;
}
