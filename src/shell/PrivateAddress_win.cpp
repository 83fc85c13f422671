#include "shell/PrivateAddress_win.h"

#include "shell/PrivateAddress.h"
#include "shell/TextUtil_win.h"

#include <iphlpapi.h>

#include <cstring>
#include <new>
#include <vector>

namespace {

// The adapter list in a buffer of whole records, so that the records are aligned.
bool ReadAdapterList(std::vector<IP_ADAPTER_INFO>& buffer) {
    buffer.assign(1, IP_ADAPTER_INFO{});
    ULONG size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    DWORD result = GetAdaptersInfo(buffer.data(), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign((size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO),
                      IP_ADAPTER_INFO{});
        size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
        result = GetAdaptersInfo(buffer.data(), &size);
    }
    return result == NO_ERROR;
}

std::u16string AddressText(const IP_ADDR_STRING& address) {
    const char* text = address.IpAddress.String;
    const std::string bytes(text, strnlen(text, sizeof(address.IpAddress.String)));
    return AfxToU16(CodePageToWide(CP_THREAD_ACP, bytes));
}

}  // namespace

std::wstring LocalPrivateAddress() {
    std::vector<tavrel::AdapterAddress> adapters;
    try {
        std::vector<IP_ADAPTER_INFO> buffer;
        if (!ReadAdapterList(buffer)) return std::wstring();
        for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter; adapter = adapter->Next) {
            adapters.push_back(
                {AddressText(adapter->IpAddressList), AddressText(adapter->GatewayList)});
        }
    } catch (const std::bad_alloc&) {
        return std::wstring();
    }
    return AfxToWide(tavrel::ChoosePrivateAddress(adapters));
}
