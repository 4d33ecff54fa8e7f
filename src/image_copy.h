// The one copy loop of both tools: file data read through one fixed buffer, counted and
// byte-summed on the way, as the header records it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "messages.h"
#include "streams.h"

namespace swug {

// Size of the one buffer that file data passes through: large enough that system calls don't
// dominate, fixed, so memory use does not depend on file sizes.
constexpr std::size_t copy_buffer_size = std::size_t{256} * 1024;

// That buffer: allocated once and aligned to a page, so that every full write starts on a page
// boundary of the output. Allocated before any output file exists, and without throwing: a
// process short of memory is told by allocated(), and fails with an ordinary error.
class copy_buffer {
public:
    explicit copy_buffer(std::size_t capacity = copy_buffer_size);

    bool allocated() const { return data_ != nullptr; }

    const std::uint8_t* data() const { return data_.get(); }
    std::size_t filled() const { return filled_; }
    // The free space behind the bytes held, and its size.
    std::uint8_t* room() { return data_.get() + filled_; }
    std::size_t room_size() const { return capacity_ - filled_; }
    // Takes count bytes written into room() as held.
    void fill(std::size_t count) { filled_ += count; }
    // Puts count zero bytes behind what the buffer holds; count must fit.
    void add_zeros(std::size_t count);
    void clear() { filled_ = 0; }

private:
    struct page_free {
        void operator()(std::uint8_t* data) const;
    };
    std::unique_ptr<std::uint8_t[], page_free> data_;
    std::size_t capacity_ = 0;
    std::size_t filled_ = 0;
};

// Bytes counted and byte-summed by the copy loop.
struct copy_totals {
    std::uint64_t count = 0;
    std::uint32_t sum = 0;
};

// Reads source straight into the buffer until its end or until max_bytes were read, and adds
// each read's length and byte-sum to totals. A full buffer is written to sink (with no sink, the
// bytes are only counted). What is left in the buffer stays there for the next copy or flush.
// A failed read is a failure of kind unreadable, a failed write one of cannot_write.
failure copy_summing(byte_source& source, std::uint64_t max_bytes, copy_buffer& buffer,
                     byte_sink* sink, copy_totals& totals, failure_kind unreadable);

// Writes what the buffer holds to sink and empties it.
failure flush(copy_buffer& buffer, byte_sink& sink);

}  // namespace swug
