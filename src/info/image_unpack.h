// Writing the parts of a checked upgrade image back out: the copying step, on open files.
#pragma once

#include "image_copy.h"
#include "image_format.h"

namespace swug {

struct unpack_outcome {
    // image_unreadable, cannot_write, or image_changed: a part's bytes no longer match the header.
    failure failed;
    bool in_mcu = false;  // the failure is in the MCU OTA image, not the software image
};

// Reads the parts of an image from source, which stands right behind the header, writing the
// software image to software and the MCU OTA image to mcu (either may be null; the software
// image is read in any case, as it lies in between). Each part is summed against header once
// more, so an image that changed since it was checked is caught. Sources, sinks and buffer stay
// the caller's; the sinks are written, not finished.
unpack_outcome unpack_image(byte_source& source, const swug_header& header, byte_sink* software,
                            byte_sink* mcu, copy_buffer& buffer);

}  // namespace swug
