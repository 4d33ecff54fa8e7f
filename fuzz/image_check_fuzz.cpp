// libFuzzer target: any bytes as an upgrade image, through the checks and both renderings. The
// verdict must be valid exactly when the bytes are the image worked out here from the parts that
// the header marks out, and the decoded fields must be the header's bytes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "info/image_check.h"
#include "info/info_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace swug_fuzz;
    static swug::copy_buffer buffer;
    // The fuzzer's bytes as a file that can't tell its size, like a pipe.
    memory_source source(data, size);
    swug::image_report report;
    const int error = swug::check_image(source, -1, buffer, report);
    // Memory neither fails nor loses bytes; the size is exact unless reading stopped early.
    if (error != 0 || (report.size_exact ? report.size != size : report.size > size)) {
        __builtin_trap();
    }
    // The fields are the header's bytes, read little-endian.
    if (report.has_header != (size >= header_length)) {
        __builtin_trap();
    }
    const swug::swug_header& h = report.header;
    if (report.has_header &&
        (h.length != get32(data + 16) || h.sum != get32(data + 20) ||
         h.upgrade_boot != get32(data + 24) || h.mcu_ota_flag != get32(data + 64) ||
         h.mcu_addr != get32(data + 68) || h.mcu_len != get32(data + 72) ||
         h.mcu_sum != get32(data + 76))) {
        __builtin_trap();
    }
    // Valid exactly when the bytes are the image that the parts the header marks out pack to.
    bool well_formed = false;
    if (report.has_header) {
        const std::uint32_t flag = get32(data + 64);
        const std::uint64_t software_end = header_length + std::uint64_t{get32(data + 16)};
        if (flag <= 1 && software_end <= size &&
            (flag == 1 ? size - software_end <= mcu_limit : size == software_end)) {
            const std::vector<std::uint8_t> software(data + header_length, data + software_end);
            const std::vector<std::uint8_t> mcu(data + software_end, data + size);
            well_formed = expected_image(software, flag == 1 ? &mcu : nullptr) ==
                          std::vector<std::uint8_t>(data, data + size);
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
