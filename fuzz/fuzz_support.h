// What both fuzz targets share: files in memory, and the upgrade image that a software image and
// an MCU OTA image must give, worked out here byte by byte rather than by the code under test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image_copy.h"

namespace swug_fuzz {

// Reads at most chunk bytes at a time when chunk is not 0, like a pipe that delivers short reads.
class memory_source final : public swug::byte_source {
public:
    memory_source(const std::uint8_t* data, std::size_t size, std::size_t chunk = 0)
        : data_(data), size_(size), chunk_(chunk) {}
    swug::platform::read_result read(std::uint8_t* buffer, std::size_t size) override {
        std::size_t count = std::min(size, size_ - at_);
        if (chunk_ != 0) {
            count = std::min(count, chunk_);
        }
        if (count != 0) {
            std::memcpy(buffer, data_ + at_, count);
        }
        at_ += count;
        return {count, 0};
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t chunk_;
    std::size_t at_ = 0;
};

class memory_sink final : public swug::byte_sink {
public:
    std::vector<std::uint8_t> bytes;

    int write(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return 0;
    }
    int write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
        if (offset + size > bytes.size()) {
            bytes.resize(offset + size);
        }
        std::copy(data, data + size, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        return 0;
    }
};

// Largest MCU OTA image that is packed, inclusive.
constexpr std::size_t mcu_limit = 98304;
constexpr std::size_t header_length = 128;

inline std::uint32_t byte_sum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += data[i];
    }
    return sum;
}

inline std::uint32_t get32(const std::uint8_t* at) {
    return at[0] | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// The header, then the software image, then the MCU OTA image when mcu is not null.
inline std::vector<std::uint8_t> expected_image(const std::vector<std::uint8_t>& software,
                                                const std::vector<std::uint8_t>* mcu) {
    std::vector<std::uint8_t> image(header_length);
    std::memcpy(image.data(), "ZQ-TR5200 Image", 16);  // with its zero byte
    auto put32 = [&image](std::size_t at, std::size_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put32(16, software.size());
    put32(20, byte_sum(software.data(), software.size()));
    if (mcu != nullptr) {
        put32(64, 1);
        put32(68, header_length + software.size());
        put32(72, mcu->size());
        put32(76, byte_sum(mcu->data(), mcu->size()));
    }
    image.insert(image.end(), software.begin(), software.end());
    if (mcu != nullptr) {
        image.insert(image.end(), mcu->begin(), mcu->end());
    }
    return image;
}

}  // namespace swug_fuzz
