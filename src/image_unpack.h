// Writing the parts of a checked upgrade image back out to files.
#pragma once

#include <cstdio>

#include "image_format.h"

namespace swug {

// Writes the software image of `image` to sw_path and its MCU OTA image to mcu_path (either may
// be null), reading the image again from offset 128 and summing each part against header, so an
// image that changed since it was checked is caught. Never writes over the image itself and
// leaves no incomplete output behind. Prints one line per file written to `notes` (when not
// null) and errors to standard error; returns true on success.
bool unpack_image(std::FILE* image, const char* image_path, const swug_header& header,
                  const char* sw_path, const char* mcu_path, std::FILE* notes);

}  // namespace swug
