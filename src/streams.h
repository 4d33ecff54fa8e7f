// Where file data comes from and where it goes: the system's files, or a test's stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/platform.h"

namespace swug {

class byte_source {
public:
    virtual ~byte_source() = default;
    // Up to size bytes into data; a count of 0 without an error is the end.
    virtual platform::read_result read(std::uint8_t* data, std::size_t size) = 0;
};

class byte_sink {
public:
    virtual ~byte_sink() = default;
    virtual int write(const std::uint8_t* data, std::size_t size) = 0;
    virtual int write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace swug
