// What a software image looks like from its first bytes. A device takes the raw bytes of its
// firmware; an ELF program or a HEX text (Intel HEX, Motorola S-record) still has to be converted
// with objcopy -O binary. Packing takes any bytes, so this only feeds a warning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "streams.h"

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

// The objcopy command that makes the raw image of the file at path, to be said with a warning:
// "objcopy -O binary fw.elf fw.bin", with "-I ihex" or "-I srec" for a HEX text. The raw image is
// named as the file with the extension ".bin", or ".raw.bin" where that is the file's own name.
std::string raw_image_command(const std::string& path, software_format format);

// Guesses during the one read of a file, which may be a pipe that can't be read again: passes
// another source's bytes on and keeps a copy of the software_format_probe_size bytes that follow
// its first `skip` ones. The source stays the caller's and must outlive the probe.
class format_probe final : public byte_source {
public:
    explicit format_probe(byte_source& source, std::uint64_t skip = 0)
        : source_(source), skip_(skip) {}

    platform::read_result read(std::uint8_t* data, std::size_t size) override;

    // The guess on the first `limit` bytes kept (all of them by default).
    software_format guess(std::uint64_t limit = software_format_probe_size) const;

private:
    byte_source& source_;
    std::uint64_t skip_;
    std::uint64_t passed_ = 0;
    std::array<std::uint8_t, software_format_probe_size> kept_{};
    std::size_t kept_size_ = 0;
};

}  // namespace swug
