#include "SlotWriter.h"

#include <mutex>

namespace kervale {

bool SlotWriter::send(const void* data, std::uint32_t size) {
    {
        std::shared_lock<std::shared_mutex> shared(lock_);
        if (client_.valid() && client_.write(data, size)) return true;
    }
    std::unique_lock<std::shared_mutex> exclusive(lock_);
    return client_.open(slotName_) && client_.write(data, size);
}

bool SlotWriter::reconnect() {
    std::unique_lock<std::shared_mutex> exclusive(lock_);
    return client_.open(slotName_);
}

}  // namespace kervale
