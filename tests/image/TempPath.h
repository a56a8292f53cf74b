#pragma once
// A file name in the test's temporary directory, in the flavour's file-name
// type, removed when the object goes away.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/Flavour.h"
#include "tests/TempName.h"

class TempPath {
public:
    explicit TempPath(const std::string& leaf) : narrow_(UniqueTempName(leaf)) {
        for (char c : narrow_)
            name_ += static_cast<PxChar>(static_cast<unsigned char>(c));
        std::remove(narrow_.c_str());
    }
    ~TempPath() { std::remove(narrow_.c_str()); }
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;

    const PxChar* Name() const { return name_.c_str(); }
    const std::string& Narrow() const { return narrow_; }

private:
    std::string narrow_;
    PxString name_;
};

inline FILE* OpenNarrow(const TempPath& path, const char* mode) {
    return std::fopen(path.Narrow().c_str(), mode);
}
