#include "info/image_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace swug {

namespace {

std::string byte_count(std::uint64_t value) {
    return std::to_string(value) + " bytes";
}

}  // namespace

std::vector<std::pair<const char*, std::uint32_t>> named_fields(const swug_header& header) {
    return {{"length", header.length},
            {"sum", header.sum},
            {"upgrade_boot", header.upgrade_boot},
            {"mcu_ota_flag", header.mcu_ota_flag},
            {"mcu_addr", header.mcu_addr},
            {"mcu_len", header.mcu_len},
            {"mcu_sum", header.mcu_sum}};
}

bool image_report::valid() const {
    return !checks.empty() &&
           std::all_of(checks.begin(), checks.end(), [](const check_result& c) { return c.ok; });
}

std::vector<std::string> image_report::problems() const {
    std::vector<std::string> list;
    for (const check_result& c : checks) {
        if (!c.ok) {
            list.push_back(c.name + ": expected " + c.expected + ", found " + c.found);
        }
    }
    return list;
}

std::string printable_magic(const header_bytes& raw) {
    std::size_t shown = magic_size;
    if (raw[magic_size - 1] == 0) {
        --shown;
    }
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        const unsigned char c = raw[i];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

namespace {

// check_sum32 for the verifier, which may hand it more bytes than it takes at once.
extern "C" std::uint32_t sum_for_verifier(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t most = 1u << 30;
    std::uint32_t total = 0;
    for (; size > most; data += most, size -= most) {
        total += check_sum32(data, static_cast<std::int32_t>(most));
    }
    return total + check_sum32(data, static_cast<std::int32_t>(size));
}

// The words a failed check is reported with, made from its numbers: expected, then found.
std::pair<std::string, std::string> explain(swug_verify_check check,
                                            const swug_verify_result& verdict,
                                            const image_report& report) {
    const std::uint64_t expected = verdict.expected[check];
    const std::uint64_t found = verdict.found[check];
    const swug_header& h = report.header;
    switch (check) {
        case SWUG_CHECK_SIZE:
            return {(found < expected ? "at least " : "at most ") + byte_count(expected),
                    byte_count(found)};
        case SWUG_CHECK_MAGIC: {
            header_bytes expected_magic{};
            std::memcpy(expected_magic.data(), magic_text, magic_size);
            return {printable_magic(expected_magic), printable_magic(report.raw)};
        }
        case SWUG_CHECK_LENGTH:
            return {"at most " + byte_count(expected), byte_count(found)};
        case SWUG_CHECK_UNUSED_BYTES:
            return {"zero",
                    "byte " + std::to_string(found) + " = " + format_hex(report.raw[found])};
        case SWUG_CHECK_MCU_OTA_FLAG:
            return {"00000000 or 00000001", format_hex(found)};
        case SWUG_CHECK_MCU_FIELDS:
            return {"mcu_addr, mcu_len and mcu_sum 00000000", format_hex(h.mcu_addr) + ", " +
                                                                  format_hex(h.mcu_len) + " and " +
                                                                  format_hex(h.mcu_sum)};
        case SWUG_CHECK_MCU_ADDR:
            // A field holds 32 bits; an end beyond them can't be written there at all.
            return {expected <= field_max ? format_hex(expected)
                                          : "128 + length, which does not fit 32 bits",
                    format_hex(found)};
        case SWUG_CHECK_MCU_LEN:
            return {"at most " + format_hex(expected), format_hex(found)};
        case SWUG_CHECK_FILE_END:
            return {byte_count(expected),
                    report.size_exact ? byte_count(found) : "more than " + byte_count(found - 1)};
        default:  // sum, upgrade_boot and mcu_sum compare two 32-bit values
            return {format_hex(expected), format_hex(found)};
    }
}

// The verifier's verdict as swug_info shows it.
void describe(const swug_verify& verifier, const swug_verify_result& verdict,
              std::uint64_t position, bool size_exact, image_report& report) {
    static const char* const names[SWUG_CHECK_COUNT] = SWUG_VERIFY_CHECK_NAMES;
    report.size = verdict.found[SWUG_CHECK_SIZE];
    report.size_exact = size_exact;
    report.has_header = (verdict.ran & (1u << SWUG_CHECK_MAGIC)) != 0;
    std::copy(verifier.header, verifier.header + std::min<std::uint64_t>(position, header_size),
              report.raw.begin());
    if (report.has_header) {
        report.header = decode_header(report.raw);
    }
    for (unsigned check = 0; check < SWUG_CHECK_COUNT; ++check) {
        if ((verdict.ran & (1u << check)) == 0) {
            continue;
        }
        check_result result;
        result.name = names[check];
        result.ok = (verdict.failed & (1u << check)) == 0;
        if (!result.ok) {
            std::tie(result.expected, result.found) =
                explain(static_cast<swug_verify_check>(check), verdict, report);
        }
        report.checks.push_back(std::move(result));
    }
}

}  // namespace

int check_image(byte_source& source, std::int64_t known_size, copy_buffer& buffer,
                image_report& report, std::uint64_t slot_size) {
    report = image_report();
    // The software image's first bytes, as they pass, for a guess at its format.
    format_probe probe(source, header_size);
    swug_verify verifier;
    swug_verify_start(
        &verifier, slot_size,
        known_size >= 0 ? static_cast<std::uint64_t>(known_size) : SWUG_VERIFY_UNKNOWN_SIZE);
    swug_verify_use_sum(&verifier, sum_for_verifier);
    // Whatever an earlier copy left in the buffer is not this image's.
    buffer.clear();
    std::uint64_t position = 0;
    bool read_past_parts = false;
    int error = 0;
    for (;;) {
        std::uint32_t part_left = 0;
        const bool past_parts = swug_verify_next(&verifier, &part_left) == SWUG_PART_NONE;
        const bool size_covers =
            known_size >= 0 && static_cast<std::uint64_t>(known_size) >= position;
        // The rest of the part being read; once the parts are in, one byte more tells a pipe or
        // a device from a file that ends there. A regular file's size comes from the system, so
        // its trailing data is never read.
        const std::uint64_t wanted = !past_parts                      ? part_left
                                     : read_past_parts || size_covers ? 0
                                                                      : 1;
        if (wanted == 0) {
            break;
        }
        const platform::read_result got = probe.read(
            buffer.room(),
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted, buffer.room_size())));
        if (got.error != 0 || got.count == 0) {
            error = got.error;
            break;
        }
        swug_verify_feed(&verifier, buffer.room(), got.count);
        position += got.count;
        read_past_parts = past_parts;
    }
    swug_verify_result verdict;
    swug_verify_finish(&verifier, &verdict);
    const bool size_covers = known_size >= 0 && static_cast<std::uint64_t>(known_size) >= position;
    describe(verifier, verdict, position, !read_past_parts || size_covers, report);
    if (report.has_header) {
        report.software = probe.guess(report.header.length);
    }
    return error;
}

}  // namespace swug
