// pximage: decodes a picture with the image library and prints one line
//   width=W height=H bpp=B format=F dpi=X,Y alpha=0|1
// or the library's last error (exit status 1). Optionally re-encodes the
// result as BMP, PNG or JPEG, chosen by the output file's extension.
//
//   pximage IN [--format ID] [--flavour np|ax] [-o OUT.png|.bmp|.jpg] [--quality Q]
//
// The flavour is fixed at build time (pximage_np, pximage_ax); asking for the
// other one runs the sibling executable from the same folder.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include "image/PxFile.h"
#include "image/PxImage.h"
#include "support/Flavour.h"

namespace {

struct Options {
    const char* input = nullptr;
    const char* output = nullptr;
    uint32_t format = 0;
    int quality = -1;
    const char* flavour = nullptr;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: pximage IN [--format ID] [--flavour np|ax] [-o OUT.png|.bmp|.jpg] "
                 "[--quality Q]\n");
    return 2;
}

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--format" && hasValue)
            o->format = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--flavour" && hasValue)
            o->flavour = argv[++i];
        else if ((a == "-o" || a == "--output") && hasValue)
            o->output = argv[++i];
        else if (a == "--quality" && hasValue)
            o->quality = std::atoi(argv[++i]);
        else if (!a.empty() && a[0] != '-' && !o->input)
            o->input = argv[i];
        else
            return false;
    }
    return o->input != nullptr;
}

PxString ToPxString(const char* text) {
    if (FlavourTraits::kIsNpapi)
        return PxString(text, text + std::strlen(text));
    std::vector<wchar_t> wide(std::strlen(text) + 1);
    size_t n = std::mbstowcs(wide.data(), text, wide.size());
    if (n == static_cast<size_t>(-1))  // not valid in the locale: widen bytes
        return PxString(text, text + std::strlen(text));
    return PxString(wide.data(), wide.data() + n);
}

uint32_t FormatOfExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "bmp") return PXIMAGE_FORMAT_BMP;
    if (ext == "png") return PXIMAGE_FORMAT_PNG;
    if (ext == "jpg" || ext == "jpeg") return PXIMAGE_FORMAT_JPG;
    return PXIMAGE_FORMAT_UNKNOWN;
}

#if defined(_WIN32)
// _spawnv joins its arguments with spaces, and the child's C runtime splits
// the line again: an argument with a space or a quote must be quoted, with
// the backslashes before a quote (or before the closing quote) doubled.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}
#endif

// Runs pximage_<flavour> next to this executable with the same arguments.
int RunSibling(char** argv, const char* flavour) {
    std::string self = argv[0];
    const size_t slash = self.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? "" : self.substr(0, slash + 1);
    std::string sibling = dir + "pximage_" + flavour;
#if defined(_WIN32)
    sibling += ".exe";
    std::vector<std::string> quoted;
    for (char** a = argv; *a; ++a)
        quoted.push_back(QuoteArgument(*a));
    std::vector<const char*> args;
    for (const std::string& a : quoted)
        args.push_back(a.c_str());
    args.push_back(nullptr);
    intptr_t rc = _spawnv(_P_WAIT, sibling.c_str(), args.data());
    if (rc >= 0)
        return static_cast<int>(rc);
#else
    execv(sibling.c_str(), argv);
#endif
    std::fprintf(stderr, "pximage: cannot run %s\n", sibling.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    Options o;
    if (!ParseArgs(argc, argv, &o))
        return Usage();
    const char* own = FlavourTraits::kIsNpapi ? "np" : "ax";
    if (o.flavour && std::strcmp(o.flavour, own) != 0) {
        if (std::strcmp(o.flavour, "np") != 0 && std::strcmp(o.flavour, "ax") != 0)
            return Usage();
        return RunSibling(argv, o.flavour);
    }
    const PxString input = ToPxString(o.input);
    PxImage image(input.c_str(), o.format);
    if (!image.IsValid()) {
        std::printf("error: %s\n", image.GetLastError());
        return 1;
    }
    std::printf("width=%u height=%u bpp=%u format=%u dpi=%d,%d alpha=%d\n", image.GetWidth(),
                image.GetHeight(), image.GetBpp(), image.GetType(), image.GetDpiX(),
                image.GetDpiY(), image.HasAlpha() ? 1 : 0);
    if (!o.output)
        return 0;
    const uint32_t outFormat = FormatOfExtension(o.output);
    if (o.quality >= 0)
        image.SetQuality(static_cast<uint32_t>(o.quality));
    const PxString output = ToPxString(o.output);
    PxIOFile file;
    if (!file.Open(output.c_str(), PX_TEXT("wb"))) {
        std::printf("error: cannot create %s\n", o.output);
        return 1;
    }
    if (!image.Encode(&file, outFormat)) {
        std::printf("error: %s\n", image.GetLastError());
        return 1;
    }
    return file.Close() ? 0 : 1;
}
