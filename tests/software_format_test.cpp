#include "software_format.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_stream.h"

namespace swug {
namespace {

TEST(SoftwareFormat, GuessedFromTheFirstBytes) {
    using f = software_format;
    const std::pair<std::string, software_format> cases[] = {
        // ELF of either class and byte order; with none, or one that does not exist: raw bytes.
        {std::string("\x7f" "ELF\1\1\1", 7), f::elf},
        {std::string("\x7f" "ELF\2\2", 6), f::elf},
        {std::string("\x7f" "ELF", 4), f::binary},
        {std::string("\x7f" "ELF\3\1", 6), f::binary},
        {std::string("\x7f" "ELF\1\3", 6), f::binary},
        // Intel HEX, also without a line end or cut by the probe within the record's length; not
        // one digit short or long of the count, a short record, a non-hex digit.
        {":00000001FF\n", f::ihex},
        {":00000001FF", f::ihex},
        {":020000040800F2\r\n:10000000", f::ihex},
        {":10000000000102030405060708090A0B0C0D0E0F", f::ihex},
        {":020000040800F\n", f::binary}, {":020000040800F2F\n", f::binary},
        {":0000000F\n", f::binary}, {":00000001FG\n", f::binary},
        // Motorola S-records.
        {"S00600004844521B\n", f::srec},
        {"S9030000FC", f::srec},
        {"S9030000F\n", f::binary}, {"SX030000FC\n", f::binary},
        // Anything else is raw bytes.
        {"", f::binary}, {std::string(12, '\0'), f::binary}, {"Some text\n", f::binary},
    };
    for (const auto& [head, format] : cases) {
        EXPECT_EQ(guess_software_format(reinterpret_cast<const std::uint8_t*>(head.data()),
                                        head.size()),
                  format)
            << ::testing::PrintToString(head);
    }
}

// The probe keeps the bytes after `skip` however the reads cut them, and passes every byte on.
TEST(FormatProbe, GuessesFromTheBytesThatPassInReadsOfAnySize) {
    const std::string elf_at_128 = std::string(128, 'h') + "\x7f" "ELF\1\1" + std::string(70, 'x');
    for (const std::size_t most : {1, 7, 127, 129, 4096, 0}) {
        testing::fake_file file(most != 0 ? elf_at_128 : std::string(128, 'h'), most);
        format_probe probe(file, 128);
        std::string passed;
        std::uint8_t chunk[300];
        for (platform::read_result got; (got = probe.read(chunk, sizeof chunk)).count != 0;) {
            passed.append(reinterpret_cast<const char*>(chunk), got.count);
        }
        EXPECT_EQ(passed, file.data) << most;
        // Fewer bytes than the class and byte order, or none: raw.
        EXPECT_EQ(probe.guess(), most != 0 ? software_format::elf : software_format::binary);
        EXPECT_EQ(probe.guess(5), software_format::binary) << most;
    }
}

TEST(RawImageCommand, NamesTheRawImageBesideTheFile) {
    using f = software_format;
    const std::tuple<const char*, software_format, const char*> cases[] = {
        {"fw.elf", f::elf, "objcopy -O binary fw.elf fw.bin"},
        {"out/fw.hex", f::ihex, "objcopy -I ihex -O binary out/fw.hex out/fw.bin"},
        {"v1.2/app", f::srec, "objcopy -I srec -O binary v1.2/app v1.2/app.bin"},
        {"fw.bin", f::elf, "objcopy -O binary fw.bin fw.raw.bin"},
        {".firmware", f::elf, "objcopy -O binary .firmware .firmware.bin"},
    };
    for (const auto& [path, format, command] : cases) {
        EXPECT_EQ(raw_image_command(path, format), command);
    }
}

}  // namespace
}  // namespace swug
