// pxdemo: the editor in a top-level window, configured from the command line
// the way a page configures it from script. Every page callback is printed
// with its argument and the server's response.
//
//   pxdemo [--url URL] [--width W --height H] [--type jpg|png|bmp]
//          [--quality Q] [--file-field NAME] [--argument TEXT]
//          [--size WxH] [--submit] [--exit-after-upload] [--shot FILE.png]
//          [name=value ...] [PICTURE]
//   pxdemo --make-sample FILE.jpg      writes a 1600 x 1000 sample picture
//   pxdemo --shots FOLDER --url URL PICTURE
//       writes editor-empty, editor-fitted, editor-zoomed-dragged,
//       editor-busy and editor-failed PNG screenshots (URL should fail)
//
// --submit presses OK once the window is up; --exit-after-upload closes
// the program after the first callback (its exit status is 0 only when the
// upload completed); --shot saves what the editor shows at that point.
#include <windows.h>
#include <shellapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/Editor.h"
#include "image/PxFile.h"
#include "image/PxImage.h"
#include "support/Convert.h"
#include "support/GdiHandles.h"

namespace {

const UINT kSubmitMessage = WM_APP + 1;

// Command-line text in this flavour's strings (npPixmend's script text is
// UTF-8, Pixmend's UTF-16), and back for printing as UTF-8.
[[maybe_unused]] std::string ToPx(const std::wstring& in, char) { return WideToMultiByte(in, true); }
[[maybe_unused]] std::wstring ToPx(const std::wstring& in, wchar_t) { return in; }
PxString Px(const std::wstring& text) { return ToPx(text, PxChar()); }
[[maybe_unused]] std::string Print(const std::string& utf8) { return utf8; }
[[maybe_unused]] std::string Print(const std::wstring& wide) { return WideToMultiByte(wide, true); }
std::string Narrow(const std::wstring& text) { return WideToMultiByte(text, false); }
// File names go to the file system as they are: ANSI for the 8-bit flavour.
[[maybe_unused]] std::string ToPath(const std::wstring& in, char) { return Narrow(in); }
[[maybe_unused]] std::wstring ToPath(const std::wstring& in, wchar_t) { return in; }

struct Options {
    PxString url, type, fileField, picture;
    int clipWidth = 0, clipHeight = 0, quality = 0;
    bool hasQuality = false, submit = false, exitAfterUpload = false;
    int windowWidth = 600, windowHeight = 500;
    std::string argument = "{}", shot, shots, sample;
    std::vector<std::pair<PxString, PxString>> fields;
};

// Writes the editor as it paints now into a PNG file.
bool SaveShot(Editor& editor, int w, int h, const std::string& path) {
    PxImage shot(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 24);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as PxImage keeps its rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    Corvane::Gdi::GdiObject<HBITMAP> dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    Corvane::Gdi::MemoryDC dc(nullptr);
    {
        Corvane::Gdi::ScopedSelect select(dc.Get(), dib.Get());
        editor.PaintTo(dc.Get(), RECT{0, 0, w, h});
        GdiFlush();
    }
    if (bits != nullptr) memcpy(shot.GetBits(0), bits, shot.GetEffWidth() * static_cast<size_t>(h));
    PxMemFile stream;
    FILE* f = bits != nullptr && stream.Open() && shot.Encode(&stream, PXIMAGE_FORMAT_PNG)
                  ? std::fopen(path.c_str(), "wb") : nullptr;
    if (f == nullptr) return false;
    const size_t n = std::fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
    std::fclose(f);
    std::printf("screenshot %s\n", path.c_str());
    return n == static_cast<size_t>(stream.Size());
}

// A made-up landscape (sky, sun, hills, fence posts) so that zoom, turn and
// position are easy to see.
bool MakeSample(const std::string& path) {
    const uint32_t w = 1600, h = 1000;
    PxImage img(w, h, 24);
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = img.GetBits(h - 1 - y);
        for (uint32_t x = 0; x < w; ++x) {
            const double hill = 620 + 90 * std::sin(x / 210.0) + 40 * std::sin(x / 57.0);
            const bool sun = std::hypot(x - 1180.0, y - 260.0) < 110;
            const bool post = x % 160 < 14 && y >= hill && y < hill + 160;
            uint8_t rgb[3] = {static_cast<uint8_t>(90 + y * 0.12), static_cast<uint8_t>(150 + y * 0.08),
                              static_cast<uint8_t>(235 - y * 0.05)};
            if (sun) rgb[0] = 250, rgb[1] = 200, rgb[2] = 60;
            else if (post) rgb[0] = 110, rgb[1] = 70, rgb[2] = 40;
            else if (y >= hill) rgb[0] = 40 + (x + y) % 23, rgb[1] = static_cast<uint8_t>(120 + (y - hill) * 0.1), rgb[2] = 50;
            row[3 * x] = rgb[2];
            row[3 * x + 1] = rgb[1];
            row[3 * x + 2] = rgb[0];
        }
    }
    PxMemFile stream;
    img.SetQuality(90);
    FILE* f = stream.Open() && img.Encode(&stream, PXIMAGE_FORMAT_JPG) ? std::fopen(path.c_str(), "wb") : nullptr;
    if (f == nullptr) return false;
    std::fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
    std::fclose(f);
    return true;
}

class DemoHost : public EditorHost {
public:
    explicit DemoHost(const Options& options) : options_(options) {}
    Editor* editor = nullptr;
    int calls = 0;
    bool lastCompleted = false;

    // The page's callback, on the window thread.
    void CallPage(UploadOutcome outcome) override {
        ++calls;
        lastCompleted = outcome == UploadOutcome::Complete;
        std::printf("%s(%s)\nresponse: %s\n", lastCompleted ? "onComplete" : "onError",
                    options_.argument.c_str(), Print(editor->GetResponse()).c_str());
        std::fflush(stdout);
        if (!options_.shot.empty() && options_.exitAfterUpload)
            SaveShot(*editor, options_.windowWidth, options_.windowHeight, options_.shot);
        if (options_.exitAfterUpload) PostQuitMessage(lastCompleted ? 0 : 1);
    }

private:
    const Options& options_;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Editor* editor = reinterpret_cast<Editor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kSubmitMessage && editor != nullptr) {
        editor->Submit();
        return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    LRESULT result = 0;
    if (editor != nullptr && editor->HandleMessage(msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MakeWindow(const Options& o) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"PixmendDemo";
    RegisterClassW(&wc);
    RECT frame{0, 0, o.windowWidth, o.windowHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    return CreateWindowW(wc.lpszClassName, L"pxdemo: Pixmend editor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                         nullptr, wc.hInstance, nullptr);
}

// What a page would do from script once the object exists.
void Configure(Editor& editor, const Options& o) {
    if (!o.url.empty()) editor.SetPostUrl(o.url);
    editor.SetClipWidth(o.clipWidth);
    editor.SetClipHeight(o.clipHeight);
    if (!o.type.empty()) editor.SetImageType(o.type);
    if (o.hasQuality) editor.SetJpegQuality(o.quality);
    if (!o.fileField.empty()) editor.SetFileFieldName(o.fileField);
    for (const auto& field : o.fields) editor.AddField(field.first, field.second);
    if (!o.picture.empty() && o.shots.empty()) editor.LoadPicture(o.picture);
}

void Pump(const std::function<bool()>& done) {
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The five states of the documentation's screenshots.
int Shots(Editor& editor, DemoHost& host, const Options& o) {
    const int w = o.windowWidth, h = o.windowHeight;
    const std::string dir = o.shots + "\\editor-";
    bool ok = SaveShot(editor, w, h, dir + "empty.png");
    editor.LoadPicture(o.picture);
    ok = SaveShot(editor, w, h, dir + "fitted.png") && ok;
    for (int i = 0; i < 3; ++i) editor.ZoomIn();
    HWND window = editor.GetWindow();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(w / 2, h / 2));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(w / 2 - 70, h / 2 - 50));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(w / 2 - 70, h / 2 - 50));
    ok = SaveShot(editor, w, h, dir + "zoomed-dragged.png") && ok;
    // Busy as during an upload: the percentage, the seven buttons disabled.
    editor.Canvas()->SetStatusText(PX_TEXT("42%"));
    editor.Canvas()->SetBusy(true);
    for (int i = 0; i < Editor::kCancel; ++i) editor.GetButton(static_cast<Editor::ButtonId>(i)).SetDisabled(1);
    ok = SaveShot(editor, w, h, dir + "busy.png") && ok;
    editor.Canvas()->SetBusy(false);
    for (int i = 0; i < Editor::kCancel; ++i) editor.GetButton(static_cast<Editor::ButtonId>(i)).SetDisabled(0);
    editor.Submit();
    Pump([&] { return host.calls > 0; });
    ok = SaveShot(editor, w, h, dir + "failed.png") && !host.lastCompleted && ok;
    return ok ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: pxdemo [--url URL] [--width W --height H] [--type jpg|png|bmp] [--quality Q]\n"
                 "              [--file-field NAME] [--argument TEXT] [--size WxH] [--submit]\n"
                 "              [--exit-after-upload] [--shot FILE.png] [name=value ...] [PICTURE]\n"
                 "       pxdemo --make-sample FILE.jpg\n"
                 "       pxdemo --shots FOLDER --url URL PICTURE\n");
    return 2;
}

bool ParseArgs(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&] { return std::wstring(argv[++i]); };
        if (arg == L"--submit") o.submit = true;
        else if (arg == L"--exit-after-upload") o.exitAfterUpload = true;
        else if (arg.rfind(L"--", 0) == 0 && !hasValue) return false;
        else if (arg == L"--url") o.url = Px(value());
        else if (arg == L"--width") o.clipWidth = _wtoi(value().c_str());
        else if (arg == L"--height") o.clipHeight = _wtoi(value().c_str());
        else if (arg == L"--type") o.type = Px(value());
        else if (arg == L"--quality") o.quality = _wtoi(value().c_str()), o.hasQuality = true;
        else if (arg == L"--file-field") o.fileField = Px(value());
        else if (arg == L"--argument") o.argument = WideToMultiByte(value(), true);
        else if (arg == L"--shot") o.shot = Narrow(value());
        else if (arg == L"--shots") o.shots = Narrow(value());
        else if (arg == L"--make-sample") o.sample = Narrow(value());
        else if (arg == L"--size") {
            if (swscanf(value().c_str(), L"%dx%d", &o.windowWidth, &o.windowHeight) != 2) return false;
        } else if (arg.rfind(L"--", 0) == 0) return false;
        else if (arg.find(L'=') != std::wstring::npos) {
            const size_t eq = arg.find(L'=');
            o.fields.emplace_back(Px(arg.substr(0, eq)), Px(arg.substr(eq + 1)));
        } else {
            o.picture = ToPath(arg, PxChar());
        }
    }
    return o.windowWidth > 0 && o.windowHeight > 0;
}

int Run(const Options& o) {
    if (!o.sample.empty()) return MakeSample(o.sample) ? 0 : 1;
    DemoHost host(o);
    Editor editor(host);
    host.editor = &editor;
    HWND window = MakeWindow(o);
    if (window == nullptr) return 2;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&editor));
    editor.AttachWindow(window);
    Configure(editor, o);
    ShowWindow(window, SW_SHOW);
    int status = 0;
    if (!o.shots.empty()) {
        status = Shots(editor, host, o);
    } else {
        if (o.submit) PostMessageW(window, kSubmitMessage, 0, 0);
        if (!o.shot.empty() && !o.exitAfterUpload) SaveShot(editor, o.windowWidth, o.windowHeight, o.shot);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        status = static_cast<int>(msg.wParam);
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    editor.DetachWindow();
    if (IsWindow(window)) DestroyWindow(window);
    return status;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (argv == nullptr || !ParseArgs(argc, argv, options)) return Usage();
    LocalFree(argv);
    setvbuf(stdout, nullptr, _IONBF, 0);
    return Run(options);
}
