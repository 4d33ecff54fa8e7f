// libFuzzer target: any bytes as an upgrade image, through the checks and both renderings.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "image_check.h"
#include "info_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char empty[1];
    // Read-only use of the buffer; fmemopen merely lacks a const overload.
    char* buffer = size == 0 ? empty : const_cast<char*>(reinterpret_cast<const char*>(data));
    std::FILE* stream = fmemopen(buffer, size, "rb");
    if (stream == nullptr) {
        return 0;
    }
    swug::image_report report;
    const bool read = swug::check_image(stream, report);
    std::fclose(stream);
    if (!read || report.size != size) {
        __builtin_trap();  // a memory stream neither fails nor loses bytes
    }
    if (report.valid()) {
        const std::uint64_t mcu = report.header.mcu_ota_flag == 1 ? report.header.mcu_len : 0;
        if (size != swug::header_size + report.header.length + mcu ||
            mcu > swug::mcu_ota_max_size) {
            __builtin_trap();  // a verdict of valid must mean a consistent layout
        }
    }
    // The raw bytes double as a hostile image path for the JSON and plain renderings.
    const std::string_view path(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    (void)swug::render_plain(report, path);
    (void)swug::render_json(report, path);
    return 0;
}
