#pragma once
// Byte streams: the one abstract stream type the codecs and the upload code
// read and write through, over a C runtime FILE (PxIOFile) or a growable heap
// buffer (PxMemFile). No operation reports an error text; failures are the
// false, 0, -1 or null results documented per operation.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "support/Export.h"
#include "support/Flavour.h"

class PX_EXPORT PxFile {
public:
    virtual ~PxFile();
    virtual bool Close() = 0;
    // Reads up to count items of size bytes; returns the number of whole items.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    // Writes count items of size bytes; returns the number of items written.
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: 0 start (SEEK_SET), 1 current (SEEK_CUR), 2 end (SEEK_END).
    virtual bool Seek(int32_t offset, int32_t origin) = 0;
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    // Writes one byte through Write; true when it was written.
    virtual bool PutC(uint8_t c);
    // The next byte 0..255, or -1 at the end or without a stream.
    virtual int32_t GetC() = 0;
    // Reads a line of at most n - 1 bytes (newline kept) and NUL-terminates it;
    // null at the end or without a stream.
    virtual char* GetS(char* buffer, int32_t n) = 0;
    // Formatted read of one item; memory streams do not support it (0).
    virtual int32_t Scanf(const char* format, void* output) = 0;
};

// Stream over a C runtime FILE. An object closes only a handle it opened
// itself; a handle given to the constructor stays the caller's.
class PX_EXPORT PxIOFile : public PxFile {
public:
    explicit PxIOFile(FILE* fp = nullptr);
    // A copy views the same handle but never closes it: only the object that
    // opened a file closes it, so copies cannot close a handle twice.
    PxIOFile(const PxIOFile& other);
    PxIOFile& operator=(const PxIOFile& other);
    ~PxIOFile() override;

    // Opens a file (narrow names in npPixmend, UTF-16 in Pixmend). False when
    // a handle is already held or the runtime cannot open it.
    bool Open(const PxChar* name, const PxChar* mode);
    FILE* GetHandle() const { return fp_; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int32_t origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t c) override;
    int32_t GetC() override;
    char* GetS(char* buffer, int32_t n) override;
    int32_t Scanf(const char* format, void* output) override;

private:
    FILE* fp_;
    bool closeFile_;  // this object closes fp_ on Close and destruction
};

// Stream over a heap buffer that grows in 64 KiB steps as it is written.
// A stream may wrap caller bytes without copying them; it never frees or
// reallocates memory it does not own: the first write that needs more room
// moves the bytes into a buffer of its own. When growth fails the stream
// drops its buffer and behaves as closed from then on.
class PX_EXPORT PxMemFile : public PxFile {
public:
    // Wraps buffer (not copied, not owned) of size bytes; with no buffer the
    // stream is closed until Open.
    explicit PxMemFile(uint8_t* buffer = nullptr, uint32_t size = 0);
    // A copy refers to the same bytes but never owns them: only the original
    // frees or reallocates its buffer, and a copy that must grow moves to a
    // buffer of its own. The copy must not outlive the original's buffer.
    PxMemFile(const PxMemFile& other);
    PxMemFile& operator=(const PxMemFile& other);
    ~PxMemFile() override;

    // Starts an empty, owned buffer. False when a buffer is already present
    // or allocation failed.
    bool Open();
    // The buffer (malloc'ed when owned). With detach the caller becomes its
    // owner and must free() it; the stream keeps using it until it needs to
    // grow, which then moves the bytes into a new buffer of its own.
    uint8_t* GetBuffer(bool detach = true);
    // Bytes allocated (0 when closed).
    uint32_t GetCapacity() const { return capacity_; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int32_t origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t c) override;
    int32_t GetC() override;
    char* GetS(char* buffer, int32_t n) override;
    int32_t Scanf(const char* format, void* output) override;

private:
    bool Reserve(uint64_t needed);
    void Drop();
    void FillGap();

    uint8_t* buffer_;
    uint32_t size_;      // valid bytes
    bool freeOnClose_;   // the stream owns buffer_ (free/realloc allowed)
    uint32_t position_;  // read/write offset, may lie past size_
    uint32_t capacity_;  // bytes allocated or wrapped
};
