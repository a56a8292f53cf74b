// pxpost: posts a picture file through the upload layer exactly as the editor
// does, to check a server before embedding the control.
//
//   pxpost URL FILE [--type jpg] [--width W --height H] [--wininet]
//          [--repeat N] [--quiet] [name=value ...]
//
// The form gets the name=value fields in order, then "width" and "height" when
// given, then the file part named "img.<type>". The uploader is the one the
// editor would choose for URL (--wininet forces the system-HTTP one). Every
// progress event prints the percentage; the final event prints its code, the
// HTTP status (system-HTTP uploader) and the response text. Exit status 0 only
// when every upload completed.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "image/PxFile.h"
#include "support/AppData.h"
#include "support/Convert.h"
#include "upload/HttpPoster.h"
#include "upload/WinINetPoster.h"

namespace {

// Command-line text in this flavour's strings: npPixmend's script text is
// UTF-8, Pixmend's is UTF-16.
[[maybe_unused]] void FromWide(const std::wstring& in, std::string& out) { out = WideToMultiByte(in, true); }
[[maybe_unused]] void FromWide(const std::wstring& in, std::wstring& out) { out = in; }
PxString Px(const std::wstring& text) {
    PxString out;
    FromWide(text, out);
    return out;
}
[[maybe_unused]] std::string Console(const std::string& utf8) { return Utf8ToAnsi(utf8); }
[[maybe_unused]] std::string Console(const std::wstring& wide) { return WideToAnsi(wide); }

struct Options {
    std::wstring url, file, type = L"jpg";
    int width = 0, height = 0;
    bool hasSize = false, wininet = false, quiet = false;
    int repeat = 1;
    std::vector<std::pair<std::wstring, std::wstring>> fields;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: pxpost URL FILE [--type jpg] [--width W --height H] [--wininet] [--repeat N] "
                 "[--quiet] [name=value ...]\n");
    return 2;
}

bool ParseArgs(int argc, wchar_t** argv, Options& o) {
    std::vector<std::wstring> plain;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--type" && hasValue) o.type = argv[++i];
        else if (arg == L"--width" && hasValue) { o.width = _wtoi(argv[++i]); o.hasSize = true; }
        else if (arg == L"--height" && hasValue) { o.height = _wtoi(argv[++i]); o.hasSize = true; }
        else if (arg == L"--repeat" && hasValue) o.repeat = _wtoi(argv[++i]);
        else if (arg == L"--wininet") o.wininet = true;
        else if (arg == L"--quiet") o.quiet = true;
        else if (arg.compare(0, 2, L"--") == 0) return false;
        else plain.push_back(arg);
    }
    if (plain.size() < 2 || o.repeat < 1) return false;
    o.url = plain[0];
    o.file = plain[1];
    for (size_t i = 2; i < plain.size(); ++i) {
        const size_t eq = plain[i].find(L'=');
        if (eq == std::wstring::npos || eq == 0) return false;
        o.fields.emplace_back(plain[i].substr(0, eq), plain[i].substr(eq + 1));
    }
    return true;
}

bool ReadFile(const std::wstring& name, PxMemFile& stream) {
    FILE* f = _wfopen(name.c_str(), L"rb");
    if (!f) return false;
    bool ok = stream.Open();
    char buffer[65536];
    size_t got;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0) ok = stream.Write(buffer, 1, got) == got;
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

class ConsoleSink : public HttpPosterEvent {
public:
    ConsoleSink(HttpPoster& poster, bool quiet) : poster_(poster), quiet_(quiet) {}
    void OnPostComplete(int) override { Finish(0, "complete"); }
    void OnPostError(int, int code) override { Finish(code, "error"); }
    void OnPostProgress(int, int, PxString) override {
        const PxString percent = poster_.GetPercentText();  // read as the editor does
        if (!quiet_) std::printf("progress %s\n", Console(percent).c_str());
    }
    // The code of the final event, -1 for completion.
    int Wait() {
        done_.Wait();
        return code_;
    }

private:
    void Finish(int code, const char* what) {
        code_ = std::string(what) == "complete" ? -1 : code;
        std::printf("%s", what);
        if (code_ >= 0) std::printf(" %d", code);
        std::printf("\n");
        done_.Set();
    }
    HttpPoster& poster_;
    bool quiet_;
    Corvane::Threading::EventHandler done_;
    int code_ = 1;
};

bool PostOnce(HttpPoster& poster, ConsoleSink& sink, const Options& o, PxMemFile& stream) {
    HttpForm& form = poster.GetForm();
    form.ClearFields();
    for (const auto& field : o.fields) form.AddField(Px(field.first), Px(field.second));
    if (o.hasSize) {
        form.AddIntField(PX_TEXT("width"), o.width);
        form.AddIntField(PX_TEXT("height"), o.height);
    }
    const DWORD start = GetTickCount();
    poster.Post(&stream, AppData::Instance().GetUploadFileName());
    const int code = sink.Wait();
    const DWORD elapsed = GetTickCount() - start;
    if (auto* wininet = dynamic_cast<WinINetPoster*>(&poster)) std::printf("status %lu\n", static_cast<unsigned long>(wininet->GetHttpStatus()));
    std::printf("response %s\n", Console(poster.GetResponse()).c_str());
    std::printf("time %lu ms\n", static_cast<unsigned long>(elapsed));
    std::fflush(stdout);
    return code == -1;
}

int Run(int argc, wchar_t** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o)) return Usage();
    PxMemFile stream;
    if (!ReadFile(o.file, stream)) {
        std::fprintf(stderr, "pxpost: cannot read %s\n", WideToAnsi(o.file).c_str());
        return 2;
    }
    AppData::Instance().SetImageType(Px(o.type));
    const PxString url = Px(o.url);
    std::unique_ptr<HttpPoster> poster(o.wininet ? new WinINetPoster : CreatePoster(url));
    poster->SetUrl(url);
    ConsoleSink sink(*poster, o.quiet);
    poster->SetEventSink(&sink);
    bool ok = true;
    for (int i = 0; i < o.repeat; ++i) ok = PostOnce(*poster, sink, o, stream) && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    const int status = Run(argc, argv);
    LocalFree(argv);
    return status;
}
