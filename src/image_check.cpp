#include "image_check.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "file_io.h"

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

bool check_image(std::FILE* stream, image_report& report) {
    report = image_report();
    judge rules(report.checks);

    errno = 0;
    const std::size_t got = std::fread(report.raw.data(), 1, header_size, stream);
    report.size = got;
    if (got < header_size) {
        if (std::ferror(stream) != 0) {
            return false;
        }
        rules.check("size", false, "at least " + byte_count(header_size), byte_count(got));
        return true;
    }
    report.has_header = true;
    rules.check("size", true, "", "");
    const header_bytes& raw = report.raw;
    const swug_header& hdr = report.header = decode_header(raw);

    header_bytes expected_magic{};
    std::memcpy(expected_magic.data(), magic_text, magic_size);
    rules.check("magic", magic_matches(raw), printable_magic(expected_magic), printable_magic(raw));

    // The software image: as much of it as the file holds, summed on the way.
    chunk_buffer buf;
    copy_totals software;
    if (copy_summing(stream, nullptr, hdr.length, buf, software) != copy_status::ok) {
        return false;
    }
    // The MCU OTA image sits right behind it; whatever follows that is trailing data.
    const bool mcu_present = hdr.mcu_ota_flag == 1 && software.count == hdr.length;
    copy_totals mcu;
    if (mcu_present && copy_summing(stream, nullptr, hdr.mcu_len, buf, mcu) != copy_status::ok) {
        return false;
    }
    copy_totals trailing;
    if (copy_summing(stream, nullptr, UINT64_MAX, buf, trailing) != copy_status::ok) {
        return false;
    }
    report.size = header_size + software.count + mcu.count + trailing.count;

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
        rules.check("file_end", report.size == software_end, byte_count(software_end),
                    byte_count(report.size));
    } else if (hdr.mcu_ota_flag == 1) {
        rules.check("mcu_addr", hdr.mcu_addr == software_end, format_hex(software_end),
                    format_hex(hdr.mcu_addr));
        rules.check("mcu_len", hdr.mcu_len <= mcu_ota_max_size,
                    "at most " + format_hex(mcu_ota_max_size), format_hex(hdr.mcu_len));
        const std::uint64_t mcu_end = software_end + hdr.mcu_len;
        rules.check("file_end", report.size == mcu_end, byte_count(mcu_end),
                    byte_count(report.size));
        rules.equal32("mcu_sum", hdr.mcu_sum, mcu.sum);
    }
    return true;
}

}  // namespace swug
