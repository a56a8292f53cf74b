#pragma once
// npPixmend's logging settings: the Debug and LogFile script properties are
// accepted and stored. No log line is written and no file is opened.
#include <mutex>
#include <string>

class Log {
public:
    void SetEnabled(int enabled);
    int IsEnabled() const;

private:
    mutable std::mutex mutex_;
    int enabled_ = 0;
};

class Loger {
public:
    // Created on first use (thread-safe), destroyed at process exit.
    static Loger& Instance();

    void SetLogFile(const std::string& name);
    std::string GetLogFile() const;
    Log& GetLog() { return log_; }

    Loger(const Loger&) = delete;
    Loger& operator=(const Loger&) = delete;

private:
    Loger() = default;

    mutable std::mutex mutex_;
    Log log_;
    std::string logFile_;
};
