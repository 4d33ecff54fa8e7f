// The size of the slot that an image must fit, as swug_info --slot-size takes it.
#pragma once

#include <cstdint>
#include <optional>

namespace swug {

// Bytes as decimal digits, or KiB or MiB with the suffix K or M: "262144", "256K", "1M". Nothing
// else is a size: no sign, blank, other suffix or value of 0 (a slot that holds nothing), and none
// past 2^64 - 1.
std::optional<std::uint64_t> parse_slot_size(const char* text);

}  // namespace swug
