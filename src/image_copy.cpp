#include "image_copy.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image_format.h"

namespace swug {

namespace {

constexpr std::size_t page_size = 4096;

}  // namespace

copy_buffer::copy_buffer(std::size_t capacity)
    : data_(static_cast<std::uint8_t*>(
          ::operator new[](capacity, std::align_val_t{page_size}, std::nothrow))),
      capacity_(data_ != nullptr ? capacity : 0) {}

void copy_buffer::page_free::operator()(std::uint8_t* data) const {
    ::operator delete[](data, std::align_val_t{page_size});
}

void copy_buffer::add_zeros(std::size_t count) {
    std::memset(room(), 0, count);
    fill(count);
}

failure copy_summing(byte_source& source, std::uint64_t max_bytes, copy_buffer& buffer,
                     byte_sink* sink, copy_totals& totals, failure_kind unreadable) {
    std::uint64_t remaining = max_bytes;
    // Without a sink the bytes are only counted, so whatever the buffer held can go.
    if (sink == nullptr) {
        buffer.clear();
    }
    while (remaining > 0) {
        if (sink != nullptr && buffer.room_size() == 0) {
            if (const failure written = flush(buffer, *sink)) {
                return written;
            }
        }
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.room_size()));
        const platform::read_result got = source.read(buffer.room(), wanted);
        if (got.error != 0) {
            return {unreadable, got.error};
        }
        if (got.count == 0) {
            break;
        }
        totals.sum += check_sum32(buffer.room(), static_cast<std::int32_t>(got.count));
        totals.count += got.count;
        remaining -= got.count;
        if (sink != nullptr) {
            buffer.fill(got.count);
        }
    }
    return {};
}

failure flush(copy_buffer& buffer, byte_sink& sink) {
    const int error = sink.write(buffer.data(), buffer.filled());
    if (error != 0) {
        return {failure_kind::cannot_write, error};
    }
    buffer.clear();
    return {};
}

}  // namespace swug
