// The editor controller: construction and teardown, the controls, settings,
// commands and the upload's confirmation flow. Window messages and painting
// are in EditorWindow_win.cpp.
#include "editor/Editor.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "editor/ClipExport.h"
#include "editor/EditorInput.h"
#include "editor/OpenDialog.h"
#include "support/Convert.h"
#include "ui/ImageLister.h"

using namespace Corvane::UI;
using Corvane::UI::Controls::Button;

namespace {

// Editors attached to a window in this process (all on window threads).
// The skin store is shared, so only the last one to detach clears it.
std::atomic<int> g_attachedEditors{0};

struct ButtonLayout {
    Editor::ButtonId id;
    const char* normal;
    const char* hover;
    const char* down;
    int32_t width, height;
    uint32_t anchors;
    int32_t left, top, right, bottom;
    void (Editor::*command)();
};

// The toolbar and bottom bar. The rotate-left button overlaps the zoom-out
// button by one pixel (96 + 47 > 142); pages have been laid out around it.
const ButtonLayout kButtons[] = {
    {Editor::kOpen, "btnOpen", "btnOpenHover", "btnOpenDown", 47, 50, AnchorTop | AnchorLeft,
     2, 2, 0, 0, nullptr},
    {Editor::kZoomIn, "btnMax", "btnMaxHover", "btnMaxDown", 47, 50, AnchorTop | AnchorLeft,
     49, 2, 0, 0, &Editor::ZoomIn},
    {Editor::kZoomOut, "btnMin", "btnMinHover", "btnMinDown", 47, 50, AnchorTop | AnchorLeft,
     96, 2, 0, 0, &Editor::ZoomOut},
    {Editor::kRotateLeft, "btnRotationL", "btnRotationLHover", "btnRotationLDown", 47, 50,
     AnchorTop | AnchorLeft, 142, 2, 0, 0, &Editor::RotateLeft},
    {Editor::kRotateRight, "btnRotationR", "btnRotationRHover", "btnRotationRDown", 47, 50,
     AnchorTop | AnchorLeft, 190, 2, 0, 0, &Editor::RotateRight},
    {Editor::kReset, "btnReset", "btnResetHover", "btnResetDown", 47, 50, AnchorTop | AnchorRight,
     0, 2, 2, 0, &Editor::ResetView},
    {Editor::kOk, "btnOk", "btnOkHover", "btnOkHover", 56, 22, AnchorBottom | AnchorLeft,
     70, 0, 0, 8, &Editor::Submit},
    {Editor::kCancel, "btnCancel", "btnCancelHover", "btnCancelHover", 56, 22,
     AnchorBottom | AnchorLeft, 167, 0, 0, 8, &Editor::Cancel},
};

[[maybe_unused]] UINT QueryDropName(HDROP drop, UINT index, char* buffer, UINT size) {
    return DragQueryFileA(drop, index, buffer, size);
}
[[maybe_unused]] UINT QueryDropName(HDROP drop, UINT index, wchar_t* buffer, UINT size) {
    return DragQueryFileW(drop, index, buffer, size);
}

[[maybe_unused]] DWORD FileAttributes(const char* name) { return GetFileAttributesA(name); }
[[maybe_unused]] DWORD FileAttributes(const wchar_t* name) { return GetFileAttributesW(name); }

}  // namespace

Editor::Editor(EditorHost& host) : host_(host), alive_(std::make_shared<bool>(true)) {
    SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    stream_.Open();
}

Editor::~Editor() {
    *alive_ = false;
    StopUploadAndJoin();
    DetachWindow();
    for (Button& button : buttons_) button.SetParent(nullptr);
    if (canvas_) canvas_->SetParent(nullptr);
    canvas_.reset();
    stream_.Close();
}

void Editor::StopUploadAndJoin() {
    if (!poster_) return;
    // Taken out first: a progress message answered during the waits below
    // finds no uploader and does nothing.
    std::unique_ptr<HttpPoster> poster = std::move(poster_);
    poster->Stop();
    // Both waits keep answering messages sent to this thread, so a worker
    // inside its synchronous progress message finishes instead of
    // deadlocking. Once the sink is detached no event arrives any more.
    poster->SetEventSink(nullptr);
    finishPending_ = false;
    poster.reset();
}

bool Editor::AttachWindow(HWND window) {
    if (window == nullptr) return false;
    if (GetWindow() != nullptr && GetWindow() != window) DetachWindow();
    const bool wasAttached = GetWindow() == window;
    hostWindow_ = window;
    SetHwnd(window);
    if (!wasAttached) ++g_attachedEditors;
    ImageLister::Instance().LoadAll();
    CreateControls();
    AdoptChildren();
    OnWindowSize();
    if (!dropRegistered_) {
        // RegisterDragDrop needs OLE on this thread; a thread already in
        // another apartment model keeps it and is not uninitialised later.
        oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
        dropRegistered_ = SUCCEEDED(RegisterDragDrop(window, static_cast<IDropTarget*>(this)));
        if (!dropRegistered_ && oleInitialized_) {
            OleUninitialize();
            oleInitialized_ = false;
        }
    }
    // An upload that ended while no window was attached finishes now.
    if (finishPending_) PostMessageW(window, kFinishMessage, 0, 0);
    return true;
}

void Editor::AdoptChildren() {
    // SetParent hands a child the root's window; re-parenting in order keeps
    // the children's order.
    const std::vector<ControlBase*> children = GetChildren();
    for (ControlBase* child : children) child->SetParent(this);
}

void Editor::CreateControls() {
    if (controlsBuilt_) {
        // Attached again: the detach released the canvas's tile.
        canvas_->ReloadBackground();
        return;
    }
    controlsBuilt_ = true;
    canvas_.reset(new CanvasPanel());
    canvas_->SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    canvas_->SetMargins(1, 60, 1, 40);
    canvas_->SetParent(this);
    for (const ButtonLayout& b : kButtons) {
        Button& button = buttons_[b.id];
        button.SetImages(b.normal, b.hover, b.down, b.normal);
        button.SetSize(b.width, b.height);
        button.SetAnchors(b.anchors);
        button.SetMargins(b.left, b.top, b.right, b.bottom);
        button.Initialize(this, PxString());
        if (b.command != nullptr)
            button.Click.Connect(this, b.command);
        else
            button.Click.Connect(this, &Editor::OpenDialogFromButton);
    }
    if (settings_.clipWidth > 0) canvas_->SetClipSize(settings_.clipWidth, settings_.clipHeight);
}

void Editor::DetachWindow() {
    HWND window = GetWindow();
    if (window == nullptr) return;
    OnDestroy();  // every control releases its pictures
    if (--g_attachedEditors == 0) ImageLister::Instance().Clear();
    if (dropRegistered_) {
        RevokeDragDrop(window);
        if (oleInitialized_) OleUninitialize();
        dropRegistered_ = false;
        oleInitialized_ = false;
    }
    if (GetCapture() == window) {
        releasingCapture_ = true;
        ReleaseCapture();
        releasingCapture_ = false;
    }
    hostWindow_ = nullptr;
    SetHwnd(nullptr);
    AdoptChildren();
}

void Editor::SetPostUrl(const PxString& url) { settings_.postUrl = url; }

void Editor::SetClipWidth(int width) { settings_.clipWidth = width; }

void Editor::SetClipHeight(int height) {
    settings_.clipHeight = height;
    if (settings_.clipWidth > 0 && canvas_) canvas_->SetClipSize(settings_.clipWidth, height);
}

void Editor::SetImageType(const PxString& type) {
    settings_.imageType = type;
    ToLower(settings_.imageType);
}

void Editor::SetJpegQuality(int quality) {
    settings_.jpegQuality = quality;
    settings_.jpegQualitySet = true;
}

void Editor::SetFileFieldName(const PxString& name) { settings_.fileFieldName = name; }

void Editor::AddField(const PxString& name, const PxString& value) { settings_.fields.Set(name, value); }

void Editor::ClearFields() { settings_.fields.Clear(); }

void Editor::OpenDialogFromButton() {
    // The dialog runs from the window's own message, not inside the button's
    // click: a host that destroys the editor while the dialog is up then
    // unwinds through no control that is gone.
    if (HWND window = GetWindow()) PostMessageW(window, kOpenDialogMessage, 0, 0);
}

void Editor::ShowOpenDialog(const PxString& initialFolder) {
    OpenDialogSetup setup(GetActiveWindow(), initialFolder);
    std::shared_ptr<bool> alive = alive_;
    PxString path;
    const bool chosen = RunOpenDialog(setup, path);
    if (!*alive || !chosen) return;
    LoadPicture(path);
}

void Editor::LoadPicture(const PxString& path) {
    if (canvas_) canvas_->OpenPicture(path.c_str());
}

void Editor::OpenDroppedFile(HDROP drop) {
    if (uploadState_ == Uploading || drop == nullptr) return;
    if (QueryDropName(drop, 0xFFFFFFFF, static_cast<PxChar*>(nullptr), 0) == 0) return;
    const UINT length = QueryDropName(drop, 0, static_cast<PxChar*>(nullptr), 0);
    if (length == 0) return;
    std::vector<PxChar> buffer(length + 1);
    if (QueryDropName(drop, 0, buffer.data(), length + 1) == 0) return;
    const PxString name(buffer.data());
    // Folders may be named like pictures; only files are opened.
    const DWORD attributes = FileAttributes(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (!IsPictureFileName(name)) return;
    LoadPicture(name);
}

void Editor::ZoomIn() {
    if (canvas_) canvas_->ZoomIn();
}
void Editor::ZoomOut() {
    if (canvas_) canvas_->ZoomOut();
}
void Editor::RotateLeft() {
    if (canvas_) canvas_->RotateLeft();
}
void Editor::RotateRight() {
    if (canvas_) canvas_->RotateRight();
}
void Editor::ResetView() {
    if (canvas_) canvas_->ResetView();
}
void Editor::Cancel() {}

void Editor::SetButtonsDisabled(bool disabled) {
    for (int i = 0; i < kButtonCount; ++i)
        if (i != kCancel) buttons_[i].SetDisabled(disabled ? 1 : 0);
}

bool Editor::EncodeCut(PxImage& cut) {
    if (!cut.IsValid() || cut.GetWidth() == 0 || cut.GetHeight() == 0) return false;
    if (!EncodeForUpload(cut, settings_.imageType, settings_.jpegQuality, stream_)) return false;
    return stream_.Size() > 0;
}

void Editor::Submit() {
    if (!canvas_ || uploadState_ == Uploading || finishPending_ || callingPage_) return;
    PxImage cut;
    if (!canvas_->ExportClip(cut)) return;
    const int32_t width = static_cast<int32_t>(cut.GetWidth());
    const int32_t height = static_cast<int32_t>(cut.GetHeight());
    // Encoded before anything visible changes: an empty cut or a failed
    // encode is treated like no picture at all.
    if (!EncodeCut(cut)) return;
    settings_.response.clear();
    canvas_->SetStatusText(PX_TEXT("0%"));
    canvas_->SetBusy(true);
    SetButtonsDisabled(true);
    uploadState_ = Uploading;
    host_.UploadStarting();
    StartPost(width, height);
}

void Editor::StartPost(int32_t width, int32_t height) {
    if (!poster_) {
        // The first address is kept for every later upload of this editor.
        poster_.reset(CreatePoster(settings_.postUrl));
        poster_->SetEventSink(this);
        poster_->SetUrl(settings_.postUrl);
    }
    poster_->SetFileFieldName(settings_.fileFieldName);
    HttpForm& form = poster_->GetForm();
    form.ClearFields();
    for (const EditorFields::Field& field : settings_.fields.Items()) form.AddField(field.first, field.second);
    form.AddIntField(PX_TEXT("width"), width);
    form.AddIntField(PX_TEXT("height"), height);
    poster_->Post(&stream_, PX_TEXT("img.") + settings_.imageType);
}

void Editor::EndFromWorker(UploadOutcome outcome) {
    outcome_ = static_cast<int>(outcome);
    finishPending_ = true;
    if (host_.ScheduleFinish(*this)) return;
    if (HWND window = GetWindow()) PostMessageW(window, kFinishMessage, 0, 0);
}

void Editor::OnPostComplete(int) { EndFromWorker(UploadOutcome::Complete); }

void Editor::OnPostError(int, int) { EndFromWorker(UploadOutcome::Error); }

void Editor::OnPostProgress(int, int, PxString) {
    if (HWND window = GetWindow()) SendMessageW(window, kProgressMessage, 0, 0);
}

void Editor::OnProgress() {
    if (poster_ && canvas_ && uploadState_ == Uploading) canvas_->SetStatusText(poster_->GetPercentText());
}

void Editor::FinishUpload() {
    // Not during teardown: the waits there may dispatch a queued finish.
    if (!*alive_ || !finishPending_.exchange(false)) return;
    const UploadOutcome outcome = static_cast<UploadOutcome>(outcome_.load());
    uploadState_ = outcome == UploadOutcome::Complete ? Idle : Failed;
    if (canvas_) canvas_->SetBusy(false);
    SetButtonsDisabled(false);
    if (outcome == UploadOutcome::Complete && poster_) settings_.response = poster_->GetResponse();
    std::shared_ptr<bool> alive = alive_;
    callingPage_ = true;
    host_.CallPage(outcome);
    if (*alive) callingPage_ = false;
}
