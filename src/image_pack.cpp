#include "image_pack.h"

namespace swug {

namespace {

// What a failed copy means for the image: a read failure of that input, or a write failure.
pack_failure failure_of(const copy_result& copied, pack_failure read_failure) {
    return copied.status == copy_status::read_failed ? read_failure : pack_failure::image_write;
}

}  // namespace

pack_outcome pack_upgrade_image(byte_source& software, byte_source* mcu, byte_sink& image,
                                copy_buffer& buffer) {
    pack_outcome outcome;
    auto fail = [&outcome](pack_failure failure, int reason) {
        outcome.failure = failure;
        outcome.reason = reason;
        return outcome;
    };
    // The placeholder travels with the first bytes of the software image, so that every later
    // write of a full buffer starts on a page boundary of the output.
    buffer.clear();
    buffer.add_zeros(header_size);

    const std::uint64_t length_limit = software_length_limit(mcu != nullptr);
    copy_totals software_totals;
    if (const copy_result copied =
            copy_summing(software, length_limit + 1, buffer, &image, software_totals);
        copied.status != copy_status::ok) {
        return fail(failure_of(copied, pack_failure::software_read), copied.error);
    }
    if (software_totals.count > length_limit) {
        return fail(pack_failure::software_too_big, 0);
    }
    outcome.header.length = static_cast<std::uint32_t>(software_totals.count);
    outcome.header.sum = software_totals.sum;

    if (mcu != nullptr) {
        copy_totals mcu_totals;
        if (const copy_result copied =
                copy_summing(*mcu, mcu_ota_max_size + 1u, buffer, &image, mcu_totals);
            copied.status != copy_status::ok) {
            return fail(failure_of(copied, pack_failure::mcu_read), copied.error);
        }
        if (mcu_totals.count > mcu_ota_max_size) {
            return fail(pack_failure::mcu_too_big, 0);
        }
        outcome.header.mcu_ota_flag = 1;
        outcome.header.mcu_addr = outcome.header.length + static_cast<std::uint32_t>(header_size);
        outcome.header.mcu_len = static_cast<std::uint32_t>(mcu_totals.count);
        outcome.header.mcu_sum = mcu_totals.sum;
    }
    if (const copy_result written = flush(buffer, image); written.status != copy_status::ok) {
        return fail(pack_failure::image_write, written.error);
    }

    // The header goes in last, over its placeholder, once both sums are known.
    const header_bytes hdr = encode_header(outcome.header);
    if (const int error = image.write_at(0, hdr.data(), hdr.size()); error != 0) {
        return fail(pack_failure::image_write, error);
    }
    return outcome;
}

}  // namespace swug
