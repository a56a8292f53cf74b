#pragma once
// The seam between the editor and the host layer that embeds it (the NPAPI
// plug-in, the ActiveX control, pxdemo, the tests). The page's callables and
// its callback argument are script objects whose type only the host knows, so
// the host holds them; the editor tells it when to call them.
class Editor;

enum class UploadOutcome { Complete, Error };

class EditorHost {
public:
    // Window thread, at OK, after the editor has committed to an upload and
    // before the upload thread starts: the host prepares what ScheduleFinish
    // will need.
    virtual void UploadStarting() {}

    // Upload thread, once per upload, after the final event. The host arranges
    // for editor.FinishUpload() to run on the window (script) thread and
    // returns true; when it cannot (no such mechanism, or it failed) it
    // returns false and the editor posts a message to its own window instead.
    // FinishUpload() does nothing when no finish is pending, so a host may
    // also call it from an unrelated point on the window thread.
    virtual bool ScheduleFinish(Editor& editor) { (void)editor; return false; }

    // Window thread, from FinishUpload after the editor's visible state is
    // final (state, busy display off, buttons on, response copied): call the
    // page's onComplete or onError with the callback argument. Returns once
    // the page's function has returned; until then a second OK is ignored.
    virtual void CallPage(UploadOutcome outcome) = 0;

protected:
    ~EditorHost() = default;
};
