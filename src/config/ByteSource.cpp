#include "config/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace karvo {

bool MemorySource::seek(std::int64_t offset) {
    if (offset < 0) return false;
    position_ = offset;
    return true;
}

bool MemorySource::read(void* buffer, std::size_t size, std::size_t& bytesRead) {
    bytesRead = 0;
    const auto total = static_cast<std::int64_t>(bytes_.size());
    if (position_ >= total) return true;
    const auto available = static_cast<std::size_t>(total - position_);
    bytesRead = std::min(size, available);
    if (bytesRead > 0) std::memcpy(buffer, bytes_.data() + position_, bytesRead);
    position_ += static_cast<std::int64_t>(bytesRead);
    return true;
}

}  // namespace karvo
