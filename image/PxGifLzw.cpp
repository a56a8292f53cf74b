#include "image/PxGifLzw.h"

#include <cstring>

#include "image/PxByteReader.h"
#include "image/PxFile.h"

namespace {

// Bytes of a run of GIF data sub-blocks, one at a time.
class SubBlockSource {
public:
    explicit SubBlockSource(PxByteReader& r) : r_(r) {}
    bool Next(uint8_t* byte) {
        while (left_ == 0) {
            if (ended_ || !r_.ReadU8(&left_) || left_ == 0) {
                ended_ = true;
                left_ = 0;
                return false;
            }
        }
        if (!r_.ReadU8(byte)) {
            ended_ = true;
            left_ = 0;
            return false;
        }
        --left_;
        return true;
    }
    // Skips what is left of the data, up to and including the terminator.
    void Finish() {
        if (!ended_ && left_ && !r_.Skip(left_)) {
            ended_ = true;
            return;
        }
        left_ = 0;
        while (!ended_) {
            uint8_t n = 0;
            if (!r_.ReadU8(&n) || n == 0 || !r_.Skip(n))
                ended_ = true;
        }
    }

private:
    PxByteReader& r_;
    uint8_t left_ = 0;
    bool ended_ = false;
};

// Least-significant-bit-first code reader.
class CodeReader {
public:
    explicit CodeReader(SubBlockSource& src) : src_(src) {}
    bool Read(int bits, int* code) {
        while (count_ < bits) {
            uint8_t b = 0;
            if (!src_.Next(&b))
                return false;
            acc_ |= uint32_t(b) << count_;
            count_ += 8;
        }
        *code = static_cast<int>(acc_ & ((1u << bits) - 1));
        acc_ >>= bits;
        count_ -= bits;
        return true;
    }

private:
    SubBlockSource& src_;
    uint32_t acc_ = 0;
    int count_ = 0;
};

}  // namespace

bool PxGifLzw::Decode(PxByteReader& reader, uint8_t minCodeSize, uint8_t* out, size_t outSize,
                      size_t* produced) {
    *produced = 0;
    if (minCodeSize < 1 || minCodeSize > 11)
        return false;
    SubBlockSource source(reader);
    CodeReader codes(source);
    const int clear = 1 << minCodeSize, end = clear + 1;
    int codeSize = minCodeSize + 1, next = clear + 2, old = -1;
    uint8_t first = 0;
    size_t n = 0;
    int code = 0;
    while (n < outSize && codes.Read(codeSize, &code)) {
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            old = -1;
            continue;
        }
        if (code == end)
            break;
        if (old < 0) {  // first code after a clear: a literal
            if (code >= clear)
                break;
            out[n++] = first = static_cast<uint8_t>(code);
            old = code;
            continue;
        }
        const int inCode = code;
        int depth = 0;
        if (code >= next) {  // the KwKwK case: only the next code is legal
            if (code > next)
                break;
            stack_[depth++] = first;
            code = old;
        }
        // Every prefix is smaller than its code, so this walk ends.
        while (code >= clear) {
            stack_[depth++] = suffix_[code];
            code = prefix_[code];
        }
        stack_[depth++] = first = static_cast<uint8_t>(code);
        if (next < kMaxCodes) {
            prefix_[next] = static_cast<uint16_t>(old);
            suffix_[next] = first;
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        while (depth > 0 && n < outSize)
            out[n++] = stack_[--depth];
        old = inCode;
    }
    *produced = n;
    source.Finish();
    return true;
}

namespace {

// Packs codes least significant bit first into sub-blocks of up to 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(PxFile* file) : file_(file) {}
    void Put(int code, int bits) {
        acc_ |= uint32_t(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            PutByte(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            count_ -= 8;
        }
    }
    bool Finish() {
        if (count_ > 0)
            PutByte(static_cast<uint8_t>(acc_));
        acc_ = 0;
        count_ = 0;
        FlushBlock();
        uint8_t terminator = 0;
        if (file_->Write(&terminator, 1, 1) != 1)
            ok_ = false;
        return ok_;
    }

private:
    void PutByte(uint8_t b) {
        block_[1 + len_++] = b;
        if (len_ == 255)
            FlushBlock();
    }
    void FlushBlock() {
        if (!len_)
            return;
        block_[0] = static_cast<uint8_t>(len_);
        if (file_->Write(block_, 1, len_ + 1u) != len_ + 1u)
            ok_ = false;
        len_ = 0;
    }
    PxFile* file_;
    uint32_t acc_ = 0;
    int count_ = 0;
    uint8_t block_[256];
    int len_ = 0;
    bool ok_ = true;
};

}  // namespace

bool PxGifLzw::Encode(PxFile* file, uint8_t minCodeSize, const uint8_t* indices, size_t count) {
    if (minCodeSize < 2)
        minCodeSize = 2;
    if (file->Write(&minCodeSize, 1, 1) != 1)
        return false;
    CodeWriter writer(file);
    const int clear = 1 << minCodeSize, end = clear + 1;
    const uint8_t mask = static_cast<uint8_t>(clear - 1);
    int codeSize = minCodeSize + 1, next = clear + 2;
    std::memset(hashCodes_, -1, sizeof(hashCodes_));
    writer.Put(clear, codeSize);
    if (count == 0) {
        writer.Put(end, codeSize);
        return writer.Finish();
    }
    int current = indices[0] & mask;
    for (size_t i = 1; i < count; ++i) {
        const uint8_t c = indices[i] & mask;
        const uint32_t key = ((uint32_t(current) << 8) | c) + 1;
        int slot = static_cast<int>(((uint32_t(c) << 4) ^ uint32_t(current)) % kHashSize);
        while (hashCodes_[slot] >= 0 && hashKeys_[slot] != key)
            slot = (slot + 1) % kHashSize;  // the table never fills: 4096 < 5003
        if (hashCodes_[slot] >= 0) {
            current = hashCodes_[slot];
            continue;
        }
        writer.Put(current, codeSize);
        if (next < kMaxCodes) {
            // The decoder widens its codes once it has defined code 2^size.
            if (next == (1 << codeSize))
                ++codeSize;
            hashCodes_[slot] = next++;
            hashKeys_[slot] = key;
        } else {  // table full: start over
            writer.Put(clear, codeSize);
            std::memset(hashCodes_, -1, sizeof(hashCodes_));
            codeSize = minCodeSize + 1;
            next = clear + 2;
        }
        current = c;
    }
    writer.Put(current, codeSize);
    writer.Put(end, codeSize);
    return writer.Finish();
}
