// Reading an upgrade image back: every header field decoded and every rule of the format checked
// by name, reading the file once, front to back, in constant memory, and no further than the
// verdict needs. The rules are the verifier's (verify/swug_verify.h), the same that devices run;
// this module reads the file into it and puts its verdict into words.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_copy.h"
#include "image_format.h"
#include "software_format.h"

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
    bool size_exact = true;   // false: the file goes on past size (a pipe, a device)
    bool has_header = false;  // false when the file is shorter than a header
    header_bytes raw{};       // the header as found
    swug_header header;       // its fields, decoded
    // What the software image's first bytes look like; binary without a header.
    software_format software = software_format::binary;
    std::vector<check_result> checks;

    bool valid() const;
    // "name: expected X, found Y" for every failed check.
    std::vector<std::string> problems() const;
};

// A slot that takes an image of any size.
constexpr std::uint64_t any_slot_size = SWUG_VERIFY_NO_LIMIT;

// Checks the image read from source (at its start) into report, reading through buffer. known_size
// is the file's size where the system can tell it (a regular file), else -1: then reading stops
// one byte past the expected end. slot_size is the most bytes the image may have, as the device's
// slot takes them: a larger image fails the size check (and the length check, when its software
// image alone is larger than the slot can hold behind the header). Returns 0, or the error number
// of a failed read; report then holds what was read so far. The source and buffer stay the
// caller's.
int check_image(byte_source& source, std::int64_t known_size, copy_buffer& buffer,
                image_report& report, std::uint64_t slot_size = any_slot_size);

// The named header fields in their order in the header, for showing them.
std::vector<std::pair<const char*, std::uint32_t>> named_fields(const swug_header& header);

// The magic as printable text: other bytes as \xNN, the final zero byte left out when present.
std::string printable_magic(const header_bytes& raw);

}  // namespace swug
