#include "image_pack.h"

namespace swug {

pack_outcome pack_upgrade_image(byte_source& software, byte_source* mcu, byte_sink& image,
                                copy_buffer& buffer) {
    pack_outcome outcome;
    auto fail = [&outcome](failure failed) {
        outcome.failed = failed;
        return outcome;
    };
    // The placeholder travels with the first bytes of the software image, so that every later
    // write of a full buffer starts on a page boundary of the output.
    buffer.clear();
    buffer.add_zeros(header_size);

    const std::uint64_t length_limit = software_length_limit(mcu != nullptr);
    copy_totals software_totals;
    if (const failure copied = copy_summing(software, length_limit + 1, buffer, &image,
                                            software_totals, failure_kind::software_unreadable)) {
        return fail(copied);
    }
    if (software_totals.count > length_limit) {
        return fail({failure_kind::software_too_big});
    }
    outcome.header.length = static_cast<std::uint32_t>(software_totals.count);
    outcome.header.sum = software_totals.sum;

    if (mcu != nullptr) {
        copy_totals mcu_totals;
        if (const failure copied = copy_summing(*mcu, mcu_ota_max_size + 1u, buffer, &image,
                                                mcu_totals, failure_kind::mcu_unreadable)) {
            return fail(copied);
        }
        if (mcu_totals.count > mcu_ota_max_size) {
            return fail({failure_kind::mcu_grew});
        }
        outcome.header.mcu_ota_flag = 1;
        outcome.header.mcu_addr = outcome.header.length + static_cast<std::uint32_t>(header_size);
        outcome.header.mcu_len = static_cast<std::uint32_t>(mcu_totals.count);
        outcome.header.mcu_sum = mcu_totals.sum;
    }
    if (const failure written = flush(buffer, image)) {
        return fail(written);
    }

    // The header goes in last, over its placeholder, once both sums are known.
    const header_bytes hdr = encode_header(outcome.header);
    if (const int error = image.write_at(0, hdr.data(), hdr.size()); error != 0) {
        return fail({failure_kind::cannot_write, error});
    }
    return outcome;
}

}  // namespace swug
