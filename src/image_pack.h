// The packing step of swug_gen on files that are already open: it knows no names and prints
// nothing, so every fault it meets comes back as a value.
#pragma once

#include "image_copy.h"
#include "image_format.h"

namespace swug {

// Whether an mcu_ota.bin of size bytes (as the system tells it; -1 when it can't) is appended:
// one of at most 96 KiB is; a size that can't be told (anything but a regular file) counts as too
// big. One that grows past the limit while it is packed fails the packing with mcu_grew.
constexpr bool mcu_ota_fits(std::int64_t size) {
    return size >= 0 && size <= std::int64_t{mcu_ota_max_size};
}

// What packing came to: no failure and the header written, or why not (software_unreadable,
// software_too_big, mcu_unreadable, mcu_grew, cannot_write).
struct pack_outcome {
    failure failed;
    swug_header header;
};

// Writes a zero placeholder for the header, the software image behind it and, when mcu is not
// null, the MCU OTA image right behind that, then the header over the placeholder. Each input is
// read once, front to back, through buffer; the sources, sink and buffer stay the caller's.
pack_outcome pack_upgrade_image(byte_source& software, byte_source* mcu, byte_sink& image,
                                copy_buffer& buffer);

}  // namespace swug
