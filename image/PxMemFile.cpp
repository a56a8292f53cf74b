#include <climits>
#include <cstdlib>
#include <cstring>

#include "image/PxFile.h"

namespace {

constexpr uint32_t kGrowStep = 65536;
// Positions and sizes must stay expressible by the 32-bit Tell and Size.
constexpr uint64_t kMaxStreamBytes = INT32_MAX;

// size x count, or SIZE_MAX when the product overflows.
size_t SaturatingProduct(size_t size, size_t count) {
    if (count != 0 && size > SIZE_MAX / count)
        return SIZE_MAX;
    return size * count;
}

}  // namespace

PxMemFile::PxMemFile(uint8_t* buffer, uint32_t size)
    : buffer_(buffer),
      size_(buffer ? size : 0),
      freeOnClose_(buffer == nullptr),
      position_(0),
      capacity_(buffer ? size : 0) {}

PxMemFile::PxMemFile(const PxMemFile& other)
    : buffer_(other.buffer_),
      size_(other.size_),
      freeOnClose_(false),
      position_(other.position_),
      capacity_(other.capacity_) {}

PxMemFile& PxMemFile::operator=(const PxMemFile& other) {
    if (this != &other) {
        Close();
        buffer_ = other.buffer_;
        size_ = other.size_;
        freeOnClose_ = false;
        position_ = other.position_;
        capacity_ = other.capacity_;
    }
    return *this;
}

PxMemFile::~PxMemFile() {
    Close();
}

bool PxMemFile::Open() {
    if (buffer_)
        return false;
    buffer_ = static_cast<uint8_t*>(std::malloc(1));
    size_ = capacity_ = position_ = 0;
    freeOnClose_ = true;
    return buffer_ != nullptr;
}

uint8_t* PxMemFile::GetBuffer(bool detach) {
    if (detach)
        freeOnClose_ = false;
    return buffer_;
}

bool PxMemFile::Close() {
    if (buffer_ && freeOnClose_) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
        capacity_ = 0;
        position_ = 0;
    }
    return true;
}

// Leaves the stream without a buffer, as after a failed growth.
void PxMemFile::Drop() {
    if (freeOnClose_)
        std::free(buffer_);
    buffer_ = nullptr;
    size_ = capacity_ = position_ = 0;
    freeOnClose_ = true;
}

// Makes room for `needed` bytes in total, in 64 KiB steps that always end
// strictly above `needed`. Memory the stream does not own is never passed to
// realloc: its bytes are copied into a new owned buffer instead.
bool PxMemFile::Reserve(uint64_t needed) {
    if (!buffer_)
        return false;
    if (needed > kMaxStreamBytes) {
        Drop();
        return false;
    }
    if (needed <= capacity_)
        return true;
    const uint64_t newCapacity = (needed / kGrowStep) * kGrowStep + kGrowStep;
    uint8_t* grown;
    if (freeOnClose_) {
        grown = static_cast<uint8_t*>(std::realloc(buffer_, newCapacity));
    } else {
        grown = static_cast<uint8_t*>(std::malloc(newCapacity));
        if (grown)
            std::memcpy(grown, buffer_, size_);
    }
    if (!grown) {
        Drop();
        return false;
    }
    buffer_ = grown;
    freeOnClose_ = true;
    capacity_ = static_cast<uint32_t>(newCapacity);
    return true;
}

// Bytes between the old end and a position sought past it read as zeros,
// never as stale heap contents.
void PxMemFile::FillGap() {
    if (position_ > size_) {
        std::memset(buffer_ + size_, 0, position_ - size_);
        size_ = position_;
    }
}

size_t PxMemFile::Read(void* buffer, size_t size, size_t count) {
    const size_t wanted = SaturatingProduct(size, count);
    if (!buffer || !buffer_ || position_ >= size_ || wanted == 0)
        return 0;
    const size_t available = size_ - position_;
    const size_t n = wanted < available ? wanted : available;
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += static_cast<uint32_t>(n);
    return n / size;
}

size_t PxMemFile::Write(const void* buffer, size_t size, size_t count) {
    const size_t n = SaturatingProduct(size, count);
    if (!buffer_ || !buffer || n == 0 || n > kMaxStreamBytes)
        return 0;
    const uint64_t end = static_cast<uint64_t>(position_) + n;
    if (!Reserve(end))
        return 0;
    FillGap();
    std::memcpy(buffer_ + position_, buffer, n);
    position_ = static_cast<uint32_t>(end);
    if (position_ > size_)
        size_ = position_;
    return count;
}

bool PxMemFile::Seek(int32_t offset, int32_t origin) {
    if (!buffer_)
        return false;
    int64_t base;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = position_; break;
    case SEEK_END: base = size_; break;
    default: return false;
    }
    int64_t target = base + offset;
    if (target < 0)
        target = 0;
    if (target > static_cast<int64_t>(kMaxStreamBytes))
        return false;
    position_ = static_cast<uint32_t>(target);
    return true;
}

int32_t PxMemFile::Tell() {
    return buffer_ ? static_cast<int32_t>(position_) : -1;
}

int32_t PxMemFile::Size() {
    return buffer_ ? static_cast<int32_t>(size_) : -1;
}

bool PxMemFile::Flush() {
    return buffer_ != nullptr;
}

bool PxMemFile::Eof() {
    return !buffer_ || position_ >= size_;
}

int32_t PxMemFile::Error() {
    if (!buffer_)
        return -1;
    return position_ > size_ ? 1 : 0;
}

bool PxMemFile::PutC(uint8_t c) {
    if (!buffer_ || position_ >= kMaxStreamBytes)
        return false;
    if (position_ >= capacity_ && !Reserve(static_cast<uint64_t>(position_) + 1))
        return false;
    FillGap();
    buffer_[position_++] = c;
    if (position_ > size_)
        size_ = position_;
    return true;
}

int32_t PxMemFile::GetC() {
    if (Eof())
        return -1;
    return buffer_[position_++];
}

// Like fgets: null only when the end came before any byte was stored, so a
// last line without a newline is still returned.
char* PxMemFile::GetS(char* buffer, int32_t n) {
    if (!buffer || n <= 0)
        return nullptr;
    int32_t stored = 0;
    while (stored < n - 1) {
        const int32_t c = GetC();
        if (c < 0) {
            if (stored == 0)
                return nullptr;
            break;
        }
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[stored] = '\0';
    return buffer;
}

int32_t PxMemFile::Scanf(const char*, void*) {
    return 0;
}
