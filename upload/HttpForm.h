#pragma once
// The multipart/form-data request body and the request header block of every
// upload. Parts are written in insertion order: the text parts the editor adds,
// then the one file part that Post appends. Text is PxString: npPixmend's
// bytes go into the body as they are, Pixmend's wide text in the ANSI code
// page; every length below counts body bytes after that conversion.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/Flavour.h"

class HttpForm;

// The fixed boundary of every request and part; never generated.
extern const PxChar kHttpBoundary[];

// Base of every part (Pixmend calls it HttpHeadField).
class HttpField {
public:
    HttpField();
    virtual ~HttpField();
    HttpField(const HttpField&) = delete;
    HttpField& operator=(const HttpField&) = delete;

    virtual void SetName(const PxString& name) { name_ = name; }
    virtual void SetValue(const PxString& value) { value_ = value; }
    virtual void SetBoundary(const PxString& boundary) { boundary_ = boundary; }
    // The part's text as it stands in the body (the base part has none).
    virtual PxString Build() const { return PxString(); }
    // "--" + boundary + CRLF.
    virtual PxString BuildBoundaryLine() const;
    // Body bytes the part contributes.
    virtual size_t GetLength() const;

    const PxString& GetName() const { return name_; }
    const PxString& GetValue() const { return value_; }
    void SetForm(const HttpForm* form) { form_ = form; }

protected:
    PxString name_;
    PxString value_;
    PxString boundary_;
    const HttpForm* form_;  // the form holding this part; not owned
};
typedef HttpField HttpHeadField;

// A text part: delimiter, Content-Disposition with the name, empty line, value.
class HttpFormField : public HttpField {
public:
    PxString Build() const override;
};

// The file part. Its value is the file name; Build() gives the part header,
// after which the body carries dataSize file bytes and a CRLF.
class HttpStreamField : public HttpField {
public:
    explicit HttpStreamField(int32_t dataSize = 0) : dataSize_(dataSize) {}
    PxString Build() const override;
    // Header bytes + dataSize + 2.
    size_t GetLength() const override;
    int32_t GetDataSize() const { return dataSize_; }

private:
    int32_t dataSize_;
};
typedef HttpStreamField HttpDataField;

class HttpForm {
public:
    HttpForm();
    ~HttpForm();
    HttpForm(const HttpForm&) = delete;
    HttpForm& operator=(const HttpForm&) = delete;

    void AddField(const PxString& name, const PxString& value);
    // Value is the signed decimal text of number.
    void AddIntField(const PxString& name, int32_t number);
    // Appends the file part; the body is built right after, so it is last.
    void AddFile(const PxString& fileName, int32_t dataSize);
    void ClearFields();
    size_t GetFieldCount() const { return parts_.size(); }

    // Stored lower-cased. npPixmend: "utf-8" URL-encodes the file name,
    // "gb2312" writes it as is, anything else writes filename="". Pixmend
    // always writes it as is. Defaults: "gb2312" (npPixmend), "utf-8" (Pixmend).
    void SetCharset(const PxString& name);
    const PxString& GetCharset() const { return charset_; }

    // The name the file part carries; until set, UploadFileFieldName() at the
    // time the part is built.
    void SetFileFieldName(const PxString& name);
    PxString GetFileFieldName() const;

    // Every part's Build(), in order.
    PxString BuildFieldsText() const;
    // "--" + boundary + "--" CRLF.
    PxString BuildTrailer() const;
    // Bytes of the whole body: every part plus the trailer.
    size_t GetContentLength() const;

    // False when the body would let a server read parts or header lines the
    // page never added: a field name, the file field name or the file name
    // holding CR, LF or a double quote, or any name or value holding the
    // boundary text. Checked on the bytes as written (Pixmend's ANSI form,
    // where a wide character can become a quote). Such a form is not sent.
    bool IsWellFormed() const;

private:
    void Append(std::unique_ptr<HttpField> part);

    PxString boundary_;
    PxString charset_;
    PxString fileFieldName_;
    bool hasFileFieldName_ = false;
    std::vector<std::unique_ptr<HttpField>> parts_;
};

// The Content-Type line for a file name by its extension (after the last full
// stop, compared case-insensitively); empty when the name has no full stop.
PxString ContentTypeLine(const PxString& fileName);

// The request header block that the system-HTTP uploader sends.
class HttpHeader {
public:
    HttpHeader();
    PxString Build() const;

private:
    PxString boundary_;
};
