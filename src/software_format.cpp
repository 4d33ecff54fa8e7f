#include "software_format.h"

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

}  // namespace swug
