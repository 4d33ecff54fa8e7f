#include "software_format.h"

#include <algorithm>
#include <cstring>

namespace swug {

namespace {

bool is_hex_digit(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned hex_value(std::uint8_t c) {
    return c <= '9' ? c - '0' : (c | 0x20u) - 'a' + 10;
}

// A first line of text records: the hex digits from head[from] to the line's end (or to the end of
// the bytes seen) are all hex, at least min_digits of them, and, when the line ends in view, as
// many as the record's byte count at head[count_at] asks for: (count + extra_bytes) * 2.
bool is_record_line(const std::uint8_t* head, std::size_t size, std::size_t from,
                    std::size_t count_at, unsigned extra_bytes, std::size_t min_digits) {
    std::size_t at = from;
    while (at < size && is_hex_digit(head[at])) {
        ++at;
    }
    const std::size_t digits = at - from;
    if (digits < min_digits) {
        return false;
    }
    const unsigned count = hex_value(head[count_at]) * 16 + hex_value(head[count_at + 1]);
    const std::size_t wanted = (std::size_t{count} + extra_bytes) * 2;
    if (at == size) {
        return digits <= wanted;  // the line goes on past the bytes seen
    }
    return (head[at] == '\r' || head[at] == '\n') && digits == wanted;
}

}  // namespace

software_format guess_software_format(const std::uint8_t* head, std::size_t size) {
    // ELF: the magic, then a class (32 or 64 bits) and a byte order that exist.
    if (size >= 6 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F' &&
        (head[4] == 1 || head[4] == 2) && (head[5] == 1 || head[5] == 2)) {
        return software_format::elf;
    }
    // Intel HEX: ":LLAAAATT...CC", at least ":00000001FF"; the digits after the count are the
    // address (2 bytes), type (1), data and checksum (1).
    if (size >= 11 && head[0] == ':' && is_record_line(head, size, 1, 1, 5, 10)) {
        return software_format::ihex;
    }
    // Motorola S-record: "Stcc...", at least "S9030000FC"; the count covers address, data and
    // checksum.
    if (size >= 10 && head[0] == 'S' && head[1] >= '0' && head[1] <= '9' &&
        is_record_line(head, size, 2, 2, 1, 8)) {
        return software_format::srec;
    }
    return software_format::binary;
}

namespace {

struct format_names {
    const char* key;
    const char* text;
};

// In the order of software_format.
constexpr format_names names[] = {
    {"binary", "raw binary"},
    {"elf", "an ELF program"},
    {"ihex", "Intel HEX text"},
    {"srec", "Motorola S-record text"},
};

}  // namespace

const char* software_format_key(software_format format) {
    return names[static_cast<int>(format)].key;
}

const char* software_format_text(software_format format) {
    return names[static_cast<int>(format)].text;
}

std::string raw_image_command(const std::string& path, software_format format) {
    // The extension is the last "." of the last name that is not its first character.
    const std::size_t name_at = path.find_last_of("/\\") + 1;  // 0 when there is no folder
    const std::size_t dot = path.rfind('.');
    const std::string stem = dot != std::string::npos && dot > name_at ? path.substr(0, dot) : path;
    const std::string raw = stem + ".bin" != path ? stem + ".bin" : stem + ".raw.bin";
    const bool text = format == software_format::ihex || format == software_format::srec;
    const std::string input_format =
        text ? std::string("-I ") + software_format_key(format) + " " : std::string();
    return "objcopy " + input_format + "-O binary " + path + " " + raw;
}

platform::read_result format_probe::read(std::uint8_t* data, std::size_t size) {
    const platform::read_result got = source_.read(data, size);
    // The next byte to keep is at skip_ + kept_size_ of the stream; this read delivered
    // [passed_, passed_ + got.count).
    const std::uint64_t wanted_at = skip_ + kept_size_;
    const std::uint64_t end = passed_ + got.count;
    if (kept_size_ < kept_.size() && wanted_at >= passed_ && wanted_at < end) {
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(end - wanted_at, kept_.size() - kept_size_));
        std::memcpy(kept_.data() + kept_size_, data + (wanted_at - passed_), count);
        kept_size_ += count;
    }
    passed_ = end;
    return got;
}

software_format format_probe::guess(std::uint64_t limit) const {
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kept_size_, limit));
    return guess_software_format(kept_.data(), size);
}

}  // namespace swug
