#include "fake_stream.h"

#include <algorithm>
#include <cstring>

namespace swug::testing {

platform::read_result fake_file::read(std::uint8_t* buffer, std::size_t size) {
    if (position >= fail_at) {
        return {0, error};
    }
    const std::uint64_t end = std::min(this->size(), fail_at);
    const std::size_t count = position >= end ? 0
                                              : static_cast<std::size_t>(std::min<std::uint64_t>(
                                                    std::min(size, most_per_read), end - position));
    if (zeros != 0) {
        std::memset(buffer, 0, count);
    } else {
        std::memcpy(buffer, data.data() + position, count);
    }
    position += count;
    return {count, 0};
}

int fake_file::write(const std::uint8_t* buffer, std::size_t size) {
    write_offsets.push_back(position);
    if (position + size > fail_at) {
        return error;
    }
    if (keep_writes) {
        if (data.size() < position + size) {
            data.resize(position + size);
        }
        std::memcpy(data.data() + position, buffer, size);
    }
    position += size;
    return 0;
}

int fake_file::write_at(std::uint64_t offset, const std::uint8_t* buffer, std::size_t size) {
    if (fail_write_at) {
        return ESPIPE;
    }
    const std::uint64_t was = position;
    position = offset;
    const int result = write(buffer, size);
    position = was;
    return result;
}

}  // namespace swug::testing
