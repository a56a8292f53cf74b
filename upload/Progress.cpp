#include "upload/Progress.h"

#include <cstdio>
#include <locale>
#include <sstream>
#include <string>

#include "support/Threading.h"

SpeedCalculater::SpeedCalculater(Clock clock)
    : clock_(clock ? clock : &Corvane::Threading::TickCount) {}

uint32_t SpeedCalculater::Calculate(uint32_t bytesSent) {
    const uint32_t now = clock_();
    nowTick_ = now;
    if (count_ > 0 && now - lastTick_ < 1000) return lastSpeed_;
    lastTick_ = now;
    samples_[count_ % 3] = bytesSent - lastBytes_;
    lastBytes_ = bytesSent;
    ++count_;
    const uint32_t sum = samples_[0] + samples_[1] + samples_[2];
    lastSpeed_ = sum > 0 ? static_cast<uint32_t>(static_cast<double>(sum) / 3.0) : 0;
    return lastSpeed_;
}

namespace {

template <typename S>
S Widen(const std::string& text) {
    return S(text.begin(), text.end());
}

std::string FormatQuotient(double value, const char* unit) {
    if (FlavourTraits::kShortSizeText) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << static_cast<float>(value) << unit;
        return out.str();
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s", value, unit);
    return text;
}

}  // namespace

PxString FormatByteSize(double bytes) {
    const double kKB = 1024.0, kMB = kKB * 1024, kGB = kMB * 1024, kTB = kGB * 1024;
    std::string text;
    if (bytes >= kTB) text = FormatQuotient(bytes / kTB, "TB");
    else if (bytes >= kGB) text = FormatQuotient(bytes / kGB, "GB");
    else if (bytes >= kMB) text = FormatQuotient(bytes / kMB, "MB");
    else if (bytes >= kKB) text = FormatQuotient(bytes / kKB, "KB");
    else text = std::to_string(static_cast<long long>(bytes)) + "Bytes";
    return Widen<PxString>(text);
}

PxString PercentText(uint32_t sent, uint32_t total) {
    if (sent == total || total == 0) return PX_TEXT("100%");
    const double ratio = static_cast<double>(sent) / static_cast<double>(total) * 100.0;
    return Widen<PxString>(std::to_string(static_cast<long long>(ratio)) + "%");
}
