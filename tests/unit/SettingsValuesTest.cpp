#include "shell/SettingsValues.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tavrel;

TEST(SettingsValuesTest, NoteToolColourFallsBackToDefault) {
    const struct {
        uint32_t stored;
        uint32_t expected;
    } cases[] = {
        {0x0000E6, 0x0000E6}, {0x00E600, 0x00E600}, {0x00E6E6, 0x00E6E6},   {0x141414, 0x141414},
        {0xC7B71B, 0xC7B71B}, {0xCC33E6, 0xCC33E6}, {0xE60000, 0xE60000},   {0xE6E6E6, 0xE6E6E6},
        {0x0000FF, 0x0000E6}, {0, 0x0000E6},        {0xFFFFFFFF, 0x0000E6}, {0x0100E6, 0x0000E6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, AllowedNoteToolColor(c.stored)) << std::hex << c.stored;
    }
}

TEST(SettingsValuesTest, PenSizeTypeFallsBackToDefault) {
    const struct {
        int stored;
        int expected;
    } cases[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {0, 2}, {5, 2}, {7, 2}, {-1, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, AllowedNoteToolPenSizeType(c.stored)) << c.stored;
    }
}

TEST(SettingsValuesTest, ScaleFactorOverride) {
    const struct {
        std::u16string text;
        float expected;
    } cases[] = {
        {u"1.4", 1.4f}, {u"1.4abc", 1.4f},  {u"abc", 0.0f},   {u"0", 0.0f},   {u"", 0.0f},
        {u"2", 2.0f},   {u" 1.25", 1.25f},  {u"+1.5", 1.5f},  {u".5", 0.5f},  {u"3.", 3.0f},
        {u"1e0", 1.0f}, {u"1.5e", 1.5f},    {u"0.0", 0.0f},   {u".", 0.0f},   {u"-", 0.0f},
        {u"1,5", 1.0f}, {u"-1.5", 0.0f},    {u"1e999", 0.0f}, {u"inf", 0.0f}, {u"nan", 0.0f},
        {u"0x2", 0.0f}, {u"\uC2181", 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(c.expected, ParseScaleFactorOverride(c.text))
            << std::string(c.text.begin(), c.text.end());
    }
}

TEST(SettingsValuesTest, StartupRelayEndpoint) {
    const struct {
        std::u16string ip, port;
        std::u16string expectedIp, expectedPort;
        bool writeIp, writePort;
    } cases[] = {
        {u"0.0.0.0", u"0", u"0.0.0.0", u"10240", true, true},
        {u"10.0.0.5", u"0", u"10.0.0.5", u"10240", false, true},
        {u"10.0.0.5", u"7000", u"10.0.0.5", u"7000", false, false},
        {u"0.0.0.0", u"10240", u"0.0.0.0", u"10240", true, false},
        {u"", u"", u"", u"", false, false},
    };
    for (const auto& c : cases) {
        const RelayEndpointSetting endpoint = ResolveStartupRelayEndpoint(c.ip, c.port);
        EXPECT_EQ(c.expectedIp, endpoint.ip);
        EXPECT_EQ(c.expectedPort, endpoint.port);
        EXPECT_EQ(c.writeIp, endpoint.writeIp);
        EXPECT_EQ(c.writePort, endpoint.writePort);
    }
    const RelayEndpointSetting none = RelayEndpointWithoutFile();
    EXPECT_EQ(u"0.0.0.0", none.ip);
    EXPECT_EQ(u"10240", none.port);
    EXPECT_FALSE(none.writeIp || none.writePort);
}

TEST(SettingsValuesTest, CompatLayerFlag) {
    const struct {
        std::u16string current;
        bool write;
        std::u16string expected;
    } cases[] = {
        {u"", true, u"HIGHDPIAWARE"},
        {u"~ DISABLETHEMES", true, u"~ DISABLETHEMES HIGHDPIAWARE"},
        {u"~ HIGHDPIAWARE", false, u""},
        {u"HIGHDPIAWARE DISABLETHEMES", false, u""},
        {u"~ highdpiaware", true, u"~ highdpiaware HIGHDPIAWARE"},
    };
    for (const auto& c : cases) {
        std::u16string updated;
        EXPECT_EQ(c.write, AddCompatLayerFlag(c.current, kHighDpiAwareFlag, updated));
        EXPECT_EQ(c.expected, updated);
    }
}

}  // namespace
