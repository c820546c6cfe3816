#include "receive/receivequeue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

ReceiveOp Numbered(int32_t value)
{
    ReceiveOp op;
    op.kind = ReceiveOp::Kind::Count;
    op.value = value;
    return op;
}

TEST(ReceiveQueueTest, NotifiesOnlyWhenTheQueueGoesFromEmptyToNonEmpty)
{
    int notified = 0;
    ReceiveQueue queue(16, [&] { ++notified; });
    const ReceiveOp op = Numbered(1);
    queue.Push(&op, 1);
    queue.Push(&op, 1);
    queue.Push(&op, 1);
    EXPECT_EQ(notified, 1);
    std::vector<ReceiveOp> taken;
    queue.TakeAll(taken);
    EXPECT_EQ(taken.size(), 3U);
    queue.Push(&op, 1);
    EXPECT_EQ(notified, 2);
}

struct FloodCase
{
    const char *name;
    std::size_t capacity;
    std::size_t group;
};

class ReceiveQueueFloodTest : public ::testing::TestWithParam<FloodCase>
{
};

// The producer outruns the consumer by far; it must wait, never drop, and keep order.
TEST_P(ReceiveQueueFloodTest, ProducerWaitsForRoomAndLosesNothing)
{
    const FloodCase &c = GetParam();
    constexpr int32_t kTotal = 20000;
    std::atomic<int> notified { 0 };
    ReceiveQueue queue(c.capacity, [&] { ++notified; });
    std::thread producer([&] {
        std::vector<ReceiveOp> group;
        for (int32_t i = 0; i < kTotal;) {
            group.clear();
            for (std::size_t k = 0; k < c.group && i < kTotal; ++k) {
                group.push_back(Numbered(i++));
            }
            ASSERT_TRUE(queue.Push(group.data(), group.size()));
        }
        queue.Finish();
    });
    std::vector<int32_t> received;
    std::vector<ReceiveOp> taken;
    while (!queue.WaitAndTake(taken)) {
        for (const ReceiveOp &op : taken) {
            received.push_back(op.value);
        }
        std::this_thread::yield();
    }
    producer.join();
    ASSERT_EQ(received.size(), static_cast<std::size_t>(kTotal));
    for (int32_t i = 0; i < kTotal; ++i) {
        ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    }
    EXPECT_LE(queue.highWater(), c.capacity);
    EXPECT_GE(notified.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReceiveQueueFloodTest,
    ::testing::Values(FloodCase { "one_slot", 1, 1 }, FloodCase { "small_groups", 8, 3 },
        FloodCase { "groups_larger_than_the_queue", 4, 11 }),
    [](const auto &row) { return std::string(row.param.name); });

TEST(ReceiveQueueTest, FailWakesABlockedProducerAndRefusesItsChanges)
{
    ReceiveQueue queue(1, nullptr);
    const ReceiveOp op = Numbered(1);
    ASSERT_TRUE(queue.Push(&op, 1));
    std::atomic<bool> result { true };
    std::thread producer([&] { result = queue.Push(&op, 1); });
    queue.Fail();
    producer.join();
    EXPECT_FALSE(result.load());
    EXPECT_TRUE(queue.failed());
    std::vector<ReceiveOp> taken;
    queue.TakeAll(taken);
    EXPECT_TRUE(taken.empty());
}

TEST(ReceiveQueueTest, WaitAndTakeEndsOnlyWhenFinishedAndEmpty)
{
    ReceiveQueue queue(8, nullptr);
    const ReceiveOp ops[2] = { Numbered(1), Numbered(2) };
    queue.Push(ops, 2);
    queue.Finish();
    std::vector<ReceiveOp> taken;
    EXPECT_FALSE(queue.WaitAndTake(taken));
    EXPECT_EQ(taken.size(), 2U);
    EXPECT_TRUE(queue.WaitAndTake(taken));
    queue.Reset();
    EXPECT_FALSE(queue.finished());
    EXPECT_EQ(queue.highWater(), 0U);
}

} // namespace
