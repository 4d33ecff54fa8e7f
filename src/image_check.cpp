#include "image_check.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace swug {

namespace {

std::string byte_count(std::uint64_t value) {
    return std::to_string(value) + " bytes";
}

class judge {
public:
    explicit judge(std::vector<check_result>& checks) : checks_(checks) {}

    void check(const char* name, bool ok, std::string expected, std::string found) {
        check_result result;
        result.name = name;
        result.ok = ok;
        if (!ok) {
            result.expected = std::move(expected);
            result.found = std::move(found);
        }
        checks_.push_back(std::move(result));
    }

    void equal32(const char* name, std::uint32_t expected, std::uint32_t found) {
        check(name, expected == found, format_hex(expected), format_hex(found));
    }

private:
    std::vector<check_result>& checks_;
};

// Offset of the first non-zero byte outside the named fields, or header_size when there is none.
std::size_t first_stray_byte(const header_bytes& raw) {
    for (const byte_range& unused : unused_header_ranges) {
        for (std::size_t i = unused.begin; i < unused.end; ++i) {
            if (raw[i] != 0) {
                return i;
            }
        }
    }
    return header_size;
}

}  // namespace

std::string format_hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%08" PRIx64, value);
    return text;
}

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

// Reads until size bytes or the end of the source.
platform::read_result read_fully(byte_source& source, std::uint8_t* data, std::size_t size) {
    platform::read_result total;
    while (total.count < size) {
        const platform::read_result got = source.read(data + total.count, size - total.count);
        if (got.error != 0 || got.count == 0) {
            total.error = got.error;
            break;
        }
        total.count += got.count;
    }
    return total;
}

}  // namespace

int check_image(byte_source& source, std::int64_t known_size, copy_buffer& buffer,
                image_report& report) {
    report = image_report();
    judge rules(report.checks);

    const platform::read_result got = read_fully(source, report.raw.data(), header_size);
    report.size = got.count;
    if (got.error != 0) {
        return got.error;
    }
    if (got.count < header_size) {
        rules.check("size", false, "at least " + byte_count(header_size), byte_count(got.count));
        return 0;
    }
    report.has_header = true;
    rules.check("size", true, "", "");
    const header_bytes& raw = report.raw;
    const swug_header& hdr = report.header = decode_header(raw);

    header_bytes expected_magic{};
    std::memcpy(expected_magic.data(), magic_text, magic_size);
    rules.check("magic", magic_matches(raw), printable_magic(expected_magic), printable_magic(raw));

    // The software image: as much of it as the file holds, summed on the way.
    copy_totals software;
    if (const copy_result read = copy_summing(source, hdr.length, buffer, nullptr, software);
        read.status != copy_status::ok) {
        return read.error;
    }
    // The MCU OTA image sits right behind it; whatever follows that is trailing data.
    const bool mcu_present = hdr.mcu_ota_flag == 1 && software.count == hdr.length;
    copy_totals mcu;
    if (mcu_present) {
        if (const copy_result read = copy_summing(source, hdr.mcu_len, buffer, nullptr, mcu);
            read.status != copy_status::ok) {
            return read.error;
        }
    }
    const std::uint64_t read_so_far = header_size + software.count + mcu.count;
    if (known_size >= 0 && static_cast<std::uint64_t>(known_size) >= read_so_far) {
        // A regular file's size comes from the system: trailing data is never read.
        report.size = static_cast<std::uint64_t>(known_size);
    } else {
        // Anything else (a pipe, /dev/zero) is read one byte past the expected end at most.
        copy_totals trailing;
        if (const copy_result read = copy_summing(source, 1, buffer, nullptr, trailing);
            read.status != copy_status::ok) {
            return read.error;
        }
        report.size = read_so_far + trailing.count;
        report.size_exact = trailing.count == 0;
    }
    const std::string found_size =
        report.size_exact ? byte_count(report.size) : "more than " + byte_count(report.size - 1);

    rules.check("length", software.count == hdr.length,
                "at most " + byte_count(report.size - header_size), byte_count(hdr.length));
    rules.equal32("sum", hdr.sum, software.sum);
    rules.equal32("upgrade_boot", 0, hdr.upgrade_boot);
    const std::size_t stray = first_stray_byte(raw);
    rules.check("unused_bytes", stray == header_size, "zero",
                stray < header_size
                    ? "byte " + std::to_string(stray) + " = " + format_hex(raw[stray])
                    : std::string());
    rules.check("mcu_ota_flag", hdr.mcu_ota_flag <= 1, "00000000 or 00000001",
                format_hex(hdr.mcu_ota_flag));

    const std::uint64_t software_end = header_size + std::uint64_t{hdr.length};
    if (hdr.mcu_ota_flag == 0) {
        rules.check("mcu_fields", hdr.mcu_addr == 0 && hdr.mcu_len == 0 && hdr.mcu_sum == 0,
                    "mcu_addr, mcu_len and mcu_sum 00000000",
                    format_hex(hdr.mcu_addr) + ", " + format_hex(hdr.mcu_len) + " and " +
                        format_hex(hdr.mcu_sum));
        rules.check("file_end", report.size == software_end && report.size_exact,
                    byte_count(software_end), found_size);
    } else if (hdr.mcu_ota_flag == 1) {
        // A field holds 32 bits; an end beyond them can't be written there at all.
        rules.check("mcu_addr", hdr.mcu_addr == software_end,
                    software_end <= field_max ? format_hex(software_end)
                                              : "128 + length, which does not fit 32 bits",
                    format_hex(hdr.mcu_addr));
        rules.check("mcu_len", hdr.mcu_len <= mcu_ota_max_size,
                    "at most " + format_hex(mcu_ota_max_size), format_hex(hdr.mcu_len));
        const std::uint64_t mcu_end = software_end + hdr.mcu_len;
        rules.check("file_end", report.size == mcu_end && report.size_exact, byte_count(mcu_end),
                    found_size);
        rules.equal32("mcu_sum", hdr.mcu_sum, mcu.sum);
    }
    return 0;
}

}  // namespace swug
