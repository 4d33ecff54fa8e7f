// Reading an upgrade image back: every header field decoded and every rule of the format checked
// by name, reading the file once, front to back, in constant memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "image_format.h"

namespace swug {

// One named rule and its verdict; expected and found are filled when it failed.
struct check_result {
    std::string name;
    bool ok = true;
    std::string expected;
    std::string found;
};

struct image_report {
    std::uint64_t size = 0;   // bytes in the file
    bool has_header = false;  // false when the file is shorter than a header
    header_bytes raw{};       // the header as found
    swug_header header;       // its fields, decoded
    std::vector<check_result> checks;

    bool valid() const;
    // "name: expected X, found Y" for every failed check.
    std::vector<std::string> problems() const;
};

// Checks the image read from stream (positioned at its start) into report. Returns false on a
// read error, with errno set; report then holds what was read so far.
bool check_image(std::FILE* stream, image_report& report);

// A value as at least eight lower-case hex digits, the way the tools print 32-bit values.
std::string format_hex(std::uint64_t value);

// The named header fields in their order in the header, for showing them.
std::vector<std::pair<const char*, std::uint32_t>> named_fields(const swug_header& header);

// The magic as printable text: other bytes as \xNN, the final zero byte left out when present.
std::string printable_magic(const header_bytes& raw);

}  // namespace swug
