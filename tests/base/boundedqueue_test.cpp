#include "base/boundedqueue.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct HoldCase
{
    const char *name;
    std::size_t capacity;
    int beforeHold; // items pushed before the producer holds
    int group; // items per push
};

class BoundedQueueHoldTest : public ::testing::TestWithParam<HoldCase>
{
};

// The producer pushes, then marks itself held and waits to be let go, as a paused
// send does. The consumer's wait ends on the mark, and by then it has taken every
// item pushed before it, however small the queue; after the release the rest
// follows in order.
TEST_P(BoundedQueueHoldTest, AWaitEndedByTheOwnersMarkHasEverythingBeforeIt)
{
    const HoldCase &c = GetParam();
    constexpr int kAfterHold = 300;
    BoundedQueue<int> queue(c.capacity, nullptr);
    std::atomic<bool> held { false };
    std::atomic<bool> released { false };
    const auto pushFrom = [&](int first, int end) {
        std::vector<int> items;
        for (int i = first; i < end;) {
            items.clear();
            for (int k = 0; k < c.group && i < end; ++k) {
                items.push_back(i++);
            }
            ASSERT_TRUE(queue.Push(items.data(), items.size()));
        }
    };
    std::thread producer([&] {
        pushFrom(0, c.beforeHold);
        held = true;
        queue.Wake();
        while (!released.load()) {
            std::this_thread::yield();
        }
        held = false;
        pushFrom(c.beforeHold, c.beforeHold + kAfterHold);
        queue.Finish();
    });
    std::vector<int> received;
    std::vector<int> taken;
    while (!queue.WaitAndTakeUntil(taken, [&] { return held.load(); })) {
        received.insert(received.end(), taken.begin(), taken.end());
    }
    EXPECT_EQ(received.size(), static_cast<std::size_t>(c.beforeHold));
    released = true;
    while (!queue.WaitAndTake(taken)) {
        received.insert(received.end(), taken.begin(), taken.end());
    }
    producer.join();
    ASSERT_EQ(received.size(), static_cast<std::size_t>(c.beforeHold + kAfterHold));
    for (std::size_t i = 0; i < received.size(); ++i) {
        ASSERT_EQ(received[i], static_cast<int>(i));
    }
    EXPECT_LE(queue.highWater(), c.capacity);
}

INSTANTIATE_TEST_SUITE_P(Holds, BoundedQueueHoldTest,
    ::testing::Values(HoldCase { "nothing_before_the_hold", 8, 0, 1 },
        HoldCase { "one_slot", 1, 40, 1 }, HoldCase { "room_for_all", 1024, 200, 7 },
        HoldCase { "pushes_larger_than_the_queue", 4, 90, 11 }),
    RowName());

} // namespace
