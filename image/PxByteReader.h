#pragma once
// Bounded reader over untrusted bytes. Every read checks before it touches
// memory, with a bounds test that cannot overflow (n <= size && offset <=
// size - n); a failed read leaves the position unchanged and its output
// untouched. The reader never owns the bytes it views.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class PxFile;

class PxByteReader {
public:
    PxByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t Size() const { return size_; }
    size_t Offset() const { return offset_; }
    size_t Remaining() const { return size_ - offset_; }
    bool AtEnd() const { return offset_ >= size_; }
    bool Has(size_t n) const { return n <= size_ - offset_; }
    const uint8_t* Data() const { return data_; }

    [[nodiscard]] bool Seek(size_t offset) {
        if (offset > size_)
            return false;
        offset_ = offset;
        return true;
    }
    [[nodiscard]] bool Skip(size_t n) {
        if (!Has(n))
            return false;
        offset_ += n;
        return true;
    }
    [[nodiscard]] bool ReadU8(uint8_t* out) {
        if (!Has(1))
            return false;
        *out = data_[offset_++];
        return true;
    }
    [[nodiscard]] bool ReadU16LE(uint16_t* out) {
        if (!Has(2))
            return false;
        *out = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
        offset_ += 2;
        return true;
    }
    [[nodiscard]] bool ReadU32LE(uint32_t* out) {
        if (!Has(4))
            return false;
        *out = LoadU32LE(data_ + offset_);
        offset_ += 4;
        return true;
    }
    [[nodiscard]] bool ReadU16BE(uint16_t* out) {
        if (!Has(2))
            return false;
        *out = static_cast<uint16_t>((data_[offset_] << 8) | data_[offset_ + 1]);
        offset_ += 2;
        return true;
    }
    [[nodiscard]] bool ReadU32BE(uint32_t* out) {
        if (!Has(4))
            return false;
        const uint8_t* p = data_ + offset_;
        *out = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        offset_ += 4;
        return true;
    }
    [[nodiscard]] bool ReadI32LE(int32_t* out) {
        uint32_t v;
        if (!ReadU32LE(&v))
            return false;
        *out = static_cast<int32_t>(v);
        return true;
    }
    // Reads 16/32-bit values in the byte order of a TIFF-style block.
    [[nodiscard]] bool ReadU16(bool bigEndian, uint16_t* out) {
        return bigEndian ? ReadU16BE(out) : ReadU16LE(out);
    }
    [[nodiscard]] bool ReadU32(bool bigEndian, uint32_t* out) {
        return bigEndian ? ReadU32BE(out) : ReadU32LE(out);
    }
    [[nodiscard]] bool ReadBytes(void* out, size_t n) {
        if (!Has(n))
            return false;
        if (n)
            std::memcpy(out, data_ + offset_, n);
        offset_ += n;
        return true;
    }
    // Points *out at the next n bytes and moves past them.
    [[nodiscard]] bool View(size_t n, const uint8_t** out) {
        if (!Has(n))
            return false;
        *out = data_ + offset_;
        offset_ += n;
        return true;
    }
    // Reader over the n bytes at an absolute offset (position unchanged).
    [[nodiscard]] bool SubReader(size_t offset, size_t n, PxByteReader* out) const {
        if (n > size_ || offset > size_ - n)
            return false;
        *out = PxByteReader(data_ + offset, n);
        return true;
    }

    static uint32_t LoadU32LE(const uint8_t* p) {
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

// Reads the stream from its current position into out (replacing its
// content) until the stream ends or maxBytes are stored; returns the count.
// The vector grows with the data actually read, never by a size the stream
// claims. Allocation failure ends the read early.
size_t PxReadUpTo(PxFile* file, std::vector<uint8_t>* out, size_t maxBytes);
