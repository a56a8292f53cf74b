// canvas_tool: shows the canvas panel in a real window, the way the editor
// lays it out (800 x 600 client area, canvas margins 1, 60, 1, 40).
//
//   canvas_tool shots <folder>   renders four states to PNG screenshots:
//                                canvas-empty, canvas-fitted,
//                                canvas-zoomed-dragged, canvas-busy
//   canvas_tool time [count]     times full paints of a 6000 x 4000 picture
//                                into a memory bitmap, and one drag move
//
// The screenshots are read back from the window's own device context after
// it painted, so they show what reached the window.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "editor/CanvasPanel.h"
#include "image/PxFile.h"
#include "ui/Drawing.h"
#include "ui/GdiHandles.h"
#include "ui/ImageLister.h"

using namespace Corvane::UI;

namespace {

constexpr int kClientW = 800;
constexpr int kClientH = 600;

// Stands in for the editor: the root control over the window's client area.
class Root : public ControlBase {
public:
    Root() { SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight); }
};

struct App {
    HWND window = nullptr;
    Root root;
    CanvasPanel* canvas = nullptr;
};
App* g_app = nullptr;

// One frame as the editor window paints it: bands, then the controls, into
// a back buffer copied to the target in one go.
void PaintFrame(HDC target) {
    MemoryDC back(target);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, kClientW, kClientH));
    ScopedSelect select(back.Get(), bitmap.Get());
    FillSolid(back.Get(), RECT{0, 0, kClientW, kClientH}, RGB(0xEE, 0xEE, 0xEE));
    FillSolid(back.Get(), RECT{0, 0, kClientW, 60}, RGB(0x3A, 0x4A, 0x5C));
    {
        ScopedGraphics graphics(back.Get());
        CPaintEventArgs args(back.Get(), graphics.Get());
        g_app->root.OnPaint(args);
    }
    BitBlt(target, 0, 0, kClientW, kClientH, back.Get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (g_app && g_app->canvas)
            PaintFrame(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// A made-up landscape: sky, sun, hills and a grid of fence posts, so that
// zoom, position and rotation are easy to see.
PxImage MakePicture(uint32_t w, uint32_t h) {
    PxImage img(w, h, 24);
    const double sx = w / 1600.0, sy = h / 1000.0;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = img.GetBits(h - 1 - y);
        const double fy = y / sy;
        for (uint32_t x = 0; x < w; ++x) {
            const double fx = x / sx;
            const double hill = 620 + 90 * std::sin(fx / 210.0) + 40 * std::sin(fx / 57.0);
            const double sun = std::hypot(fx - 1180, fy - 260);
            uint8_t r, g, b;
            if (sun < 110) {
                r = 250; g = 200; b = 60;
            } else if (fy < hill) {
                r = static_cast<uint8_t>(90 + fy * 0.12);
                g = static_cast<uint8_t>(150 + fy * 0.08);
                b = static_cast<uint8_t>(235 - fy * 0.05);
            } else {
                const bool post = static_cast<int>(fx) % 160 < 14 && fy < hill + 160;
                r = post ? 110 : static_cast<uint8_t>(40 + (static_cast<int>(fx + fy) % 23));
                g = post ? 70 : static_cast<uint8_t>(120 + (fy - hill) * 0.1);
                b = post ? 40 : 50;
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
    return img;
}

// Writes the picture as a JPEG file for the canvas to open like a user's file.
std::wstring WritePictureFile(const PxImage& picture) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"pixmend-canvas-tool.jpg";
    PxImage copy(picture);
    PxMemFile stream;
    stream.Open();
    copy.SetQuality(92);
    copy.Encode(&stream, PXIMAGE_FORMAT_JPG);
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
        fclose(f);
    }
    return path;
}

// The temporary folder's path is plain ASCII under Wine, so a per-unit copy
// serves both text types.
void OpenFile(CanvasPanel& canvas, const std::wstring& path) {
    const PxString name(path.begin(), path.end());
    canvas.OpenPicture(name.c_str());
}

// CPU milliseconds used by this thread so far (wall time is unreliable
// on a machine shared with builds).
double CpuNow() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// Reads the window's client area back and saves it as PNG.
bool Capture(HWND hwnd, const std::string& file) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    WindowDC window(hwnd);
    HDC windowDc = window.Get();
    MemoryDC mem(windowDc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kClientW;
    bi.bmiHeader.biHeight = kClientH;  // bottom-up, as PxImage stores rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        ScopedSelect select(mem.Get(), dib.Get());
        BitBlt(mem.Get(), 0, 0, kClientW, kClientH, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
    }
    window.Reset();
    if (!bits)
        return false;
    PxImage shot(kClientW, kClientH, 24);
    std::memcpy(shot.GetBits(0), bits, shot.GetEffWidth() * kClientH);
    PxMemFile stream;
    stream.Open();
    if (!shot.Encode(&stream, PXIMAGE_FORMAT_PNG))
        return false;
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return false;
    const size_t n = fwrite(stream.GetBuffer(false), 1, static_cast<size_t>(stream.Size()), f);
    fclose(f);
    std::printf("wrote %s\n", file.c_str());
    return n == static_cast<size_t>(stream.Size());
}

void Mouse(void (ControlBase::*handler)(CMouseEventArgs&), int x, int y) {
    CMouseEventArgs e(1, x, y);
    (g_app->root.*handler)(e);
}

int Shots(const std::string& folder) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"PixmendCanvasTool";
    RegisterClassW(&wc);
    RECT frame{0, 0, kClientW, kClientH};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = CreateWindowW(wc.lpszClassName, L"Pixmend canvas", WS_OVERLAPPEDWINDOW, 0, 0,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              instance, nullptr);
    if (!hwnd)
        return 2;
    g_app->window = hwnd;
    g_app->root.SetHwnd(hwnd);
    CanvasPanel canvas;
    canvas.SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    canvas.SetMargins(1, 60, 1, 40);
    canvas.SetParent(&g_app->root);
    canvas.SetClipSize(300, 200);
    g_app->canvas = &canvas;
    ShowWindow(hwnd, SW_SHOW);
    g_app->root.Layout();

    bool ok = Capture(hwnd, folder + "/canvas-empty.png");
    OpenFile(canvas, WritePictureFile(MakePicture(1600, 1000)));
    ok = Capture(hwnd, folder + "/canvas-fitted.png") && ok;
    for (int i = 0; i < 3; ++i)
        canvas.ZoomIn();
    Mouse(&ControlBase::OnMouseDown, 400, 300);
    Mouse(&ControlBase::OnMouseMove, 330, 250);
    Mouse(&ControlBase::OnMouseUp, 330, 250);
    ok = Capture(hwnd, folder + "/canvas-zoomed-dragged.png") && ok;
    canvas.SetStatusText(PX_TEXT("42%"));
    canvas.SetBusy(true);
    ok = Capture(hwnd, folder + "/canvas-busy.png") && ok;
    canvas.SetParent(nullptr);
    g_app->canvas = nullptr;
    DestroyWindow(hwnd);
    return ok ? 0 : 1;
}

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

int Time(int count) {
    CanvasPanel canvas;
    canvas.SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    canvas.SetMargins(1, 60, 1, 40);
    // No window: the root's parent rectangle is the client area itself.
    class Sized : public Root {
    public:
        RECT GetParentRect() override { return RECT{0, 0, kClientW, kClientH}; }
    } root;
    canvas.SetParent(&root);
    root.Layout();

    const std::wstring file = WritePictureFile(MakePicture(6000, 4000));
    double t = Now();
    const double openCpu = CpuNow();
    OpenFile(canvas, file);
    std::printf("OpenPicture 6000x4000 JPEG (decode and fit): %.1f ms wall, %.1f ms CPU\n",
                Now() - t, CpuNow() - openCpu);

    MemoryDC mem(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kClientW;
    bi.bmiHeader.biHeight = -kClientH;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedSelect select(mem.Get(), dib.Get());
    auto paint = [&](const char* what) {
        const double start = Now(), cpu = CpuNow();
        for (int i = 0; i < count; ++i) {
            ScopedGraphics graphics(mem.Get());
            CPaintEventArgs args(mem.Get(), graphics.Get());
            root.OnPaint(args);
        }
        GdiFlush();
        std::printf("OnPaint %-28s %.2f ms wall, %.2f ms CPU (mean of %d)\n", what,
                    (Now() - start) / count, (CpuNow() - cpu) / count, count);
    };
    // The steps of one paint, each repeated on its own.
    auto step = [&](const char* what, auto&& body) {
        const double start = Now(), cpu = CpuNow();
        for (int i = 0; i < count; ++i)
            body();
        GdiFlush();
        std::printf("  step %-32s %.2f ms wall, %.2f ms CPU\n", what, (Now() - start) / count,
                    (CpuNow() - cpu) / count);
    };
    auto breakdown = [&]() {
        HDC dc = mem.Get();
        const RECT& b = canvas.GetBounds();
        const RECT origin = canvas.Model().Geometry().ImageRect();
        const RECT frame = canvas.Model().Geometry().FrameRect();
        DisplayImage& display = canvas.Model().Display();
        step("DrawBackground", [&] { canvas.DrawBackground(dc); });
        step("display Draw, natural size", [&] {
            display.Draw(dc, origin.left, origin.top, -1, -1, nullptr, false);
        });
        step("FillTranslucent", [&] { FillTranslucent(dc, RGB(255, 255, 255), 70, b); });
        {
            // The blend alone, from a white bitmap made once.
            const int w = b.right - b.left, h = b.bottom - b.top;
            MemoryDC white(dc);
            GdiObject<HBITMAP> bmp(CreateCompatibleBitmap(dc, w, h));
            ScopedSelect sel(white.Get(), bmp.Get());
            FillSolid(white.Get(), RECT{0, 0, w, h}, RGB(255, 255, 255));
            const BLENDFUNCTION blend{AC_SRC_OVER, 0, 70, 0};
            step("AlphaBlend only", [&] {
                GdiAlphaBlend(dc, b.left, b.top, w, h, white.Get(), 0, 0, w, h, blend);
            });
        }
        step("display Draw, clipped to frame", [&] {
            display.Draw(dc, origin.left, origin.top, -1, -1, &frame, true);
        });
        step("FrameSolid", [&] { FrameSolid(dc, frame, CanvasPanel::kFrameColour); });
    };
    paint("zoom 1.0 (798x532 display)");
    breakdown();
    for (int i = 0; i < 15; ++i) {
        t = Now();
        const double cpu = CpuNow();
        canvas.ZoomIn();
        std::printf("ZoomIn to %.1f: %.1f ms wall, %.1f ms CPU\n", canvas.Model().Geometry().Zoom(),
                    Now() - t, CpuNow() - cpu);
    }
    paint("zoom 4.0 (3192x2128 display)");
    breakdown();
    CMouseEventArgs down(1, 400, 300);
    root.OnMouseDown(down);
    t = Now();
    const double dragCpu = CpuNow();
    for (int i = 0; i < count; ++i) {
        CMouseEventArgs move(1, 400 - (i % 2) * 20, 300);
        root.OnMouseMove(move);
        ScopedGraphics graphics(mem.Get());
        CPaintEventArgs args(mem.Get(), graphics.Get());
        root.OnPaint(args);
    }
    GdiFlush();
    std::printf("drag move + OnPaint at zoom 4.0:   %.2f ms wall, %.2f ms CPU (mean of %d)\n",
                (Now() - t) / count, (CpuNow() - dragCpu) / count, count);
    CMouseEventArgs up(1, 400, 300);
    root.OnMouseUp(up);
    canvas.SetStatusText(PX_TEXT("42%"));
    canvas.SetBusy(true);
    paint("busy at zoom 4.0");
    canvas.SetParent(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    GdiplusSession gdiplus;
    if (!gdiplus.IsStarted()) {
        std::fprintf(stderr, "GDI+ did not start\n");
        return 2;
    }
    ImageLister::Instance().LoadAll();  // the canvas tile (npPixmend)
    App app;
    g_app = &app;
    int status = 2;
    if (argc >= 3 && std::strcmp(argv[1], "shots") == 0)
        status = Shots(argv[2]);
    else if (argc >= 2 && std::strcmp(argv[1], "time") == 0)
        status = Time(argc >= 3 ? std::atoi(argv[2]) : 50);
    else
        std::fprintf(stderr, "usage: canvas_tool shots <folder> | time [count]\n");
    g_app = nullptr;
    ImageLister::Instance().Clear();
    return status;
}
