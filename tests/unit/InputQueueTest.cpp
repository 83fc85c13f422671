#include <gtest/gtest.h>

#include <memory>

#include "protocol/FrameWriter.h"
#include "protocol/Packet.h"
#include "remote/InputQueue.h"

namespace {

size_t PayloadSize(const CPacket& packet) {
    CFrameWriter out;
    EXPECT_TRUE(packet.WritePayload(out));
    return out.Size();
}

KeyEventRecord Key(uint32_t vk) { return KeyEventRecord{256, vk, 1, 0}; }
MouseEventRecord Mouse(int32_t x) { return MouseEventRecord{512, 0, x, 2 * x, 0}; }

}  // namespace

TEST(InputQueueTest, DrainBuildsOneKeyThenOneMousePacket) {
    const struct { size_t keys, mouse; } cases[] = {{0, 0}, {1, 0}, {0, 1}, {3, 5}, {40, 1}};
    for (const auto& c : cases) {
        CInputQueue queue;
        for (size_t i = 0; i < c.keys; ++i) queue.AppendKey(Key(static_cast<uint32_t>(65 + i)));
        for (size_t i = 0; i < c.mouse; ++i) queue.AppendMouse(Mouse(static_cast<int32_t>(i)));
        const size_t expected = (c.keys > 0 ? 1 : 0) + (c.mouse > 0 ? 1 : 0);
        EXPECT_EQ(queue.Drain(false), expected);
        EXPECT_EQ(queue.PendingKeys(), 0u);
        EXPECT_EQ(queue.PendingMouse(), 0u);

        if (c.keys > 0) {
            std::unique_ptr<CPacket> keys = queue.TakeNextPacket();
            ASSERT_TRUE(keys);
            EXPECT_EQ(keys->m_nType, kPacketKeys);
            ASSERT_EQ(keys->m_vKeys.size(), c.keys);
            EXPECT_EQ(keys->m_vKeys.back(), Key(static_cast<uint32_t>(65 + c.keys - 1)));
            EXPECT_EQ(PayloadSize(*keys), 4 + kKeyEventWireSize * c.keys);
        }
        if (c.mouse > 0) {
            std::unique_ptr<CPacket> mouse = queue.TakeNextPacket();
            ASSERT_TRUE(mouse);
            EXPECT_EQ(mouse->m_nType, kPacketMouse);
            ASSERT_EQ(mouse->m_vMouse.size(), c.mouse);
            EXPECT_EQ(mouse->m_vMouse.front(), Mouse(0));
            EXPECT_EQ(PayloadSize(*mouse), 4 + kMouseEventWireSize * c.mouse);
        }
        EXPECT_FALSE(queue.TakeNextPacket());
    }
}

TEST(InputQueueTest, ClosingDropsTheRecords) {
    CInputQueue queue;
    queue.AppendKey(Key(65));
    queue.AppendMouse(Mouse(1));
    EXPECT_EQ(queue.Drain(true), 0u);
    EXPECT_EQ(queue.PendingKeys(), 0u);
    EXPECT_EQ(queue.PendingMouse(), 0u);
    EXPECT_EQ(queue.QueuedPackets(), 0u);
    EXPECT_FALSE(queue.TakeNextPacket());
}

TEST(InputQueueTest, PacketsLeaveInOrderAndClearFreesEverything) {
    CInputQueue queue;
    queue.QueuePacket(std::make_unique<CPacket>(u"[RC00003]"));
    queue.QueuePacket(nullptr);
    queue.AppendMouse(Mouse(3));
    EXPECT_EQ(queue.Drain(false), 1u);
    EXPECT_EQ(queue.QueuedPackets(), 2u);
    EXPECT_EQ(queue.TakeNextPacket()->m_nType, kPacketText);
    EXPECT_EQ(queue.TakeNextPacket()->m_nType, kPacketMouse);

    queue.QueuePacket(std::make_unique<CPacket>(u"[RC00005]"));
    queue.AppendKey(Key(66));
    queue.AppendMouse(Mouse(4));
    queue.Clear();
    EXPECT_EQ(queue.QueuedPackets(), 0u);
    EXPECT_EQ(queue.Drain(false), 0u);
}
