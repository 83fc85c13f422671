#include "shell/SettingsValues.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tavrel {

uint32_t AllowedNoteToolColor(uint32_t stored) {
    for (uint32_t colour : kNoteToolColors) {
        if (colour == stored) return stored;
    }
    return kDefaultNoteToolColor;
}

int AllowedNoteToolPenSizeType(int stored) {
    if (stored >= kMinNoteToolPenSizeType && stored <= kMaxNoteToolPenSizeType) return stored;
    return kDefaultNoteToolPenSizeType;
}

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Appends the run of digits starting at `pos` to `out` and returns how many there were.
size_t TakeDigits(const std::u16string& text, size_t& pos, std::string& out) {
    const size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) out.push_back(static_cast<char>(text[pos++]));
    return pos - start;
}

// The longest leading decimal number of `text` as ASCII ("" when there is none):
// optional space and sign, digits with an optional fraction, optional exponent.
std::string LeadingDecimal(const std::u16string& text) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    std::string number;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        if (text[pos] == u'-') number.push_back('-');
        ++pos;
    }
    size_t digits = TakeDigits(text, pos, number);
    if (pos < text.size() && text[pos] == u'.') {
        std::string fraction = ".";
        size_t fractionPos = pos + 1;
        const size_t fractionDigits = TakeDigits(text, fractionPos, fraction);
        if (digits + fractionDigits > 0) {
            number += fraction;
            digits += fractionDigits;
            pos = fractionPos;
        }
    }
    if (digits == 0) return std::string();
    if (pos < text.size() && (text[pos] == u'e' || text[pos] == u'E')) {
        size_t exponentPos = pos + 1;
        std::string exponent = "e";
        if (exponentPos < text.size() && (text[exponentPos] == u'+' || text[exponentPos] == u'-')) {
            exponent.push_back(static_cast<char>(text[exponentPos++]));
        }
        if (TakeDigits(text, exponentPos, exponent) > 0) number += exponent;
    }
    return number;
}

}  // namespace

float ParseScaleFactorOverride(const std::u16string& text) {
    const std::string number = LeadingDecimal(text);
    if (number.empty()) return 0.0f;
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc()) return 0.0f;
    const float scale = static_cast<float>(value);
    if (!std::isfinite(scale) || scale <= 0.0f) return 0.0f;
    return scale;
}

RelayEndpointSetting ResolveStartupRelayEndpoint(const std::u16string& ipRead,
                                                 const std::u16string& portRead) {
    RelayEndpointSetting endpoint;
    endpoint.ip = ipRead;
    endpoint.writeIp = ipRead == kUnsetRelayIp;
    endpoint.port = portRead;
    if (portRead == kUnsetRelayPort) {
        endpoint.port = kDefaultRelayPort;
        endpoint.writePort = true;
    }
    return endpoint;
}

RelayEndpointSetting RelayEndpointWithoutFile() {
    RelayEndpointSetting endpoint;
    endpoint.ip = kUnsetRelayIp;
    endpoint.port = kDefaultRelayPort;
    return endpoint;
}

bool AddCompatLayerFlag(const std::u16string& current, const std::u16string& flag,
                        std::u16string& updated) {
    if (current.empty()) {
        updated = flag;
        return true;
    }
    if (current.find(flag) != std::u16string::npos) return false;
    updated = current + u' ' + flag;
    return true;
}

}  // namespace tavrel
