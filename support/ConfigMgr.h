#pragma once
// npPixmend's process-wide store of script values, created on first use
// (thread-safe). Only the file field name is read elsewhere (the file part of
// every upload); the other values are stored for script and read by nothing.
#include <cstdint>
#include <mutex>
#include <string>

class ConfigMgr {
public:
    static ConfigMgr& Instance();

    void SetJpegQuality(int16_t quality);
    int16_t GetJpegQuality() const;
    void SetWatermark(bool on);
    bool GetWatermark() const;
    // Takes UTF-8 from script and stores it in the ANSI code page.
    void SetDefaultFolder(const std::string& utf8Folder);
    std::string GetDefaultFolder() const;
    // Always "img": nothing in npPixmend changes it.
    std::string GetFileFieldName() const;

    ConfigMgr(const ConfigMgr&) = delete;
    ConfigMgr& operator=(const ConfigMgr&) = delete;

private:
    ConfigMgr() = default;

    mutable std::mutex mutex_;
    int16_t jpegQuality_ = 80;
    bool watermark_ = false;
    std::string defaultFolder_;
};
