#include <gtest/gtest.h>

#include <memory>

#include "event_queue.h"
#include "test_support.h"

namespace tarvex {
namespace {

LogEvent event_at(std::uint32_t ts) {
    LogEvent ev;
    ev.vid_timestamp = ts;
    return ev;
}

TEST(EventQueue, KeepsOrderAcrossTheSlotWrap) {
    auto q = std::make_unique<EventQueue>();
    // Two pushes per pop until nearly full, so that head and tail both wrap past slot 255.
    std::uint32_t next_in = 0;
    std::uint32_t next_out = 0;
    for (int round = 0; round < 700; ++round) {
        if (q->count + 1 < QUEUE_SLOTS) {
            ASSERT_EQ(queue_push(*q, event_at(next_in++)), 0);
        }
        if (round % 2 == 1) {
            LogEvent* ev = queue_pop(*q);
            ASSERT_NE(ev, nullptr);
            EXPECT_EQ(ev->vid_timestamp, next_out++);
        }
    }
    ASSERT_GT(next_out, QUEUE_SLOTS);
    ASSERT_EQ(q->count, next_in - next_out);
    EXPECT_EQ(queue_peek_front(*q, 0)->vid_timestamp, next_out);
    EXPECT_EQ(queue_peek_front(*q, q->count - 1)->vid_timestamp, next_in - 1);
    EXPECT_EQ(queue_peek_back(*q, 0)->vid_timestamp, next_in - 1);
    EXPECT_EQ(queue_peek_back(*q, 2)->vid_timestamp, next_in - 3);
    EXPECT_EQ(queue_peek_back(*q, q->count - 1)->vid_timestamp, next_out);
}

TEST(EventQueue, FullQueueRefusesAndKeepsItsRecords) {
    auto q = std::make_unique<EventQueue>();
    for (std::uint32_t i = 0; i < QUEUE_SLOTS; ++i) {
        ASSERT_EQ(queue_push(*q, event_at(i)), 0);
    }
    int rc = 0;
    const std::string out = test::capture_stdout([&] { rc = queue_push(*q, event_at(999)); });
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(out, "ERROR: Inserting into full queue!\n");
    EXPECT_EQ(q->count, QUEUE_SLOTS);
    EXPECT_EQ(queue_peek_front(*q, 0)->vid_timestamp, 0u);
    EXPECT_EQ(queue_peek_back(*q, 0)->vid_timestamp, QUEUE_SLOTS - 1);
}

TEST(EventQueue, EmptyPopAndOutOfRangePeeksReportAndReturnNone) {
    auto q = std::make_unique<EventQueue>();
    LogEvent* popped = &q->slots[0];
    std::string out = test::capture_stdout([&] { popped = queue_pop(*q); });
    EXPECT_EQ(popped, nullptr);
    EXPECT_EQ(out, "ERROR: Removing from empty queue!\n");
    EXPECT_EQ(q->count, 0u);

    for (std::uint32_t i = 0; i < 3; ++i) {
        queue_push(*q, event_at(i));
    }
    LogEvent* front = &q->slots[0];
    LogEvent* back = &q->slots[0];
    out = test::capture_stdout([&] {
        front = queue_peek_front(*q, 3);
        back = queue_peek_back(*q, 7);
    });
    EXPECT_EQ(front, nullptr);
    EXPECT_EQ(back, nullptr);
    EXPECT_EQ(out,
              "ERROR: Queue index out of bounds: 3 (count = 3)\n"
              "ERROR: Queue index out of bounds: 7 (count = 3)\n");
}

}  // namespace
}  // namespace tarvex
