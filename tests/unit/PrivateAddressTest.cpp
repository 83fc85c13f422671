#include "shell/PrivateAddress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(PrivateAddressTest, ChoosesFromAdapterList) {
    const struct {
        const char* name;
        std::vector<AdapterAddress> adapters;
        std::u16string expected;
    } cases[] = {
        {"no adapter", {}, u""},
        {"link-local without gateway, then private with gateway",
         {{u"169.254.10.3", u""}, {u"192.168.0.12", u"192.168.0.1"}},
         u"192.168.0.12"},
        {"unset first adapter is replaced by a public address with gateway",
         {{u"0.0.0.0", u""}, {u"203.0.113.7", u"203.0.113.1"}},
         u"203.0.113.7"},
        {"private address on an adapter with gateway 0.0.0.0 is skipped",
         {{u"10.0.0.5", u"0.0.0.0"}, {u"192.168.1.20", u"192.168.1.1"}},
         u"192.168.1.20"},
        {"private address without gateway is skipped",
         {{u"10.0.0.5", u""}, {u"172.20.1.9", u"172.20.1.1"}},
         u"172.20.1.9"},
        {"first private address with gateway wins",
         {{u"10.1.2.3", u"10.1.2.1"}, {u"192.168.0.12", u"192.168.0.1"}},
         u"10.1.2.3"},
        {"private beats an earlier public address",
         {{u"203.0.113.7", u"203.0.113.1"}, {u"10.9.8.7", u"10.9.8.1"}},
         u"10.9.8.7"},
        {"only the first public address with gateway replaces the fallback",
         {{u"169.254.1.1", u""},
          {u"203.0.113.7", u"203.0.113.1"},
          {u"198.51.100.4", u"198.51.100.1"}},
         u"203.0.113.7"},
        {"nothing private and no gateway: first adapter",
         {{u"169.254.1.1", u""}, {u"203.0.113.7", u""}},
         u"169.254.1.1"},
        {"172.32 is not private, so it only serves as fallback",
         {{u"172.32.0.5", u"172.32.0.1"}, {u"172.31.255.1", u"172.31.0.1"}},
         u"172.31.255.1"},
        {"address shorter than eight characters is passed over",
         {{u"1.2.3.4", u"1.2.3.1"}, {u"8.8.4.44", u"8.8.4.1"}},
         u"8.8.4.44"},
        {"short first adapter still is the fallback", {{u"1.2.3.4", u"1.2.3.1"}}, u"1.2.3.4"},
        {"empty first adapter address, public second",
         {{u"", u""}, {u"203.0.113.7", u"203.0.113.1"}},
         u"203.0.113.7"},
        {"private address with its gateway on an unset first adapter",
         {{u"0.0.0.0", u"0.0.0.0"}, {u"192.168.10.2", u"192.168.10.1"}},
         u"192.168.10.2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(c.expected), Narrow(ChoosePrivateAddress(c.adapters))) << c.name;
    }
}

TEST(PrivateAddressTest, PrivateRanges) {
    const struct {
        std::u16string ip;
        bool expected;
    } cases[] = {
        {u"10.0.0.1", true},      {u"10.255.255.255", true}, {u"100.1.1.1", false},
        {u"110.0.0.1", false},    {u"172.15.0.1", false},    {u"172.16.0.1", true},
        {u"172.24.9.9", true},    {u"172.31.255.1", true},   {u"172.32.0.5", false},
        {u"172.160.0.1", false},  {u"192.168.0.12", true},   {u"192.169.0.1", false},
        {u"1192.168.0.1", false}, {u"0.0.0.0", false},       {u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, IsPrivateAddressText(c.ip)) << Narrow(c.ip);
    }
}

}  // namespace
