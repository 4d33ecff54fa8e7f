#include "info/slot_size.h"

#include <limits>

namespace swug {

std::optional<std::uint64_t> parse_slot_size(const char* text) {
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    const char* c = text;
    for (; *c >= '0' && *c <= '9'; ++c) {
        const auto digit = static_cast<std::uint64_t>(*c - '0');
        if (value > (most - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    if (c == text) {
        return std::nullopt;
    }
    const std::uint64_t unit = *c == 'K' ? 1024 : *c == 'M' ? 1024 * 1024 : 1;
    if (unit != 1) {
        ++c;
    }
    if (*c != '\0' || value == 0 || value > most / unit) {
        return std::nullopt;
    }
    return value * unit;
}

}  // namespace swug
