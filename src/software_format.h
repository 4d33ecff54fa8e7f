// What a software image looks like from its first bytes. A device takes the raw bytes of its
// firmware; an ELF program or a HEX text (Intel HEX, Motorola S-record) still has to be converted
// with objcopy -O binary. Packing takes any bytes, so this only feeds a warning.
#pragma once

#include <cstddef>
#include <cstdint>

namespace swug {

enum class software_format { binary, elf, ihex, srec };

// How many leading bytes the guess looks at; fewer when the file is shorter.
constexpr std::size_t software_format_probe_size = 64;

// The format that the first size bytes of a file suggest; binary for anything else.
software_format guess_software_format(const std::uint8_t* head, std::size_t size);

// objcopy's name of the format ("binary", "elf", "ihex", "srec"), as JSON and scripts show it.
const char* software_format_key(software_format format);

// What the file looks like, as a warning says it: "an ELF program", "Intel HEX text", ...
const char* software_format_text(software_format format);

}  // namespace swug
