// An in-memory file that fails on command, to drive the tools' own read and write code into
// every error path.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "image_copy.h"

namespace swug::testing {

struct fake_file final : byte_source, byte_sink {
    std::string data;
    // zeros, when set: reads deliver that many zero bytes, not data (a huge input in no memory);
    // reads and writes fail with error once the position reaches fail_at.
    std::uint64_t position = 0, zeros = 0, fail_at = std::numeric_limits<std::uint64_t>::max();
    int error = EIO;
    std::size_t most_per_read = std::numeric_limits<std::size_t>::max();  // short reads
    bool fail_write_at = false;  // writing at an offset fails (a file that can't go back)
    bool keep_writes = true;     // false: count written bytes but keep none
    std::vector<std::uint64_t> write_offsets;  // where each write began

    // most: the most bytes per read, 0 for no limit.
    explicit fake_file(std::string content = {}, std::size_t most = 0) : data(std::move(content)) {
        most_per_read = most != 0 ? most : most_per_read;
    }
    std::uint64_t size() const { return zeros != 0 ? zeros : data.size(); }

    platform::read_result read(std::uint8_t* buffer, std::size_t size) override {
        if (position >= fail_at) {
            return {0, error};
        }
        const std::uint64_t end = std::min(this->size(), fail_at);
        const auto count = std::size_t(
            std::min<std::uint64_t>({size, most_per_read, end - std::min(end, position)}));
        zeros != 0 ? (void)std::memset(buffer, 0, count)
                   : (void)std::memcpy(buffer, data.data() + position, count);
        position += count;
        return {count, 0};
    }
    int write(const std::uint8_t* buffer, std::size_t size) override {
        write_offsets.push_back(position);
        if (position + size > fail_at) {
            return error;
        }
        if (keep_writes) {
            data.resize(std::max<std::size_t>(data.size(), position + size));
            std::memcpy(data.data() + position, buffer, size);
        }
        position += size;
        return 0;
    }
    int write_at(std::uint64_t offset, const std::uint8_t* buffer, std::size_t size) override {
        if (fail_write_at) {
            return ESPIPE;
        }
        const std::uint64_t was = std::exchange(position, offset);
        const int result = write(buffer, size);
        position = was;
        return result;
    }
};

}  // namespace swug::testing
