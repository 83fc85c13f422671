#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Classroom.h"
#include "PadClient.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"

// A classroom without relay and a pad connected straight to its lectern PC.
struct LecternFixture : ::testing::Test {
    std::unique_ptr<CClassroom> classroom;
    std::unique_ptr<CPadClient> pad;

    static ClassroomOptions Options(const LecternOptions& lectern) {
        ClassroomOptions o;
        o.withRelay = false;
        o.lectern = lectern;
        o.media.frameIntervalMs = 0;
        return o;
    }

    void Start(const LecternOptions& lectern) { Start(Options(lectern)); }
    void Start(const ClassroomOptions& options) {
        pad.reset();
        classroom = std::make_unique<CClassroom>(options);
        ASSERT_TRUE(classroom->Start());
        pad = std::make_unique<CPadClient>(classroom->LecternPort());
        ASSERT_TRUE(pad->Connected());
    }

    // Takes the version and the greeting, answers as the pad does.
    void Greet(const std::u16string& expectedVersion = kOwnVersion) {
        auto version = pad->ReadCommand(kCmdPeerVersion, kLongWait);
        ASSERT_TRUE(version.has_value());
        EXPECT_EQ(*version, expectedVersion);
        ASSERT_TRUE(pad->ReadCommand(kCmdPeerGreeting, kLongWait).has_value());
        ASSERT_TRUE(pad->Send(std::u16string(kCmdGreetingAnswer) + kArgGreetingAnswer));
        ASSERT_TRUE(pad->Send(std::u16string(kCmdOwnVersion) + kOwnVersion));
    }

    // Waits until the lectern PC logged receiving this many packets with the code.
    bool Received(const std::u16string& code, size_t count = 1) {
        std::string c(code.begin(), code.end());
        return classroom->Log().WaitForCount(CEventLog::KindWith("recv", "code", c), count,
                                             kLongWait);
    }
};
