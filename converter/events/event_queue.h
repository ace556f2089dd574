// The 256-slot ring that holds events: the pipeline's look-ahead and its GPS
// records. Fixed size, nothing allocated. The operations are inline: the
// pipeline runs them several times per sample.
#pragma once

#include <array>
#include <cstdint>

#include "log_event.h"

namespace tarvex {

inline constexpr std::uint32_t QUEUE_SLOTS = 256;

struct EventQueue {
    std::array<LogEvent, QUEUE_SLOTS> slots{};
    std::uint32_t head = 0;  // slot of the oldest record
    std::uint32_t tail = 0;  // slot the next record goes into
    std::uint32_t count = 0;
};

// The error paths: each prints its message and returns the failure value.
int queue_full_error();                                             // -1
LogEvent* queue_empty_error();                                      // nullptr
LogEvent* queue_index_error(std::uint32_t i, std::uint32_t count);  // nullptr

inline std::uint32_t queue_slot(std::uint32_t index) { return index % QUEUE_SLOTS; }

// Each fails with its error message when the queue cannot comply.
inline int queue_push(EventQueue& q, const LogEvent& ev) {  // 0 or -1
    if (q.count >= QUEUE_SLOTS) return queue_full_error();
    q.slots[queue_slot(q.tail)] = ev;
    q.tail = queue_slot(q.tail + 1);
    ++q.count;
    return 0;
}

inline LogEvent* queue_pop(EventQueue& q) {  // or nullptr
    if (q.count == 0) return queue_empty_error();
    LogEvent* ev = &q.slots[queue_slot(q.head)];
    q.head = queue_slot(q.head + 1);
    --q.count;
    return ev;
}

inline LogEvent* queue_peek_front(EventQueue& q, std::uint32_t i) {  // i-th oldest, or nullptr
    if (i >= q.count) return queue_index_error(i, q.count);
    return &q.slots[queue_slot(q.head + i)];
}

inline LogEvent* queue_peek_back(EventQueue& q, std::uint32_t i) {  // i-th newest, or nullptr
    if (i >= q.count) return queue_index_error(i, q.count);
    return &q.slots[queue_slot(q.head + q.count - 1 - i)];
}

// Filling a record in place: the free slot the next record goes into (the
// queue must not be full), then queue_commit makes it the newest record.
inline LogEvent& queue_free_slot(EventQueue& q) { return q.slots[queue_slot(q.tail)]; }
inline void queue_commit(EventQueue& q) {
    q.tail = queue_slot(q.tail + 1);
    ++q.count;
}

}  // namespace tarvex
