// In-memory stdio streams (glibc's fopencookie) that fail on command, to drive the tools' own
// read and write code into every error path.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace swug::testing {

struct fake_file {
    std::string data;
    std::uint64_t position = 0;
    // When set, reads deliver this many zero bytes and data is ignored: a huge input in no memory.
    std::uint64_t zeros = 0;
    // Reads and writes fail once the position reaches this offset.
    std::uint64_t fail_at = std::numeric_limits<std::uint64_t>::max();
    int error = EIO;
    bool fail_seek = false;
    bool keep_writes = true;  // false: count written bytes but keep none
    std::uint64_t size() const { return zeros != 0 ? zeros : data.size(); }
};

// Opens file as a stream with mode "rb" or "wb"; the stream refers to file until closed.
std::FILE* open_fake(fake_file& file, const char* mode);

}  // namespace swug::testing
