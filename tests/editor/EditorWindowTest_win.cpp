// The editor in a real window under Wine: layout, background, buttons,
// wheel, drag with capture, drag and drop, the open dialog, two editors.
#include <gtest/gtest.h>

#include <memory>

#include "editor/EditorInput.h"
#include "editor/OpenDialog.h"
#include "tests/editor/CanvasPaintTestSupport.h"
#include "tests/editor/EditorTestSupport.h"
#include "ui/ImageLister.h"
// After windows.h: the dialog's control ids need its types.
#include <dlgs.h>

using namespace editor_test;

namespace {

bool Is(const RECT& r, RECT want) { return EqualRect(&r, &want) != FALSE; }

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        picture_ = WritePicture("editor-window.jpg", 900, 600);
        ASSERT_FALSE(picture_.empty());
        h_.editor.LoadPicture(Px(picture_));
    }
    const CanvasGeometry& Geometry() { return h_.editor.Canvas()->Model().Geometry(); }

    Harness h_;
    std::string picture_;
};

}  // namespace

TEST_F(EditorWindow, ChildrenLaidOutAtAttachAndOnResize) {
    // Attached to a window that was already sized: no WM_SIZE was routed.
    const RECT kButtons[] = {{2, 2, 49, 52},    {49, 2, 96, 52},    {96, 2, 143, 52},
                             {142, 2, 189, 52}, {190, 2, 237, 52},  {551, 2, 598, 52},
                             {70, 470, 126, 492}, {167, 470, 223, 492}};  // in ButtonId order
    for (int i = 0; i < Editor::kButtonCount; ++i)
        EXPECT_TRUE(Is(h_.editor.GetButton(static_cast<Editor::ButtonId>(i)).GetBounds(), kButtons[i])) << i;
    EXPECT_TRUE(Is(h_.editor.Canvas()->GetBounds(), {1, 60, 599, 460}));
    const auto& children = h_.editor.GetChildren();
    ASSERT_EQ(children.size(), 9u);  // painting and routing order
    EXPECT_EQ(children[0], h_.editor.Canvas());
    EXPECT_EQ(children[8], &h_.editor.GetButton(Editor::kCancel));
    // Re-activation builds nothing twice.
    CanvasPanel* canvas = h_.editor.Canvas();
    EXPECT_TRUE(h_.editor.AttachWindow(h_.window));
    EXPECT_EQ(h_.editor.Canvas(), canvas);
    EXPECT_EQ(h_.editor.GetChildren().size(), 9u);
    EXPECT_FALSE(h_.editor.AttachWindow(nullptr));

    RECT frame{0, 0, 800, 300};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(h_.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(Is(h_.editor.Canvas()->GetBounds(), {1, 60, 799, 260}));
    EXPECT_TRUE(Is(h_.editor.GetButton(Editor::kReset).GetBounds(), {751, 2, 798, 52}));
    EXPECT_TRUE(Is(h_.editor.GetButton(Editor::kOk).GetBounds(), {70, 270, 126, 292}));
}

TEST_F(EditorWindow, BackgroundBandsAndOutline) {
    canvas_test::Surface surface(600, 500);
    h_.editor.PaintTo(surface.Dc(), RECT{0, 0, 600, 500});
    GdiFlush();
    const uint32_t outline = 0x9ABBE5, bar = 0xECF0F9;
    const struct {
        int x, y;
        uint32_t rgb;
    } kPixels[] = {
        {0, 0, outline},    {599, 250, outline}, {0, 499, outline},  {300, 0, outline},
        {300, 59, outline}, {300, 460, outline}, {300, 499, outline}, {400, 480, bar},
        {30, 480, bar},     {580, 470, bar},
    };
    for (const auto& k : kPixels)
        EXPECT_EQ(surface.At(k.x, k.y), k.rgb) << k.x << "," << k.y << ": " << std::hex << surface.At(k.x, k.y);
    // Between the buttons the band shows the "top-bk" skin picture.
    ASSERT_TRUE(Corvane::UI::ImageLister::Instance().Find("top-bk")->IsValid());
    EXPECT_NE(surface.At(400, 30), 0xFFFFFFu);
}

TEST_F(EditorWindow, EveryButtonHoversPressesAndRunsItsCommand) {
    const float fitted = Geometry().Zoom();
    float last = fitted;
    auto portrait = [&] {
        const CanvasSize size = h_.editor.Canvas()->Model().Display().Size();
        return size.width < size.height;  // the picture is 900 x 600
    };
    const struct {
        Editor::ButtonId id;
        std::string normal;
        std::function<bool()> ran;
    } kButtons[] = {
        {Editor::kZoomIn, "btnMax", [&] { return Geometry().Zoom() > last; }},
        {Editor::kReset, "btnReset", [&] { return Geometry().Zoom() == fitted; }},
        {Editor::kZoomOut, "btnMin", [&] { return Geometry().Zoom() < last; }},
        {Editor::kRotateLeft, "btnRotationL", portrait},
        {Editor::kRotateRight, "btnRotationR", [&] { return !portrait(); }},
        {Editor::kCancel, "btnCancel", [] { return true; }},
        {Editor::kOpen, "btnOpen", [&] {  // the dialog is posted, not run inside the click
             MSG m;
             return PeekMessageW(&m, h_.window, Editor::kOpenDialogMessage, Editor::kOpenDialogMessage,
                                 PM_REMOVE) != FALSE;
         }},
    };
    for (const auto& k : kButtons) {
        Corvane::UI::Controls::Button& b = h_.editor.GetButton(k.id);
        last = Geometry().Zoom();
        const RECT r = b.GetBounds();
        const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
        h_.Send(WM_MOUSEMOVE, x, y);
        EXPECT_EQ(b.CurrentImageName(), k.normal + "Hover");
        h_.Send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        EXPECT_EQ(b.CurrentImageName(), k.normal + (k.id == Editor::kCancel ? "Hover" : "Down"));
        EXPECT_EQ(GetCapture(), h_.window);
        h_.Send(WM_LBUTTONUP, x, y);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_TRUE(k.ran()) << k.normal;
        h_.Send(WM_MOUSEMOVE, 300, 300);
        EXPECT_EQ(b.CurrentImageName(), k.normal);
    }
}

TEST_F(EditorWindow, WheelZoomsAndDragHoldsTheCaptureUntilReleaseOrLoss) {
    // The wheel's position is in screen coordinates and not used: over the
    // toolbar it zooms the canvas all the same.
    const float fitted = Geometry().Zoom();
    SendMessageW(h_.window, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(20, 20));
    EXPECT_LT(Geometry().Zoom(), fitted);
    for (int i = 0; i < 3; ++i) SendMessageW(h_.window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_GT(Geometry().Zoom(), fitted);
    for (bool lost : {false, true}) {
        const RECT before = Geometry().ImageRect();
        h_.Send(WM_LBUTTONDOWN, 300, 250, MK_LBUTTON);
        EXPECT_EQ(GetCapture(), h_.window);
        h_.Send(WM_MOUSEMOVE, 280, 240, MK_LBUTTON);
        const RECT moved = Geometry().ImageRect();
        EXPECT_EQ(moved.left - before.left, -20);
        EXPECT_EQ(moved.top - before.top, -10);
        if (lost) {
            HWND other = MakeWindow(100, 100);
            SetCapture(other);  // alt-tab: another window takes the mouse
            DestroyWindow(other);
        } else {
            h_.Send(WM_LBUTTONUP, -40, 700);  // released outside the window
        }
        EXPECT_FALSE(Geometry().Dragging()) << lost;
        EXPECT_NE(GetCapture(), h_.window);
        h_.Send(WM_MOUSEMOVE, 200, 200);
        EXPECT_TRUE(EqualRect(&Geometry().ImageRect(), &moved)) << lost;
    }
    // A button press cut short by a lost capture clicks nothing.
    const float zoom = Geometry().Zoom();
    const RECT r = h_.editor.GetButton(Editor::kZoomIn).GetBounds();
    h_.Send(WM_LBUTTONDOWN, r.left + 5, r.top + 5, MK_LBUTTON);
    ReleaseCapture();
    h_.Send(WM_LBUTTONUP, r.left + 5, r.top + 5);
    EXPECT_EQ(Geometry().Zoom(), zoom);
}

TEST(EditorDrop, WhichDropsOpenAndWhichEffects) {
    const std::string upper = WritePicture("editor-drop-UPPER.JPG", 320, 200);
    const std::string png = WritePicture("editor-drop.png", 240, 180, PXIMAGE_FORMAT_PNG);
    const std::string tif = WritePicture("editor-drop.tif", 100, 100, PXIMAGE_FORMAT_BMP);
    const std::string folder = UniqueTempName("editor-drop-folder.jpg");
    CreateDirectoryA(folder.c_str(), nullptr);
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    const struct {
        std::vector<std::string> files;  // empty: text only
        DWORD keys, permitted, drag, drop;
        uint32_t width;  // of the picture opened; 0 for none
    } kCases[] = {
        {{upper}, 0, both, DROPEFFECT_MOVE, DROPEFFECT_COPY, 320},
        {{upper}, MK_CONTROL, both, DROPEFFECT_COPY, DROPEFFECT_COPY, 320},
        {{upper}, MK_SHIFT, DROPEFFECT_COPY, DROPEFFECT_COPY, DROPEFFECT_COPY, 320},
        {{upper}, MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_MOVE, DROPEFFECT_NONE, 320},
        {{png, upper}, 0, both, DROPEFFECT_MOVE, DROPEFFECT_COPY, 240},
        {{tif}, 0, both, DROPEFFECT_MOVE, DROPEFFECT_COPY, 0},
        {{tif, png}, 0, both, DROPEFFECT_MOVE, DROPEFFECT_COPY, 0},
        {{folder}, 0, both, DROPEFFECT_MOVE, DROPEFFECT_COPY, 0},
        {{}, 0, both, DROPEFFECT_NONE, DROPEFFECT_NONE, 0},
    };
    for (const auto& k : kCases) {
        Harness h;
        IDropTarget* target = &h.editor;
        FileListData files(k.files);
        IDataObject* data = &files;
        DWORD effect = k.permitted;
        ASSERT_EQ(target->DragEnter(data, k.keys, POINTL{300, 300}, &effect), S_OK);
        EXPECT_EQ(effect, k.drag) << k.files.size() << " " << k.keys;
        effect = k.permitted;
        target->Drop(data, k.keys, POINTL{300, 300}, &effect);
        EXPECT_EQ(effect, k.drop) << k.files.size() << " " << k.keys;
        EXPECT_EQ(h.PictureWidth(), k.width) << (k.files.empty() ? "" : k.files[0]);
        // The target belongs to the editor: a stray Release frees nothing.
        target->Release();
        target->Release();
        IUnknown* again = nullptr;
        EXPECT_EQ(target->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    }
    RemoveDirectoryA(folder.c_str());
}

namespace {

// A drag source that drops at once, wherever the pointer is.
class DropAtOnce : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return DRAGDROP_S_DROP; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace

TEST(EditorDrop, RealDragAndDropIntoTheRegisteredTarget) {
    Harness h(600, 500, true);  // the pointer must be over a visible window
    const std::string picture = WritePicture("editor-real-drop.jpg", 900, 600);
    POINT centre{300, 300};
    ClientToScreen(h.window, &centre);
    SetForegroundWindow(h.window);
    SetCursorPos(centre.x, centre.y);
    FileListData files({picture});
    IDataObject* data = &files;
    DropAtOnce source;
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));  // never MOVE: the source keeps its file
    EXPECT_EQ(h.PictureWidth(), 900u);
}

namespace {

std::string g_dialogAnswer;  // path typed into the dialog; empty: cancel

void AnswerDialog(HWND dialog) {
    if (!g_dialogAnswer.empty()) {
        SetDlgItemTextA(dialog, cmb13, g_dialogAnswer.c_str());
        SetDlgItemTextA(dialog, edt1, g_dialogAnswer.c_str());
    }
    PostMessageW(dialog, WM_COMMAND, g_dialogAnswer.empty() ? IDCANCEL : IDOK, 0);
}

}  // namespace

TEST(EditorOpenDialog, StructureAsBuilt) {
    OpenDialogSetup setup(nullptr, PX_TEXT("C:\\pictures"));
    EXPECT_EQ(setup.ofn.lStructSize, sizeof(PxOpenFileName));  // Wine reports a 5.x+ system
    EXPECT_TRUE(setup.ofn.nMaxFile == 260 && setup.ofn.nMaxFileTitle == 256 && setup.ofn.nFilterIndex == 1);
    EXPECT_EQ(setup.ofn.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK |
                                                  OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    EXPECT_NE(setup.ofn.lpfnHook, nullptr);
    EXPECT_EQ(PxString(setup.ofn.lpstrInitialDir), PX_TEXT("C:\\pictures"));
    EXPECT_EQ(OpenDialogSetup(nullptr, PxString()).ofn.lpstrInitialDir, nullptr);
    const PxString kPairs[] = {PX_TEXT("*.bmp;*.gif;*.jpg;*.jpeg;*.png"), PX_TEXT("bmp"), PX_TEXT("*.bmp"),
                               PX_TEXT("gif"), PX_TEXT("*.gif"), PX_TEXT("jpg,jpeg"), PX_TEXT("*.jpg;*.jpeg"),
                               PX_TEXT("png"), PX_TEXT("*.png")};
    const PxChar* at = setup.ofn.lpstrFilter;
    const size_t list = PxString(at).find(PX_TEXT("(gif,png,jpg,bmp)"));
    EXPECT_TRUE(list != PxString::npos && list > 0);  // after the Chinese text
    for (const PxString& want : kPairs) {
        at += PxString(at).size() + 1;
        EXPECT_EQ(PxString(at), want);
    }
    EXPECT_EQ(at[PxString(at).size() + 1], PxChar());
    const struct {
        bool known;
        uint32_t major, minor;
        bool old;
    } kVersions[] = {{false, 10, 0, true}, {true, 4, 0, true}, {true, 4, 89, true},
                     {true, 4, 90, false}, {true, 5, 0, false}, {true, 3, 95, true}};
    for (const auto& k : kVersions) EXPECT_EQ(UsesOldOpenFileNameLayout(k.known, k.major, k.minor), k.old);
}

TEST(EditorOpenDialog, RealDialogOpensTheChosenFileOrNothing) {
    Harness h;
    SetOpenDialogObserver(AnswerDialog);
    g_dialogAnswer.clear();
    h.editor.ShowOpenDialog(PxString());
    EXPECT_EQ(h.PictureWidth(), 0u);
    g_dialogAnswer = WritePicture("editor-dialog.jpg", 420, 300);
    h.ClickButton(Editor::kOpen);  // posts; the window's message runs the dialog
    EXPECT_TRUE(PumpUntil([&] { return h.PictureWidth() == 420; }));
    SetOpenDialogObserver(nullptr);
}

TEST(EditorLifetime, TwoEditorsKeepTheirSkins) {
    auto first = std::make_unique<Harness>();
    Harness second(400, 300);
    first.reset();  // leaves the other editor's toolbar pictures alone
    const Corvane::UI::ImageLister& skins = Corvane::UI::ImageLister::Instance();
    ASSERT_NE(skins.Find("btnOk"), nullptr);
    EXPECT_TRUE(skins.Find("btnOk")->IsValid());
    second.editor.DetachWindow();  // the last one clears the store
    EXPECT_EQ(skins.Count(), 0u);
    EXPECT_FALSE(second.editor.Canvas()->Background().IsValid());
    second.editor.AttachWindow(second.window);  // re-activation loads them again
    EXPECT_TRUE(skins.Find("btnOk")->IsValid());
    EXPECT_TRUE(second.editor.Canvas()->Background().IsValid());
}
