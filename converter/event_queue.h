// The 256-slot ring that holds events: the pipeline's look-ahead, its GPS
// records and its look-behind history. Fixed size, nothing allocated.
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

// Each prints its error message and fails when the queue cannot comply.
int queue_push(EventQueue& q, const LogEvent& ev);           // 0 or -1
LogEvent* queue_pop(EventQueue& q);                          // or nullptr
LogEvent* queue_peek_front(EventQueue& q, std::uint32_t i);  // i-th oldest, or nullptr
LogEvent* queue_peek_back(EventQueue& q, std::uint32_t i);   // i-th newest, or nullptr

}  // namespace tarvex
