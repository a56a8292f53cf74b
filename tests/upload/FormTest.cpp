// The multipart body and header block, byte for byte, in both flavours.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/AppData.h"
#include "support/Convert.h"
#include "upload/HttpForm.h"

namespace {

const std::string kBoundary = "---------------------------7da1d41060a1a";
const std::string kDelimiter = "--" + kBoundary + "\r\n";
const std::string kTrailer = "--" + kBoundary + "--\r\n";

// The body as every uploader assembles it, in request bytes.
std::string Body(const HttpForm& form, const std::string& fileBytes) {
    return ToBodyBytes(form.BuildFieldsText()) + fileBytes + "\r\n" + ToBodyBytes(form.BuildTrailer());
}

std::string TextPart(const std::string& name, const std::string& value) {
    return kDelimiter + "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string FilePartHead(const std::string& filename, const std::string& typeLine) {
    return kDelimiter + "Content-Disposition: form-data; name=\"img\"; filename=\"" + filename +
           "\"\r\n" + typeLine + "Content-Transfer-Encoding: binary\r\n\r\n";
}

PxString FileHeader(const PxString& fileName, const PxString& charset) {
    HttpForm form;
    form.SetCharset(charset);
    form.AddFile(fileName, 0);
    return form.BuildFieldsText();
}

TEST(HttpForm, WorkedExampleIsByteExact) {
    HttpForm form;
    form.SetCharset(PX_TEXT("gb2312"));
    form.AddField(PX_TEXT("user"), PX_TEXT("ann"));
    form.AddFile(PX_TEXT("img.jpg"), 5000);
    const std::string file(5000, '\xA5');
    const std::string expected =
        "-----------------------------7da1d41060a1a\r\n"
        "Content-Disposition: form-data; name=\"user\"\r\n"
        "\r\n"
        "ann\r\n"
        "-----------------------------7da1d41060a1a\r\n"
        "Content-Disposition: form-data; name=\"img\"; filename=\"img.jpg\"\r\n"
        "Content-Type: image/pjpeg\r\n"
        "Content-Transfer-Encoding: binary\r\n"
        "\r\n" + file + "\r\n"
        "-----------------------------7da1d41060a1a--\r\n";
    EXPECT_EQ(Body(form, file), expected);
    EXPECT_EQ(form.GetContentLength(), expected.size());
}

TEST(HttpForm, EditorFormWithWidthHeightAndNoTextParts) {
    HttpForm form;
    form.AddFile(PX_TEXT("img.png"), 3);
    const std::string onlyFile = Body(form, "PNG");
    EXPECT_EQ(onlyFile.compare(0, kDelimiter.size(), kDelimiter), 0);
    EXPECT_EQ(onlyFile.find("Content-Disposition: form-data; name=\"img\""), kDelimiter.size());
    EXPECT_EQ(form.GetContentLength(), onlyFile.size());

    form.ClearFields();
    EXPECT_EQ(form.GetFieldCount(), 0u);
    form.AddIntField(PX_TEXT("width"), 640);
    form.AddIntField(PX_TEXT("height"), -480);
    form.AddIntField(PX_TEXT("min"), INT32_MIN);
    form.AddFile(PX_TEXT("img.bmp"), 2);
    const std::string body = Body(form, "BM");
    EXPECT_EQ(body, TextPart("width", "640") + TextPart("height", "-480") +
                        TextPart("min", "-2147483648") +
                        FilePartHead("img.bmp", "Content-Type: image/bmp\r\n") + "BM\r\n" + kTrailer);
    EXPECT_EQ(form.GetContentLength(), body.size());
}

TEST(HttpForm, ContentTypeFollowsTheExtensionTable) {
    EXPECT_EQ(ContentTypeLine(PX_TEXT("photo.JPG")), PX_TEXT("Content-Type: image/pjpeg\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("photo.jpeg")), PX_TEXT("Content-Type: application/octet-stream\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.txt")), PX_TEXT("Content-Type: text/plain\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.Gif")), PX_TEXT("Content-Type: image/gif\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.png")), PX_TEXT("Content-Type: image/x-png\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.tif")), PX_TEXT("Content-Type: image/tiff\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.tiff")), PX_TEXT("Content-Type: application/octet-stream\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.icon")), PX_TEXT("Content-Type: image/x-icon\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("a.ico")), PX_TEXT("Content-Type: application/octet-stream\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("x.tar.BMP")), PX_TEXT("Content-Type: image/bmp\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("trailingdot.")), PX_TEXT("Content-Type: application/octet-stream\r\n"));
    EXPECT_EQ(ContentTypeLine(PX_TEXT("noextension")), PX_TEXT(""));

    HttpForm form;
    form.AddFile(PX_TEXT("noextension"), 1);
    EXPECT_EQ(ToBodyBytes(form.BuildFieldsText()), FilePartHead("noextension", ""));
}

TEST(HttpForm, CharsetDecidesHowTheFileNameIsWritten) {
    const PxString plain = FileHeader(PX_TEXT("a b.png"), PX_TEXT("gb2312"));
    EXPECT_EQ(ToBodyBytes(plain), FilePartHead("a b.png", "Content-Type: image/x-png\r\n"));
    const std::string utf8 = ToBodyBytes(FileHeader(PX_TEXT("a b.png"), PX_TEXT("UTF-8")));
    const std::string other = ToBodyBytes(FileHeader(PX_TEXT("a b.png"), PX_TEXT("latin1")));
    const std::string empty = ToBodyBytes(FileHeader(PX_TEXT("a b.png"), PX_TEXT("")));
    if (FlavourTraits::kIsNpapi) {
        EXPECT_EQ(utf8, FilePartHead("a+b%2Epng", "Content-Type: image/x-png\r\n"));
        EXPECT_EQ(other, FilePartHead("", "Content-Type: image/x-png\r\n"));
        EXPECT_EQ(empty, other);
    } else {
        // Pixmend writes the name as it is whatever the charset.
        EXPECT_EQ(utf8, ToBodyBytes(plain));
        EXPECT_EQ(other, ToBodyBytes(plain));
        EXPECT_EQ(empty, ToBodyBytes(plain));
    }
    HttpForm form;
    EXPECT_EQ(form.GetCharset(), FlavourTraits::kIsNpapi ? PX_TEXT("gb2312") : PX_TEXT("utf-8"));
    form.SetCharset(PX_TEXT("UTF-8"));
    EXPECT_EQ(form.GetCharset(), PX_TEXT("utf-8"));
}

TEST(HttpForm, FileFieldNameComesFromTheFlavoursHolderUntilTheFormSetsItsOwn) {
    AppData::Instance().SetFileFieldName(PX_TEXT("photo"));
    const std::string head = ToBodyBytes(FileHeader(PX_TEXT("img.jpg"), PX_TEXT("gb2312")));
    HttpForm own;
    own.SetCharset(PX_TEXT("gb2312"));
    own.SetFileFieldName(PX_TEXT("picture"));
    own.AddFile(PX_TEXT("img.jpg"), 0);
    const std::string ownHead = ToBodyBytes(own.BuildFieldsText());
    AppData::Instance().SetFileFieldName(PX_TEXT("img"));
    const std::string expectedName = FlavourTraits::kIsNpapi ? "img" : "photo";
    EXPECT_NE(head.find("name=\"" + expectedName + "\"; filename=\"img.jpg\""), std::string::npos) << head;
    EXPECT_NE(ownHead.find("name=\"picture\"; filename=\"img.jpg\""), std::string::npos) << ownHead;
    EXPECT_EQ(own.GetContentLength(), ownHead.size() + 2 + kTrailer.size());
}

TEST(HttpForm, NonAsciiValuesCountInRequestBytes) {
    HttpForm form;
#if defined(PIXMEND_FLAVOUR_NP)
    // npPixmend carries script's UTF-8 bytes unchanged.
    form.AddField("name", "\xE4\xB8\xAD\xE6\x96\x87");
    const std::string value = "\xE4\xB8\xAD\xE6\x96\x87";
#else
    // Pixmend converts to the ANSI code page: 2 bytes per CJK character in
    // code page 936, the default character in 1252.
    form.AddField(L"name", L"\u4E2D\u6587");
    const std::string value = WideToAnsi(L"\u4E2D\u6587");
    EXPECT_TRUE(value == "??" || value == "\xD6\xD0\xCE\xC4") << value;  // 1252 or 936
    EXPECT_EQ(ToBodyBytes(form.BuildFieldsText()).size(), TextPart("name", value).size());
#endif
    form.AddFile(PX_TEXT("img.jpg"), 4);
    const std::string body = Body(form, "JPEG");
    EXPECT_EQ(body.compare(0, TextPart("name", value).size(), TextPart("name", value)), 0);
    EXPECT_EQ(form.GetContentLength(), body.size());
}

// Random text drawn from ASCII, Latin-1, CJK and symbols outside most code pages.
PxString RandomText(std::mt19937& rng) {
    static const unsigned kPool[] = {'a', 'Z', '0', ' ', '"', '-', 0xE9, 0xFC, 0x4E2D, 0x6587,
                                     0x20AC, 0x0E01, 0x3042};
    std::uniform_int_distribution<size_t> length(0, 12), pick(0, sizeof kPool / sizeof kPool[0] - 1);
    std::wstring wide;
    for (size_t n = length(rng); n > 0; --n) wide += static_cast<wchar_t>(kPool[pick(rng)]);
#if defined(PIXMEND_FLAVOUR_NP)
    return WideToMultiByte(wide, true);
#else
    return wide;
#endif
}

TEST(HttpForm, ContentLengthEqualsTheBodyForRandomMixes) {
    std::mt19937 rng(20662);
    const PxChar* kNames[] = {PX_TEXT("img.jpg"), PX_TEXT("img.png"), PX_TEXT("x"), PX_TEXT("a b.tif")};
    const PxChar* kCharsets[] = {PX_TEXT("gb2312"), PX_TEXT("utf-8"), PX_TEXT("koi8-r")};
    for (int round = 0; round < 200; ++round) {
        HttpForm form;
        form.SetCharset(kCharsets[rng() % 3]);
        for (unsigned n = rng() % 6; n > 0; --n) {
            if (rng() % 3 == 0) {
                form.AddIntField(RandomText(rng), static_cast<int32_t>(rng()));
            } else {
                form.AddField(RandomText(rng), RandomText(rng));
            }
        }
        const std::string file(rng() % 3000, 'f');
        form.AddFile(kNames[rng() % 4], static_cast<int32_t>(file.size()));
        ASSERT_EQ(form.GetContentLength(), Body(form, file).size()) << "round " << round;
    }
}

TEST(HttpForm, PartsThatWouldForgeOthersAreRefused) {
    const PxString boundary(kHttpBoundary);
    struct Case {
        const char* what;
        PxString name, value, fileFieldName, fileName;
        bool wellFormed;
    } cases[] = {
        {"ordinary", PX_TEXT("user"), PX_TEXT("ann"), PX_TEXT("img"), PX_TEXT("img.jpg"), true},
        {"value with quotes, line breaks and dashes", PX_TEXT("note"), PX_TEXT("a \"b\"\r\n--c\r\n"),
         PX_TEXT("img"), PX_TEXT("img.jpg"), true},
        {"value with most of the boundary", PX_TEXT("note"), boundary.substr(1), PX_TEXT("img"),
         PX_TEXT("img.jpg"), true},
        {"CR in a name", PX_TEXT("a\rb"), PX_TEXT("v"), PX_TEXT("img"), PX_TEXT("img.jpg"), false},
        {"LF in a name", PX_TEXT("a\nContent-Type: x"), PX_TEXT("v"), PX_TEXT("img"), PX_TEXT("img.jpg"), false},
        {"quote in a name", PX_TEXT("a\"; filename=\"x"), PX_TEXT("v"), PX_TEXT("img"), PX_TEXT("img.jpg"), false},
        {"boundary in a value", PX_TEXT("note"), PX_TEXT("x\r\n--") + boundary + PX_TEXT("\r\n"), PX_TEXT("img"),
         PX_TEXT("img.jpg"), false},
        {"boundary in a name", boundary, PX_TEXT("v"), PX_TEXT("img"), PX_TEXT("img.jpg"), false},
        {"quote in the file field name", PX_TEXT("user"), PX_TEXT("ann"), PX_TEXT("img\"x"), PX_TEXT("img.jpg"),
         false},
        {"boundary in the file field name", PX_TEXT("user"), PX_TEXT("ann"), PX_TEXT("i") + boundary,
         PX_TEXT("img.jpg"), false},
        {"line break in the file name", PX_TEXT("user"), PX_TEXT("ann"), PX_TEXT("img"), PX_TEXT("img.\r\njpg"),
         false},
    };
    for (const Case& c : cases) {
        HttpForm form;
        form.AddField(c.name, c.value);
        form.SetFileFieldName(c.fileFieldName);
        form.AddFile(c.fileName, 4);
        EXPECT_EQ(c.wellFormed, form.IsWellFormed()) << c.what;
    }
}

TEST(HttpHeader, BuildsTheSixHeaderLines) {
    EXPECT_EQ(ToBodyBytes(HttpHeader().Build()),
              "Accept: application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
              "image/png,*/*;q=0.5\r\n"
              "Content-Type:multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
              "Accept-Language: zh-cn\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
              "Cache-Control: no-cache\r\n"
              "Connection: Keep-Alive\r\n");
}

TEST(HttpField, BaseAndBoundaryLine) {
    HttpFormField field;
    field.SetBoundary(PX_TEXT("B"));
    field.SetName(PX_TEXT("n"));
    field.SetValue(PX_TEXT("v"));
    EXPECT_EQ(field.BuildBoundaryLine(), PX_TEXT("--B\r\n"));
    EXPECT_EQ(field.Build(), PX_TEXT("--B\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\nv\r\n"));
    EXPECT_EQ(field.GetLength(), field.Build().size());
    HttpField base;
    EXPECT_EQ(base.Build(), PX_TEXT(""));
    EXPECT_EQ(base.GetLength(), 0u);
}

}  // namespace
