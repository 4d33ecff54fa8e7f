// libFuzzer target: any bytes as an upgrade image, through the checks and both renderings.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "image_check.h"
#include "info_report.h"

namespace {

// The fuzzer's bytes as a file that can't tell its size, like a pipe.
class memory_source final : public swug::byte_source {
public:
    memory_source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    swug::platform::read_result read(std::uint8_t* buffer, std::size_t size) override {
        const std::size_t count = std::min(size, size_ - at_);
        std::memcpy(buffer, data_ + at_, count);
        at_ += count;
        return {count, 0};
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static swug::copy_buffer buffer;
    memory_source source(data, size);
    swug::image_report report;
    const int error = swug::check_image(source, -1, buffer, report);
    // Memory neither fails nor loses bytes; the size is exact unless reading stopped early.
    if (error != 0 || (report.size_exact ? report.size != size : report.size > size)) {
        __builtin_trap();
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
