// The ring's error messages, out of the inline fast paths.
#include "event_queue.h"

#include <cstdio>

namespace tarvex {

int queue_full_error() {
    std::puts("ERROR: Inserting into full queue!");
    return -1;
}

LogEvent* queue_empty_error() {
    std::puts("ERROR: Removing from empty queue!");
    return nullptr;
}

LogEvent* queue_index_error(std::uint32_t i, std::uint32_t count) {
    std::printf("ERROR: Queue index out of bounds: %d (count = %d)\n", static_cast<int>(i), static_cast<int>(count));
    return nullptr;
}

}  // namespace tarvex
