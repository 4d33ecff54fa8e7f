#include "software_format.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_stream.h"

namespace {

swug::software_format guess(const std::string& head) {
    return swug::guess_software_format(reinterpret_cast<const std::uint8_t*>(head.data()),
                                       head.size());
}

TEST(SoftwareFormat, ElfProgramsOfEitherClassAndByteOrder) {
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x01\x01\x01",
                                7)),
              swug::software_format::elf);
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x02\x02",
                                6)),
              swug::software_format::elf);
    // The magic alone, or with a class that does not exist, is taken as raw bytes.
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF",
                                4)),
              swug::software_format::binary);
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x03\x01",
                                6)),
              swug::software_format::binary);
}

TEST(SoftwareFormat, IntelHexRecords) {
    EXPECT_EQ(guess(":00000001FF\n"), swug::software_format::ihex);
    EXPECT_EQ(guess(":00000001FF"), swug::software_format::ihex);  // the whole file, no line end
    EXPECT_EQ(guess(":020000040800F2\r\n:10000000"), swug::software_format::ihex);
    // A line cut by the probe's end, still within its record's length.
    EXPECT_EQ(guess(":10000000000102030405060708090A0B0C0D0E0F"), swug::software_format::ihex);
    // One digit short or long of what the count asks for, a short record, a non-hex digit.
    EXPECT_EQ(guess(":020000040800F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":020000040800F2F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":0000000F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":00000001FG\n"), swug::software_format::binary);
}

TEST(SoftwareFormat, MotorolaSRecords) {
    EXPECT_EQ(guess("S00600004844521B\n"), swug::software_format::srec);
    EXPECT_EQ(guess("S9030000FC"), swug::software_format::srec);
    EXPECT_EQ(guess("S9030000F\n"), swug::software_format::binary);
    EXPECT_EQ(guess("SX030000FC\n"), swug::software_format::binary);
}

TEST(SoftwareFormat, AnythingElseIsRawBinary) {
    EXPECT_EQ(guess(""), swug::software_format::binary);
    EXPECT_EQ(guess(std::string("\0\0\0\0\0\0\0\0\0\0\0\0", 12)), swug::software_format::binary);
    EXPECT_EQ(guess("Some text\n"), swug::software_format::binary);
}

// The probe keeps the bytes after `skip` however the reads cut them, and passes every byte on.
TEST(FormatProbe, GuessesFromTheBytesThatPassInReadsOfAnySize) {
    const std::string elf_at_128 = std::string(128, 'h') +
                                   "\x7f"
                                   "ELF\x01\x01" +
                                   std::string(70, 'x');
    for (const std::size_t most :
         {std::size_t{1}, std::size_t{7}, std::size_t{127}, std::size_t{129}, std::size_t{4096}}) {
        swug::testing::fake_file file(elf_at_128);
        file.most_per_read = most;
        swug::format_probe probe(file, 128);
        std::string passed;
        std::uint8_t chunk[300];
        for (;;) {
            const swug::platform::read_result got = probe.read(chunk, sizeof chunk);
            if (got.count == 0) {
                break;
            }
            passed.append(reinterpret_cast<const char*>(chunk), got.count);
        }
        EXPECT_EQ(passed, elf_at_128) << most;
        EXPECT_EQ(probe.guess(), swug::software_format::elf) << most;
        // Fewer bytes than the class and byte order: raw.
        EXPECT_EQ(probe.guess(5), swug::software_format::binary) << most;
    }
    swug::testing::fake_file header_only(std::string(128, 'h'));
    swug::format_probe nothing_kept(header_only, 128);
    std::uint8_t chunk[256];
    while (nothing_kept.read(chunk, sizeof chunk).count != 0) {
    }
    EXPECT_EQ(nothing_kept.guess(), swug::software_format::binary);
}

TEST(RawImageCommand, NamesTheRawImageBesideTheFile) {
    using swug::software_format;
    EXPECT_EQ(swug::raw_image_command("fw.elf", software_format::elf),
              "objcopy -O binary fw.elf fw.bin");
    EXPECT_EQ(swug::raw_image_command("out/fw.hex", software_format::ihex),
              "objcopy -I ihex -O binary out/fw.hex out/fw.bin");
    EXPECT_EQ(swug::raw_image_command("v1.2/app", software_format::srec),
              "objcopy -I srec -O binary v1.2/app v1.2/app.bin");
    EXPECT_EQ(swug::raw_image_command("fw.bin", software_format::elf),
              "objcopy -O binary fw.bin fw.raw.bin");
    EXPECT_EQ(swug::raw_image_command(".firmware", software_format::elf),
              "objcopy -O binary .firmware .firmware.bin");
}

}  // namespace
