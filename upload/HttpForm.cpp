#include "upload/HttpForm.h"

#include <string>

#include "support/AppData.h"
#include "support/Convert.h"

const PxChar kHttpBoundary[] = PX_TEXT("---------------------------7da1d41060a1a");

namespace {

// npPixmend: the charset decides how the (ANSI) file name is written.
[[maybe_unused]] std::string EncodeFileName(const std::string& name, const std::string& charset) {
    if (charset == "utf-8") return UrlEncode(AnsiToUtf8(name));
    if (charset == "gb2312") return name;
    return std::string();
}

// Pixmend writes the name as it is, whatever the charset.
[[maybe_unused]] std::wstring EncodeFileName(const std::wstring& name, const std::wstring&) { return name; }

PxString DecimalText(int32_t number) {
    const std::string digits = std::to_string(number);
    return PxString(digits.begin(), digits.end());
}

}  // namespace

HttpField::HttpField() : boundary_(kHttpBoundary), form_(nullptr) {}
HttpField::~HttpField() = default;

PxString HttpField::BuildBoundaryLine() const {
    return PX_TEXT("--") + boundary_ + PX_TEXT("\r\n");
}

size_t HttpField::GetLength() const { return ToBodyBytes(Build()).size(); }

PxString HttpFormField::Build() const {
    return PX_TEXT("--") + boundary_ +
           PX_TEXT("\r\nContent-Disposition: form-data; name=\"") + name_ +
           PX_TEXT("\"\r\n\r\n") + value_ + PX_TEXT("\r\n");
}

PxString HttpStreamField::Build() const {
    const PxString charset = form_ ? form_->GetCharset() : PxString();
    return BuildBoundaryLine() +
           PX_TEXT("Content-Disposition: form-data; name=\"") +
           (form_ ? form_->GetFileFieldName() : UploadFileFieldName()) +
           PX_TEXT("\"; filename=\"") + EncodeFileName(value_, charset) + PX_TEXT("\"\r\n") +
           ContentTypeLine(value_) + PX_TEXT("Content-Transfer-Encoding: binary\r\n\r\n");
}

size_t HttpStreamField::GetLength() const {
    const size_t data = dataSize_ > 0 ? static_cast<size_t>(dataSize_) : 0;
    return HttpField::GetLength() + data + 2;
}

PxString ContentTypeLine(const PxString& fileName) {
    const size_t dot = fileName.rfind(PX_TEXT('.'));
    if (dot == PxString::npos) return PxString();
    PxString ext = fileName.substr(dot + 1);
    ToLower(ext);
    const PxChar* type = PX_TEXT("application/octet-stream");
    if (ext == PX_TEXT("txt")) type = PX_TEXT("text/plain");
    else if (ext == PX_TEXT("bmp")) type = PX_TEXT("image/bmp");
    else if (ext == PX_TEXT("gif")) type = PX_TEXT("image/gif");
    else if (ext == PX_TEXT("png")) type = PX_TEXT("image/x-png");
    else if (ext == PX_TEXT("jpg")) type = PX_TEXT("image/pjpeg");
    else if (ext == PX_TEXT("tif")) type = PX_TEXT("image/tiff");
    else if (ext == PX_TEXT("icon")) type = PX_TEXT("image/x-icon");
    return PX_TEXT("Content-Type: ") + PxString(type) + PX_TEXT("\r\n");
}

HttpForm::HttpForm()
    : boundary_(kHttpBoundary),
      charset_(FlavourTraits::kDefaultFormCharset) {}

HttpForm::~HttpForm() = default;

void HttpForm::Append(std::unique_ptr<HttpField> part) {
    part->SetForm(this);
    parts_.push_back(std::move(part));
}

void HttpForm::AddField(const PxString& name, const PxString& value) {
    std::unique_ptr<HttpField> part(new HttpFormField);
    part->SetName(name);
    part->SetValue(value);
    Append(std::move(part));
}

void HttpForm::AddIntField(const PxString& name, int32_t number) {
    AddField(name, DecimalText(number));
}

void HttpForm::AddFile(const PxString& fileName, int32_t dataSize) {
    std::unique_ptr<HttpField> part(new HttpStreamField(dataSize));
    part->SetValue(fileName);
    Append(std::move(part));
}

void HttpForm::ClearFields() { parts_.clear(); }

void HttpForm::SetCharset(const PxString& name) {
    charset_ = name;
    ToLower(charset_);
}

void HttpForm::SetFileFieldName(const PxString& name) {
    fileFieldName_ = name;
    hasFileFieldName_ = true;
}

PxString HttpForm::GetFileFieldName() const {
    return hasFileFieldName_ ? fileFieldName_ : UploadFileFieldName();
}

PxString HttpForm::BuildFieldsText() const {
    PxString text;
    for (const auto& part : parts_) text += part->Build();
    return text;
}

PxString HttpForm::BuildTrailer() const { return PX_TEXT("--") + boundary_ + PX_TEXT("--\r\n"); }

size_t HttpForm::GetContentLength() const {
    size_t length = ToBodyBytes(BuildTrailer()).size();
    for (const auto& part : parts_) length += part->GetLength();
    return length;
}

namespace {

bool HasBoundary(const std::string& bytes, const std::string& boundary) {
    return bytes.find(boundary) != std::string::npos;
}

// A name sits inside a quoted header parameter.
bool IsSafeName(const std::string& bytes, const std::string& boundary) {
    return bytes.find_first_of("\r\n\"") == std::string::npos && !HasBoundary(bytes, boundary);
}

}  // namespace

bool HttpForm::IsWellFormed() const {
    const std::string boundary = ToBodyBytes(boundary_);
    for (const auto& part : parts_) {
        if (dynamic_cast<const HttpStreamField*>(part.get())) {
            // The value is the file name, written into the header as given.
            if (!IsSafeName(ToBodyBytes(GetFileFieldName()), boundary) ||
                !IsSafeName(ToBodyBytes(part->GetValue()), boundary))
                return false;
        } else if (!IsSafeName(ToBodyBytes(part->GetName()), boundary) ||
                   HasBoundary(ToBodyBytes(part->GetValue()), boundary)) {
            return false;
        }
    }
    return true;
}

HttpHeader::HttpHeader() : boundary_(kHttpBoundary) {}

PxString HttpHeader::Build() const {
    return PX_TEXT("Accept: application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,")
           PX_TEXT("image/png,*/*;q=0.5\r\n")
           PX_TEXT("Content-Type:multipart/form-data;boundary=") + boundary_ + PX_TEXT("\r\n") +
           PX_TEXT("Accept-Language: zh-cn\r\n")
           PX_TEXT("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n")
           PX_TEXT("Cache-Control: no-cache\r\n")
           PX_TEXT("Connection: Keep-Alive\r\n");
}
