#pragma once
// Editor: the one object a host creates per embedded editor. It holds what
// page script configured, builds the toolbar, canvas and bottom bar inside the
// host's window, turns clicks, drops and script calls into canvas commands,
// and runs the upload: cut, encode, fill the form, post, and report the
// outcome to the page through its host.
//
// Threads: everything runs on the window thread except the three upload
// events, which the uploader raises on its worker. The worker only records
// the outcome and asks for FinishUpload to run on the window thread; it never
// touches the canvas, the buttons or the settings.
//
// Ownership: the host owns the editor; the editor owns its canvas, buttons,
// uploader and encoded image. The host's window is borrowed between
// AttachWindow and DetachWindow; the host routes its messages to
// HandleMessage (the editor does not subclass it).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "editor/CanvasPanel.h"
#include "editor/DropTarget.h"
#include "editor/EditorHost.h"
#include "editor/EditorSettings.h"
#include "image/PxFile.h"
#include "support/Flavour.h"
#include "ui/Button.h"
#include "ui/ControlBase.h"
#include "ui/Drawing.h"
#include "ui/Signals.h"
#include "upload/HttpPoster.h"

enum UploadState { Idle = 0, Uploading = 1, Failed = 2 };

class Editor : public Corvane::UI::ControlBase,
               public Corvane::Signals::SlotOwner,
               public CIDropTargetImpl,
               private HttpPosterEvent {
public:
    // Private window messages. Progress is sent synchronously by the upload
    // thread; the finish is posted when the host cannot schedule it.
    static const UINT kProgressMessage = WM_USER + 100;
    static const UINT kFinishMessage = WM_USER + 101;
    static const UINT kOpenDialogMessage = WM_USER + 102;

    // Starts GDI+ for this editor.
    explicit Editor(EditorHost& host);
    // Stops a running upload and waits for its worker while still answering
    // the messages it sends, then detaches from the window and frees the
    // controls, the uploader and the encoded image.
    ~Editor() override;
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // False for a null window. Builds the controls on the first call only,
    // lays them out from the window's client rectangle and registers the
    // drop target. Does not subclass: the host routes messages.
    bool AttachWindow(HWND window);
    // Releases the pictures (the skin store's when this is the last attached
    // editor), revokes the drop target and forgets the window. The controls
    // stay built for a later AttachWindow.
    void DetachWindow();
    // One window message; true when the editor handled it (result is set).
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // Paints the whole editor (background, then the controls) through a
    // memory bitmap into dc; bounds is the area of dc the editor covers.
    void PaintTo(HDC dc, const RECT& bounds);
    HWND GetWindow() const { return hostWindow_.load(); }

    // Plain stores; the setters below add their side effects.
    EditorSettings& Settings() { return settings_; }
    void SetPostUrl(const PxString& url);
    void SetClipWidth(int width);
    // Gives the canvas the frame size when a width was set.
    void SetClipHeight(int height);
    // Stored lower-cased.
    void SetImageType(const PxString& type);
    void SetJpegQuality(int quality);
    void SetFileFieldName(const PxString& name);
    void AddField(const PxString& name, const PxString& value);
    void ClearFields();
    const PxString& GetResponse() const { return settings_.response; }

    // Runs the open-file dialog (initialFolder may be empty) and loads the
    // chosen file.
    void ShowOpenDialog(const PxString& initialFolder);
    void LoadPicture(const PxString& path);
    void ZoomIn();
    void ZoomOut();
    void RotateLeft();
    void RotateRight();
    void ResetView();
    // Cuts, encodes and posts the framed region. Does nothing without a
    // picture, with an empty cut, when encoding fails, while an upload runs
    // or while the page's callback of the last upload is still running.
    void Submit();
    // Connected to the Cancel button; has no effect.
    void Cancel();
    UploadState GetUploadState() const { return uploadState_; }
    // The outcome of the upload whose finish is pending; meaningful from
    // host.ScheduleFinish on (any thread) until FinishUpload.
    UploadOutcome PendingOutcome() const { return static_cast<UploadOutcome>(outcome_.load()); }
    // Window thread. Ends the upload whose final event arrived: state, busy
    // display off, buttons on, response copied, then host.CallPage. Does
    // nothing when no upload has ended since the last call.
    void FinishUpload();

    // The canvas (null before the first AttachWindow) and the buttons, for
    // hosts and tests that inspect the editor.
    CanvasPanel* Canvas() const { return canvas_.get(); }
    enum ButtonId { kOpen, kZoomIn, kZoomOut, kRotateLeft, kRotateRight, kReset, kOk, kCancel,
                    kButtonCount };
    Corvane::UI::Controls::Button& GetButton(ButtonId id) { return buttons_[id]; }

    // The root control paints the editor background, then its children.
    void OnPaint(Corvane::UI::CPaintEventArgs& e) override;

protected:
    void OpenDroppedFile(HDROP drop) override;

private:
    void CreateControls();
    void AdoptChildren();
    void SetButtonsDisabled(bool disabled);
    void OnWindowSize();
    void OnProgress();
    void OnMouseButton(UINT msg, LPARAM lp);
    void EndLostCapture();
    void OpenDialogFromButton();
    bool EncodeCut(PxImage& cut);
    void StartPost(int32_t width, int32_t height);
    void StopUploadAndJoin();
    // Upload thread: record the outcome, then ask for FinishUpload.
    void EndFromWorker(UploadOutcome outcome);

    // HttpPosterEvent, on the upload thread.
    void OnPostComplete(int reserved) override;
    void OnPostError(int reserved, int errorCode) override;
    void OnPostProgress(int tag, int bytesSent, PxString text) override;

    // Declared first so that GDI+ stops after every control is gone.
    Corvane::UI::GdiplusSession gdiplus_;
    EditorHost& host_;
    // Read by the upload thread to reach the window.
    std::atomic<HWND> hostWindow_{nullptr};
    EditorSettings settings_;
    std::unique_ptr<CanvasPanel> canvas_;
    Corvane::UI::Controls::Button buttons_[kButtonCount];
    bool controlsBuilt_ = false;
    bool dropRegistered_ = false;
    bool oleInitialized_ = false;
    // Set while ReleaseCapture runs for our own button release, so the
    // capture change it causes does not end the press a second time.
    bool releasingCapture_ = false;
    std::unique_ptr<HttpPoster> poster_;
    PxMemFile stream_;  // the encoded image of the current upload
    UploadState uploadState_ = Idle;
    std::atomic<bool> finishPending_{false};
    std::atomic<int> outcome_{0};  // UploadOutcome of the pending finish
    bool callingPage_ = false;
    // Cleared by the destructor. Code that calls out (the page's callback,
    // the modal dialog) keeps a copy and checks it before touching members
    // again, since the host may destroy the editor meanwhile.
    std::shared_ptr<bool> alive_;
};
