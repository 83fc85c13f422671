#include "shell/PrivateAddress.h"

#include <cstddef>
#include <string>

namespace tavrel {

namespace {

constexpr char16_t kUnsetAddress[] = u"0.0.0.0";
// Address texts shorter than this are passed over, as the pad always has done.
constexpr size_t kShortestAddress = 8;
constexpr int kFirst172Private = 16;
constexpr int kLast172Private = 31;

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool Is172Private(const std::u16string& ip) {
    for (int octet = kFirst172Private; octet <= kLast172Private; ++octet) {
        const std::string prefix = "172." + std::to_string(octet) + ".";
        if (StartsWith(ip, std::u16string(prefix.begin(), prefix.end()))) return true;
    }
    return false;
}

bool HasGateway(const AdapterAddress& adapter) {
    return !adapter.strGateway.empty() && adapter.strGateway != kUnsetAddress;
}

}  // namespace

bool IsPrivateAddressText(const std::u16string& ip) {
    return StartsWith(ip, u"10.") || Is172Private(ip) || StartsWith(ip, u"192.168.");
}

std::u16string ChoosePrivateAddress(const std::vector<AdapterAddress>& adapters) {
    std::u16string fallback;
    bool replaced = false;
    for (size_t i = 0; i < adapters.size(); ++i) {
        const AdapterAddress& adapter = adapters[i];
        if (i == 0) fallback = adapter.strIpAddress;
        if (adapter.strIpAddress.size() < kShortestAddress) continue;
        if (IsPrivateAddressText(adapter.strIpAddress)) {
            if (HasGateway(adapter)) return adapter.strIpAddress;
            continue;
        }
        if (HasGateway(adapter) && (fallback == kUnsetAddress || !replaced)) {
            fallback = adapter.strIpAddress;
            replaced = true;
        }
    }
    return fallback;
}

}  // namespace tavrel
