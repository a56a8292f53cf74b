#include "hosts/npapi/ScriptValues.h"

#include <cmath>
#include <limits>

namespace {

const int64_t kMin = std::numeric_limits<int32_t>::min();
const int64_t kMax = std::numeric_limits<int32_t>::max();

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int32_t ParseInteger(const char* text, uint32_t length) {
    uint32_t i = 0;
    while (i < length && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t magnitude = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kMax + 1) magnitude = kMax + 1;  // stays saturated
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(value > kMax ? kMax : value);
}

}  // namespace

int32_t ScriptInteger(const NPVariant& value) {
    switch (value.type) {
    case NPVariantType_Int32:
        return value.value.intValue;
    case NPVariantType_Double: {
        const double d = value.value.doubleValue;
        if (std::isnan(d)) return 0;
        if (d >= static_cast<double>(kMax)) return static_cast<int32_t>(kMax);
        if (d <= static_cast<double>(kMin)) return static_cast<int32_t>(kMin);
        return static_cast<int32_t>(d);
    }
    case NPVariantType_String:
        if (value.value.stringValue.UTF8Characters == nullptr) return 0;
        return ParseInteger(value.value.stringValue.UTF8Characters,
                            value.value.stringValue.UTF8Length);
    default:
        return 0;
    }
}

std::string ScriptText(const NPVariant& value) {
    if (value.type != NPVariantType_String || value.value.stringValue.UTF8Characters == nullptr)
        return std::string();
    return std::string(value.value.stringValue.UTF8Characters, value.value.stringValue.UTF8Length);
}

bool ScriptFlag(const NPVariant& value) {
    switch (value.type) {
    case NPVariantType_Bool:
        return value.value.boolValue;
    case NPVariantType_Int32:
        return (value.value.intValue & 0xFF) != 0;
    case NPVariantType_Double:
        return value.value.doubleValue != 0 && !std::isnan(value.value.doubleValue);
    default:
        return false;
    }
}

NPObject* ScriptObject(const NPVariant& value) {
    return value.type == NPVariantType_Object ? value.value.objectValue : nullptr;
}

bool ScriptFieldValue(const NPVariant& value, std::string* text) {
    if (value.type == NPVariantType_Int32) {
        *text = std::to_string(value.value.intValue);
        return true;
    }
    if (value.type == NPVariantType_String) {
        *text = ScriptText(value);
        return true;
    }
    return false;
}
