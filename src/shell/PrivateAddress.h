// Which IPv4 address the pad reports as its own: the choice over the host's adapter
// list, kept apart from the adapter query so that it can be checked with any list.
#pragma once

#include <string>
#include <vector>

namespace tavrel {

// One network adapter as the host lists it: the text of its first IPv4 address and of
// its first gateway (either may be empty or "0.0.0.0").
struct AdapterAddress {
    std::u16string strIpAddress;
    std::u16string strGateway;
};

// True for 10.x, 172.16.x to 172.31.x and 192.168.x addresses.
bool IsPrivateAddressText(const std::u16string& ip);

// The first private address on an adapter with a gateway; failing that, the first other
// address with a gateway; failing that, the first adapter's address (empty for no
// adapter).
std::u16string ChoosePrivateAddress(const std::vector<AdapterAddress>& adapters);

}  // namespace tavrel
