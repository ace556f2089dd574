// The 256-slot ring used for the look-ahead, the GPS records and the
// look-behind history. Slot arithmetic is modulo 256.
#include <cstdio>

#include "event_queue.h"

namespace tarvex {

namespace {

std::uint32_t slot_of(std::uint32_t index) { return index % QUEUE_SLOTS; }

void print_out_of_bounds(std::uint32_t i, std::uint32_t count) {
    std::printf("ERROR: Queue index out of bounds: %d (count = %d)\n", static_cast<int>(i), static_cast<int>(count));
}

}  // namespace

int queue_push(EventQueue& q, const LogEvent& ev) {
    if (q.count >= QUEUE_SLOTS) {
        std::puts("ERROR: Inserting into full queue!");
        return -1;
    }
    q.slots[slot_of(q.tail)] = ev;
    q.tail = slot_of(q.tail + 1);
    ++q.count;
    return 0;
}

LogEvent* queue_pop(EventQueue& q) {
    if (q.count == 0) {
        std::puts("ERROR: Removing from empty queue!");
        return nullptr;
    }
    LogEvent* ev = &q.slots[slot_of(q.head)];
    q.head = slot_of(q.head + 1);
    --q.count;
    return ev;
}

LogEvent* queue_peek_front(EventQueue& q, std::uint32_t i) {
    if (i >= q.count) {
        print_out_of_bounds(i, q.count);
        return nullptr;
    }
    return &q.slots[slot_of(q.head + i)];
}

LogEvent* queue_peek_back(EventQueue& q, std::uint32_t i) {
    if (i >= q.count) {
        print_out_of_bounds(i, q.count);
        return nullptr;
    }
    return &q.slots[slot_of(q.head + q.count - 1 - i)];
}

}  // namespace tarvex
