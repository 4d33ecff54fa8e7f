// libFuzzer target: the fuzzer's bytes split into a software image and an optional MCU OTA image,
// packed, checked and unpacked in memory. The packed image must be exactly the one worked out
// here, the check must call it valid with the same fields, and the parts must come back byte for
// byte. An MCU OTA image over the limit must be refused as too big, and that image put together
// here must fail the check on mcu_len alone.
//
// Input: five control bytes (missing ones count as zero), then the parts.
//   [0] bit 0: an MCU OTA image follows; bit 1: it is stretched to around the 98,304-byte limit;
//       bit 2: the check knows the image's size; bit 3: unpack the MCU OTA image only;
//       bits 4-6: which copy buffer (small ones fill up and flush often)
//   [1] most bytes per read (0: no limit; not with a stretched MCU OTA image)
//   [2] the stretched MCU OTA image's size above 98,296 (0 to 16)
//   [3..4] little-endian: where the software image ends, modulo the payload's size + 1
#include <array>
#include <cstdint>
#include <cstring>

#include "expected_image.h"
#include "fake_stream.h"
#include "image_pack.h"
#include "info/image_check.h"
#include "info/image_unpack.h"

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

std::array<std::size_t, 7> fields(const swug::swug_header& h) {
    return {h.length, h.sum, h.upgrade_boot, h.mcu_ota_flag, h.mcu_addr, h.mcu_len, h.mcu_sum};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace swug::testing;
    std::uint8_t control[5] = {};
    const std::size_t control_size = size < sizeof control ? size : sizeof control;
    if (control_size != 0) {
        std::memcpy(control, data, control_size);
    }
    const bool with_mcu = (control[0] & 1) != 0;
    const bool stretch = (control[0] & 2) != 0;
    const bool size_known = (control[0] & 4) != 0;
    const bool mcu_only = (control[0] & 8) != 0;
    static swug::copy_buffer buffers[] = {swug::copy_buffer(128), swug::copy_buffer(129),
                                          swug::copy_buffer(1000), swug::copy_buffer(4096),
                                          swug::copy_buffer()};
    swug::copy_buffer& buffer = buffers[((control[0] >> 4) & 7) % 5];
    // Short reads through a stretched MCU OTA image would make a run take a hundred times longer.
    const std::size_t chunk = stretch ? 0 : control[1];

    const std::uint8_t* payload = data + control_size;
    const std::size_t payload_size = size - control_size;
    const std::size_t split = (control[3] | std::size_t{control[4]} << 8) % (payload_size + 1);
    const bytes software = bytes_of(payload, split);
    bytes mcu;
    if (with_mcu) {
        mcu = bytes_of(payload + split, payload_size - split);
        const std::size_t stretched = mcu_ota_limit - 8 + control[2] % 17;
        for (std::size_t i = mcu.size(); stretch && i < stretched; ++i) {
            mcu.push_back(static_cast<char>(i * 7 + 1));
        }
    }

    const bytes expected = upgrade_image(software, with_mcu ? std::optional(mcu) : std::nullopt);
    auto check = [&](swug::image_report& report) {
        fake_file image_in(expected, chunk);
        const std::int64_t known_size =
            size_known ? static_cast<std::int64_t>(expected.size()) : -1;
        require(swug::check_image(image_in, known_size, buffer, report) == 0);
    };

    fake_file software_in(software, chunk);
    fake_file mcu_in(mcu, chunk);
    fake_file image;
    const swug::pack_outcome packed =
        swug::pack_upgrade_image(software_in, with_mcu ? &mcu_in : nullptr, image, buffer);
    swug::image_report report;
    if (mcu.size() > mcu_ota_limit) {
        require(packed.failed.kind == swug::failure_kind::mcu_grew);
        // Put together here, such an image fails the check on mcu_len alone. The failed pack
        // leaves bytes in the buffer (at worst a full one), which the check must not trip over.
        check(report);
        require(!report.valid());
        for (const swug::check_result& result : report.checks) {
            require(result.ok == (result.name != "mcu_len"));
        }
        return 0;
    }
    require(!packed.failed);
    require(image.data == expected);

    // The check decodes the same fields and finds every rule kept.
    check(report);
    require(report.valid() && report.has_header && report.size_exact &&
            report.size == expected.size());
    const swug::swug_header& h = report.header;
    const std::array<std::size_t, 7> expected_fields{software.size(),
                                                     byte_sum(software),
                                                     0,
                                                     with_mcu ? 1u : 0u,
                                                     with_mcu ? header_size + software.size() : 0,
                                                     mcu.size(),
                                                     byte_sum(mcu)};
    require(fields(h) == expected_fields && fields(packed.header) == expected_fields);

    // Unpacking from right behind the header gives the parts back.
    fake_file parts_in(image.data.substr(header_size), chunk);
    fake_file software_out;
    fake_file mcu_out;
    const swug::unpack_outcome unpacked = swug::unpack_image(
        parts_in, h, mcu_only ? nullptr : &software_out, with_mcu ? &mcu_out : nullptr, buffer);
    require(!unpacked.failed);
    require(software_out.data == (mcu_only ? bytes() : software));
    require(mcu_out.data == mcu);
    return 0;
}
