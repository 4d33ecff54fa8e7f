// The packing step of swug_gen on files that are already open: it knows no names and prints
// nothing, so every fault it meets comes back as a value.
#pragma once

#include "file_io.h"
#include "image_format.h"

namespace swug {

enum class pack_failure {
    none,
    software_read,
    software_too_big,
    mcu_read,
    mcu_too_big,
    image_write
};

struct pack_outcome {
    pack_failure failure = pack_failure::none;
    int reason = 0;  // the system's error number of a read or write failure
    swug_header header;
};

// Writes a zero placeholder for the header, the software image behind it and, when mcu is not
// null, the MCU OTA image right behind that, then the header over the placeholder. Each input is
// read once, front to back, through buffer; the sources, sink and buffer stay the caller's.
pack_outcome pack_upgrade_image(byte_source& software, byte_source* mcu, byte_sink& image,
                                copy_buffer& buffer);

}  // namespace swug
