#include "devsdk/client/HandleTable.h"

namespace ovix::client {

int32_t next_handle_number() {
    static std::atomic<int32_t> counter{0};
    int32_t current = counter.load();
    int32_t next;
    do next = current == INT32_MAX ? 1 : current + 1;
    while (!counter.compare_exchange_weak(current, next));
    return next;
}

} // namespace ovix::client
