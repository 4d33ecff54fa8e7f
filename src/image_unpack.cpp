#include "image_unpack.h"

namespace swug {

namespace {

unpack_outcome copy_part(byte_source& source, std::uint32_t length, std::uint32_t sum,
                         byte_sink* sink, copy_buffer& buffer, bool in_mcu) {
    using status = unpack_outcome::status;
    buffer.clear();
    copy_totals totals;
    copy_result copied = copy_summing(source, length, buffer, sink, totals);
    if (copied.status == copy_status::ok && sink != nullptr) {
        copied = flush(buffer, *sink);
    }
    if (copied.status != copy_status::ok) {
        return {
            copied.status == copy_status::read_failed ? status::read_failed : status::write_failed,
            copied.error, in_mcu};
    }
    if (totals.count != length || totals.sum != sum) {
        return {status::changed, 0, in_mcu};
    }
    return {};
}

}  // namespace

unpack_outcome unpack_image(byte_source& source, const swug_header& header, byte_sink* software,
                            byte_sink* mcu, copy_buffer& buffer) {
    unpack_outcome outcome = copy_part(source, header.length, header.sum, software, buffer, false);
    if (outcome.what == unpack_outcome::status::ok && mcu != nullptr) {
        outcome = copy_part(source, header.mcu_len, header.mcu_sum, mcu, buffer, true);
    }
    return outcome;
}

}  // namespace swug
