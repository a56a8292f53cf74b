#include <climits>

#include "image/PxFile.h"
#include "image/PxIOFileOpen.h"

PxIOFile::PxIOFile(FILE* fp) : fp_(fp), closeFile_(fp == nullptr) {}

PxIOFile::PxIOFile(const PxIOFile& other) : fp_(other.fp_), closeFile_(false) {}

PxIOFile& PxIOFile::operator=(const PxIOFile& other) {
    if (this != &other) {
        Close();
        fp_ = other.fp_;
        closeFile_ = false;
    }
    return *this;
}

PxIOFile::~PxIOFile() {
    Close();
}

bool PxIOFile::Open(const PxChar* name, const PxChar* mode) {
    if (fp_ || !name || !mode)
        return false;
    fp_ = PxOpenStdioFile(name, mode);
    if (!fp_)
        return false;
    closeFile_ = true;
    return true;
}

bool PxIOFile::Close() {
    if (!fp_ || !closeFile_)
        return true;
    const int rc = std::fclose(fp_);
    fp_ = nullptr;
    return rc == 0;
}

size_t PxIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!fp_ || !buffer)
        return 0;
    return std::fread(buffer, size, count, fp_);
}

size_t PxIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!fp_ || !buffer)
        return 0;
    return std::fwrite(buffer, size, count, fp_);
}

bool PxIOFile::Seek(int32_t offset, int32_t origin) {
    return fp_ && std::fseek(fp_, offset, origin) == 0;
}

// Positions beyond what the 32-bit interface can express report -1.
int32_t PxIOFile::Tell() {
    if (!fp_)
        return 0;
    const long pos = std::ftell(fp_);
    return pos >= 0 && pos <= INT32_MAX ? static_cast<int32_t>(pos) : -1;
}

int32_t PxIOFile::Size() {
    if (!fp_)
        return -1;
    const long pos = std::ftell(fp_);
    if (pos < 0 || std::fseek(fp_, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(fp_);
    std::fseek(fp_, pos, SEEK_SET);
    return end >= 0 && end <= INT32_MAX ? static_cast<int32_t>(end) : -1;
}

bool PxIOFile::Flush() {
    return fp_ && std::fflush(fp_) == 0;
}

bool PxIOFile::Eof() {
    return !fp_ || std::feof(fp_) != 0;
}

int32_t PxIOFile::Error() {
    return fp_ ? std::ferror(fp_) : -1;
}

bool PxIOFile::PutC(uint8_t c) {
    return fp_ && std::fputc(c, fp_) == c;
}

int32_t PxIOFile::GetC() {
    if (!fp_)
        return -1;
    const int c = std::fgetc(fp_);
    return c == EOF ? -1 : c;
}

char* PxIOFile::GetS(char* buffer, int32_t n) {
    if (!fp_ || !buffer || n <= 0)
        return nullptr;
    return std::fgets(buffer, n, fp_);
}

int32_t PxIOFile::Scanf(const char* format, void* output) {
    if (!fp_ || !format)
        return -1;
    return std::fscanf(fp_, format, output);
}
