// libFuzzer target: any bytes as an upgrade image, fed to the verifier in chunks cut at random.
// The verdict, every check's numbers included, must be the one a single whole-buffer call gives;
// the numbers taken from header fields must be the format module's own decoding; the bytes the
// verifier files under each part must be exactly the parts the header marks out; once it says
// the image is rejected it must go on saying so and judge it not valid; and swug_info's check,
// which stops reading where the verdict is known, must come to the same verdict.
//
// Input: four control bytes (missing ones count as zero), then the image.
//   [0] bit 0: the image's size is known beforehand; bit 1: the cut run sums with check_sum32;
//       bits 2-3: the slot: no limit, the image's size, [2] bytes less, or 128 + [2] bytes
//   [1] seeds the chunk sizes; [3] bits 0-1: the largest chunk, 1, 7, 128 or 4096 bytes; bit 2:
//       a chunk may span two parts (the bytes of each are then not told apart)
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "expected_image.h"
#include "fake_stream.h"
#include "info/image_check.h"
#include "swug_verify.h"

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

extern "C" std::uint32_t host_sum(const std::uint8_t* data, std::size_t size) {
    return swug::check_sum32(data, static_cast<std::int32_t>(size));
}

bool same(const swug_verify_result& a, const swug_verify_result& b) {
    return a.valid == b.valid && a.ran == b.ran && a.failed == b.failed &&
           std::memcmp(a.expected, b.expected, sizeof a.expected) == 0 &&
           std::memcmp(a.found, b.found, sizeof a.found) == 0;
}

std::uint64_t bit(unsigned check) {
    return 1u << check;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace swug::testing;
    std::uint8_t control[4] = {};
    const std::size_t control_size = std::min(size, sizeof control);
    if (control_size != 0) {
        std::memcpy(control, data, control_size);
    }
    const std::uint8_t* image = data + control_size;
    const std::size_t image_size = size - control_size;
    const bool size_known = (control[0] & 1) != 0;
    const std::uint64_t known = size_known ? image_size : SWUG_VERIFY_UNKNOWN_SIZE;
    const std::uint64_t slots[] = {SWUG_VERIFY_NO_LIMIT, image_size,
                                   image_size - std::min<std::size_t>(control[2], image_size),
                                   header_size + std::uint64_t{control[2]}};
    const std::uint64_t slot = slots[(control[0] >> 2) & 3];
    static const std::size_t largest_chunks[] = {1, 7, 128, 4096};
    const std::size_t largest_chunk = largest_chunks[control[3] & 3];
    const bool spanning = (control[3] & 4) != 0;

    // The whole image in one call.
    swug_verify whole;
    swug_verify_start(&whole, slot, known);
    swug_verify_feed(&whole, image, image_size);
    swug_verify_result whole_verdict;
    require(swug_verify_finish(&whole, &whole_verdict) == whole_verdict.valid);

    // The same image cut at random, the parts' bytes summed here as they are fed.
    swug_verify cut;
    swug_verify_start(&cut, slot, known);
    if ((control[0] & 2) != 0) {
        swug_verify_use_sum(&cut, host_sum);
    }
    std::uint32_t seed = control[1] * 2654435761u + 1;
    std::uint32_t part_sums[SWUG_PART_NONE + 1] = {};
    std::uint64_t part_bytes[SWUG_PART_NONE + 1] = {};
    bool rejected = false;
    for (std::size_t at = 0; at < image_size;) {
        seed = seed * 1103515245u + 12345u;
        std::size_t count =
            std::min<std::size_t>((seed >> 8) % (largest_chunk + 1), image_size - at);
        std::uint32_t left = 0;
        const swug_verify_part part = swug_verify_next(&cut, &left);
        if (!spanning && part != SWUG_PART_NONE) {
            count = std::min<std::size_t>(count, left);
        }
        part_sums[part] += byte_sum(bytes_of(image + at, count));
        part_bytes[part] += count;
        swug_verify_feed(&cut, image + at, count);
        at += count;
        const bool now_rejected = swug_verify_rejected(&cut);
        require(!rejected || now_rejected);  // once rejected, always
        rejected = now_rejected;
    }
    swug_verify_result cut_verdict;
    swug_verify_finish(&cut, &cut_verdict);
    require(same(cut_verdict, whole_verdict));
    require(!rejected || !cut_verdict.valid);

    const swug_verify_result& r = whole_verdict;
    require(r.found[SWUG_CHECK_SIZE] == image_size);
    require(((r.ran & bit(SWUG_CHECK_MAGIC)) != 0) == (image_size >= header_size));
    if (image_size >= header_size) {
        // The numbers that are header fields are the format module's decoding of those bytes.
        swug::header_bytes raw;
        std::memcpy(raw.data(), image, header_size);
        const swug::swug_header h = swug::decode_header(raw);
        require(r.found[SWUG_CHECK_LENGTH] == h.length && r.expected[SWUG_CHECK_SUM] == h.sum &&
                r.found[SWUG_CHECK_UPGRADE_BOOT] == h.upgrade_boot &&
                r.found[SWUG_CHECK_MCU_OTA_FLAG] == h.mcu_ota_flag);
        require((r.found[SWUG_CHECK_MAGIC] == swug::magic_size) == swug::magic_matches(raw));
        if (h.mcu_ota_flag == 0) {
            require(r.found[SWUG_CHECK_MCU_FIELDS] == (h.mcu_addr | h.mcu_len | h.mcu_sum));
        }
        if (h.mcu_ota_flag == 1) {
            require(r.found[SWUG_CHECK_MCU_ADDR] == h.mcu_addr &&
                    r.found[SWUG_CHECK_MCU_LEN] == h.mcu_len &&
                    r.expected[SWUG_CHECK_MCU_SUM] == h.mcu_sum);
        }
        // The bytes filed under each part are the ones the header marks out, and the sums the
        // verifier found are theirs.
        const std::uint64_t software_end = header_size + std::uint64_t{h.length};
        const std::uint64_t mcu_end = software_end + (h.mcu_ota_flag == 1 ? h.mcu_len : 0);
        const auto available = [&](std::uint64_t begin, std::uint64_t end) {
            return std::min<std::uint64_t>(end, image_size) -
                   std::min<std::uint64_t>(begin, image_size);
        };
        if (!spanning) {
            require(part_bytes[SWUG_PART_HEADER] == header_size);
            require(part_bytes[SWUG_PART_SOFTWARE] == available(header_size, software_end));
            require(part_bytes[SWUG_PART_MCU] == available(software_end, mcu_end));
            require(r.found[SWUG_CHECK_SUM] == part_sums[SWUG_PART_SOFTWARE]);
            require(h.mcu_ota_flag != 1 || r.found[SWUG_CHECK_MCU_SUM] == part_sums[SWUG_PART_MCU]);
        }
    }

    // swug_info's check reads no further than the verdict needs, and must agree.
    static swug::copy_buffer buffer(4096);
    fake_file source(bytes_of(image, image_size), control[1] % 5 == 0 ? 0 : control[1]);
    swug::image_report report;
    require(swug::check_image(source, size_known ? static_cast<std::int64_t>(image_size) : -1,
                              buffer, report) == 0);
    if (slot == SWUG_VERIFY_NO_LIMIT) {
        std::uint64_t failed = 0;
        static const char* const names[] = SWUG_VERIFY_CHECK_NAMES;
        for (const swug::check_result& c : report.checks) {
            for (unsigned check = 0; check < SWUG_CHECK_COUNT; ++check) {
                if (!c.ok && c.name == names[check]) {
                    failed |= bit(check);
                }
            }
        }
        require(report.valid() == r.valid && failed == r.failed);
    }
    return 0;
}
