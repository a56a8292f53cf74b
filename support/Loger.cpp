#include "support/Loger.h"

void Log::SetEnabled(int enabled) {
    std::lock_guard<std::mutex> hold(mutex_);
    enabled_ = enabled;
}

int Log::IsEnabled() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return enabled_;
}

Loger& Loger::Instance() {
    static Loger instance;
    return instance;
}

void Loger::SetLogFile(const std::string& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    logFile_ = name;
}

std::string Loger::GetLogFile() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return logFile_;
}
