#include "info/image_unpack.h"

namespace swug {

namespace {

failure copy_part(byte_source& source, std::uint32_t length, std::uint32_t sum, byte_sink* sink,
                  copy_buffer& buffer) {
    buffer.clear();
    copy_totals totals;
    if (const failure copied =
            copy_summing(source, length, buffer, sink, totals, failure_kind::image_unreadable)) {
        return copied;
    }
    if (sink != nullptr) {
        if (const failure written = flush(buffer, *sink)) {
            return written;
        }
    }
    if (totals.count != length || totals.sum != sum) {
        return {failure_kind::image_changed};
    }
    return {};
}

}  // namespace

unpack_outcome unpack_image(byte_source& source, const swug_header& header, byte_sink* software,
                            byte_sink* mcu, copy_buffer& buffer) {
    if (const failure failed = copy_part(source, header.length, header.sum, software, buffer)) {
        return {failed, false};
    }
    if (mcu != nullptr) {
        return {copy_part(source, header.mcu_len, header.mcu_sum, mcu, buffer), true};
    }
    return {};
}

}  // namespace swug
