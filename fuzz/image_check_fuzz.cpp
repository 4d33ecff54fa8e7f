// libFuzzer target: any bytes as an upgrade image, through the checks and both renderings. The
// verdict must be valid exactly when the bytes are the image worked out here from the parts that
// the header marks out, and the decoded fields must be the header's bytes.
#include <cstdint>
#include <string_view>

#include "expected_image.h"
#include "fake_stream.h"
#include "info/image_check.h"
#include "info/info_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace swug::testing;
    static swug::copy_buffer buffer;
    // The fuzzer's bytes as a file that can't tell its size, like a pipe.
    const bytes raw = bytes_of(data, size);
    fake_file source(raw);
    swug::image_report report;
    const int error = swug::check_image(source, -1, buffer, report);
    // Memory neither fails nor loses bytes; the size is exact unless reading stopped early.
    if (error != 0 || (report.size_exact ? report.size != size : report.size > size)) {
        __builtin_trap();
    }
    // The fields are the header's bytes, read little-endian.
    if (report.has_header != (size >= header_size)) {
        __builtin_trap();
    }
    const swug::swug_header& h = report.header;
    if (report.has_header &&
        (le32(h.length) != raw.substr(16, 4) || le32(h.sum) != raw.substr(20, 4) ||
         le32(h.upgrade_boot) != raw.substr(24, 4) || le32(h.mcu_ota_flag) != raw.substr(64, 4) ||
         le32(h.mcu_addr) != raw.substr(68, 4) || le32(h.mcu_len) != raw.substr(72, 4) ||
         le32(h.mcu_sum) != raw.substr(76, 4))) {
        __builtin_trap();
    }
    // Valid exactly when the bytes are the image that the parts the header marks out pack to.
    bool well_formed = false;
    if (report.has_header) {
        const std::uint32_t flag = h.mcu_ota_flag;
        const std::uint64_t software_end = header_size + std::uint64_t{h.length};
        if (flag <= 1 && software_end <= size &&
            (flag == 1 ? size - software_end <= mcu_ota_limit : size == software_end)) {
            const bytes software = raw.substr(header_size, software_end - header_size);
            const bytes mcu = raw.substr(software_end);
            well_formed =
                upgrade_image(software, flag == 1 ? std::optional(mcu) : std::nullopt) == raw;
        }
    }
    if (report.valid() != well_formed) {
        __builtin_trap();
    }
    // The raw bytes double as a hostile image path for the JSON and plain renderings.
    const std::string_view path(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    (void)swug::render_plain(report, path);
    (void)swug::render_json(report, path);
    return 0;
}
