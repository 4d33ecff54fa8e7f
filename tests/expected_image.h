// What a correct upgrade image holds, worked out by the tests themselves from the documented
// layout: the expected side of a test never calls the code it tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace swug::testing {

using bytes = std::string;

constexpr std::size_t header_size = 128;
constexpr std::size_t mcu_ota_limit = 98304;  // the largest MCU OTA image that is packed

inline bytes bytes_of(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// value as four bytes, least significant first.
bytes le32(std::uint32_t value);

// Every byte of part taken as 0..255 and added up modulo 2^32.
std::uint32_t byte_sum(const bytes& part);

// The 128-byte header for these parts, then the parts: the magic "ZQ-TR5200 Image" and a zero
// byte, length at 16, sum at 20, and with an MCU OTA image the flag 1 at 64, its offset at 68,
// length at 72 and sum at 76; zeros everywhere else.
bytes upgrade_image(const bytes& software, const std::optional<bytes>& mcu = std::nullopt);

// size bytes that follow no simple rule, the same for the same seed.
bytes some_bytes(std::size_t size, unsigned seed);

// A file of the source tree, such as a golden image in "tests/golden/".
bytes source_file(const std::string& relative_path);

// tests/golden/VERDICTS: each golden image's name with the checks it fails, in the checks' order;
// a file of tests/golden/ it does not list is an error.
std::vector<std::pair<std::string, std::vector<std::string>>> golden_verdicts();

}  // namespace swug::testing
