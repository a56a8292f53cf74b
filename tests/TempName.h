#pragma once
// Test programs of both flavours, and the same program under several code
// pages, run side by side; a temporary file named only by its leaf would be
// written by one while another reads it. The process id keeps them apart.
#include <string>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
inline long CurrentProcessId() { return static_cast<long>(_getpid()); }
#else
#include <unistd.h>
inline long CurrentProcessId() { return static_cast<long>(getpid()); }
#endif

inline std::string UniqueTempName(const std::string& leaf) {
    return testing::TempDir() + "px" + std::to_string(CurrentProcessId()) + "-" + leaf;
}
